// The program's window on real JACK peers that come and go: the ports it uses
// are found by name when others go, reopened by themselves when they come
// back, and what the input left sounding is ended when the input goes; a
// server that restarts brings back the ports and the synthesizer heard
// through it.
#include "JackSequencePeers.h"
#include "JackTestServer.h"
#include "SynthTestSupport.h"

#include "platform/RtMidiBackend.h"
#include "platform/SynthLine.h"

#include <QElapsedTimer>

#include <atomic>

namespace {

using kvseq::Recorder;
using kvseq::Sender;

uint32_t OutputIndexOf(const QString& portName)
{
    return kvseq::IndexOf(MidiSystem::Backend(), portName, false);
}

const QStringList kChannelSetUp{"c0 00", "b0 07 7f", "b0 0a 40"};

class PortsReturnJackTest : public synthtest::WindowTest {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        WindowTest::SetUp();
        // Asynchronous: a peer killed in the middle of a cycle stalls a
        // synchronous server for seconds.
        ASSERT_TRUE(m_server.Start(256, false)) << qPrintable(m_server.Log());
    }

    // A jack_midi_dump, to be killed as a crash would end it.
    ChildProcess* StartDump(const QString& name)
    {
        ChildProcess* dump = m_server.StartClient("jack_midi_dump", {name});
        EXPECT_TRUE(dump && m_server.WaitForPort(name + ":input"));
        return dump;
    }

    // The window as start-up makes it, on JACK; the mapper renders offline.
    void StartProgram(std::shared_ptr<CBuiltinSynth> synth = nullptr)
    {
        if (!synth)
            synth = synthtest::OfflineSynth();
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
    }

    bool BothWaiting()
    {
        return kvtest::WaitFor([&] {
            return m_pView->m_OutDevice.IsWaitingForPort() && m_pView->m_InDevice.IsWaitingForPort();
        }, 8000);
    }
    bool BothOpen(int timeoutMs)
    {
        return kvtest::WaitFor(
            [&] { return m_pView->m_OutDevice.GetHandle() && m_pView->m_InDevice.IsOpen(); }, timeoutMs);
    }

    JackTestServer m_server; // our clients leave before it does
};

// Asked as often as a status bar would: an early look, before JACK's lists
// show the change it told of, must not stick.
TEST_F(PortsReturnJackTest, TheSecondPeerStaysInUseWhenTheFirstGoes)
{
    ChildProcess* first = StartDump("kvfirst");
    auto firstKeys = std::make_unique<Sender>("kvfirstkeys");
    Recorder second("kvsecond");
    Sender secondKeys("kvsecondkeys");
    // Stored with indexes that name other ports by now; the names win.
    for (const char* section : {"MIDIIn", "MIDIOut"})
        Profile::WriteProfileInt(section, "DevID", 0);
    Profile::WriteProfileString("MIDIIn", "DevName", secondKeys.PortName());
    Profile::WriteProfileString("MIDIOut", "DevName", second.PortName());
    StartProgram();
    ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), OutputIndexOf(second.PortName()));
    ASSERT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(second.Events(3), kChannelSetUp);

    // The first leaves, its input killed as a crash ends it, its output closed
    // as a program quits: ours move down one.
    JackTestServer::Kill(first);
    firstKeys.reset();
    ASSERT_TRUE(kvtest::WaitFor([&] {
        return m_pView->m_OutDevice.QueryOpenDeviceID() == 0 && m_pView->m_InDevice.QueryOpenDeviceID() == 0;
    })) << m_pView->m_OutDevice.QueryOpenDeviceID() << " " << m_pView->m_InDevice.QueryOpenDeviceID();
    EXPECT_EQ(second.Count(), 3u) << "reopened: the output was taken for lost";

    // Each dialog that closes and reopens the port around it finds it again.
    uint32_t expected = 3;
    for (unsigned id : {ID_MIDI_SETUP_METRONOME, ID_MIDI_SELECT_OUTPUT}) {
        QTimer::singleShot(0, [] {
            if (auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget()))
                dlg->reject();
        });
        m_pFrame->Action(id)->trigger();
        ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u) << id;
        m_pView->OnPCKeyNote(6, 1); // C played on the PC keyboard
        m_pView->OnPCKeyReleased(1, 60);
        m_pView->m_PCKeySlots[6].Reset();
        expected += 2;
        EXPECT_EQ(second.Events(expected).mid(expected - 2), QStringList({"90 3c 7f", "80 3c 00"}))
            << id << ": " << qPrintable(second.Events().join(", "));
    }
}

TEST_F(PortsReturnJackTest, PeersThatComeBackAreReopenedByThemselvesAndALostInputsNotesEnd)
{
    ChildProcess* synth = StartDump("kvsynth");
    auto keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    StartProgram();
    // Chosen once by the user; from then on by name.
    m_pView->m_OutDevice.SetDeviceID(OutputIndexOf("kvsynth:input"));
    m_pView->m_OutDevice.Open(m_pView);
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());
    ASSERT_EQ(m_pView->m_InDevice.m_strDeviceName, "kvkeys:out");

    JackTestServer::Kill(synth);
    keys.reset();
    ASSERT_TRUE(BothWaiting());

    Recorder back("kvsynth");
    keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(back.Ok() && keys->Ok());
    ASSERT_TRUE(BothOpen(8000));
    EXPECT_EQ(back.Events(3), kChannelSetUp);
    // Played on the instrument, heard at the synthesizer: both are back.
    ASSERT_TRUE(keys->Send({0x90, 0x3c, 0x40}) && keys->Send({0xb0, 0x40, 0x7f}) &&
                keys->Send({0x90, 0x43, 0x40}));
    EXPECT_EQ(back.Events(6).mid(3), QStringList({"90 3c 40", "b0 40 7f", "90 43 40"}));
    keys.reset(); // unplugged with both keys and the pedal down
    EXPECT_EQ(back.Events(9).mid(6), QStringList({"b0 40 00", "80 3c 00", "80 43 00"}));
}

// The synthesizer heard through the server, and lost with it: the loss is
// told and explained, opening fails fast while the server is down, rather
// than playing into the dead client a second port still holds, and the
// window's own retries bring it back on the new server.
TEST_F(PortsReturnJackTest, ARestartedServerBringsBackThePortsAndTheSynthesizer)
{
    if (!synthtest::SoundFontInstalled())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    auto keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"});
    StartProgram(synth);
    ASSERT_TRUE(m_pView->m_OutDevice.GetHandle()) << qPrintable(synth->Problem());
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());
    std::unique_ptr<IMidiOutPort> dialog, port; // the metronome dialog's, say
    std::atomic<int> lost{0};
    std::atomic<bool> explained{false}; // the reason was there when told
    ASSERT_EQ(synth->OpenPort(dialog, [&] {
        explained = synth->Problem().contains("sound server stopped");
        ++lost;
    }), MMSYSERR_NOERROR);

    keys.reset();
    m_server.Stop();
    ASSERT_TRUE(BothWaiting());
    EXPECT_TRUE(kvtest::WaitFor([&] { return lost == 1; }));
    EXPECT_FALSE(synth->AudioRunning());
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("No sound")) << qPrintable(m_pFrame->PaneText(0));
    EXPECT_TRUE(explained) << qPrintable(synth->Problem());
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_NODRIVER);
    EXPECT_LT(timer.elapsed(), 500) << "opening with the server down must fail fast";

    ASSERT_TRUE(m_server.Start(256, false)) << qPrintable(m_server.Log());
    keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    ASSERT_TRUE(BothOpen(15000)) << qPrintable(synth->Problem());
    dialog.reset();
    EXPECT_TRUE(synth->AudioRunning()) << "the window's port keeps it";
    EXPECT_GE(m_server.Ports().filter("Kelvora").size(), 2) << qPrintable(m_server.Ports().join(' '));
    // Heard at the synthesizer's line, which the new server's cycles feed:
    // what the old one played has fallen away by then.
    CSynthLine& line = CSynthLine::Instance();
    ASSERT_TRUE(kvtest::WaitFor([&] { return line.Peak() == 0; }, 3000));
    m_pView->m_OutDevice.SendShortMsg(0x000050C0); // square lead: loud and steady
    m_pView->m_OutDevice.SendShortMsg(0x007F3C90);
    EXPECT_TRUE(kvtest::WaitFor([&] { return line.Peak() > 1000; }, 5000))
        << "no sound through the new server";
    EXPECT_EQ(lost, 1) << "a loss told twice, or of the new server";
    Stop();
    EXPECT_FALSE(synth->AudioRunning()) << "the last port closed";
}

} // namespace
