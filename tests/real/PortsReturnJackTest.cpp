// The program's window on real JACK peers that come and go: the port it uses
// is found by name when others go, reopened by itself when it comes back,
// and what the input left sounding is ended when the input goes.
#include "JackTestClient.h"
#include "JackTestServer.h"

#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "dialogs/CDialog.h"
#include "midi/MIDICaps.h"
#include "platform/BuiltinSynth.h"
#include "platform/Profile.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"
#include "support/TestSupport.h"
#include "view/CTessaroView.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

uint32_t OutputIndexOf(const QString& portName)
{
    const unsigned count = MidiSystem::Backend().OutputCount();
    for (unsigned i = 0; i < count; ++i) {
        CMIDIOutCaps caps(i);
        if (caps.Query() == MMSYSERR_NOERROR && caps.portName == portName)
            return i;
    }
    return MIDI_NO_DEVICE;
}

// A jack_midi_dump peer and what it has printed so far.
struct DumpPeer {
    QProcess* process = nullptr;
    QString output;

    // The events printed, once at least `count` have come (or 5 s passed).
    QStringList Events(qsizetype count)
    {
        kvtest::WaitFor(
            [&] {
                process->waitForReadyRead(20);
                output += QString::fromLocal8Bit(process->readAllStandardOutput());
                return JackTestServer::DumpedEvents(output).size() >= count;
            },
            5000);
        return JackTestServer::DumpedEvents(output);
    }
};

void CancelNextDialog()
{
    QTimer::singleShot(0, [] {
        if (auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget()))
            dlg->reject();
    });
}

class PortsReturnJackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        kvtest::ClearProfile();
        // Asynchronous: a peer killed in the middle of a cycle stalls a
        // synchronous server for seconds.
        ASSERT_TRUE(m_server.Start(256, false)) << qPrintable(m_server.Log());
    }
    void TearDown() override
    {
        if (m_pFrame) {
            m_pFrame->close();
            delete m_pFrame;
        }
        MidiSystem::Install(nullptr); // our clients leave before the server does
    }

    DumpPeer StartDump(const QString& name)
    {
        DumpPeer peer{m_server.StartClient("jack_midi_dump", {name}), {}};
        EXPECT_TRUE(peer.process);
        EXPECT_TRUE(m_server.WaitForPort(name + ":input"));
        return peer;
    }

    // The window as start-up makes it, on JACK; the mapper renders offline.
    void StartProgram(std::shared_ptr<CBuiltinSynth> synth = nullptr)
    {
        if (!synth) {
            synth = std::make_shared<CBuiltinSynth>();
            synth->SetOffline(true);
        }
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
    }

    void PlayC()
    {
        m_pView->OnPCKeyNote(6, 1);
        m_pView->OnPCKeyReleased(1, 60);
        m_pView->m_PCKeySlots[6].Reset();
    }

    JackTestServer m_server;
    CTessaroDoc m_doc;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
};

const QStringList kChannelSetUp{"c0 00", "b0 07 7f", "b0 0a 40"};
const QStringList kPlayedC{"90 3c 7f", "80 3c 00"};

TEST_F(PortsReturnJackTest, TheSecondPeerStaysInUseWhenTheFirstGoes)
{
    DumpPeer first = StartDump("kvfirst");
    DumpPeer second = StartDump("kvsecond");
    // Stored with an index that names another port by now; the name wins.
    Profile::WriteProfileInt("MIDIOut", "DevID", 0);
    Profile::WriteProfileString("MIDIOut", "DevName", "kvsecond:input");
    StartProgram();
    ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), OutputIndexOf("kvsecond:input"));
    EXPECT_EQ(second.Events(3), kChannelSetUp);

    JackTestServer::Kill(first.process);
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_OutDevice.QueryOpenDeviceID() == 0; }))
        << m_pView->m_OutDevice.QueryOpenDeviceID();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "kvsecond:input");

    qsizetype expected = 3;
    for (unsigned id : {ID_MIDI_SETUP_METRONOME, ID_MIDI_SETUP_OUTPUT_DEFAULTS,
                        ID_MIDI_SELECT_OUTPUT}) {
        CancelNextDialog();
        m_pFrame->Action(id)->trigger();
        ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u) << id;
        PlayC();
        expected += 2;
        EXPECT_EQ(second.Events(expected).mid(expected - 2), kPlayedC) << id;
    }
}

TEST_F(PortsReturnJackTest, APeerThatComesBackIsReopenedAndSetUpByItself)
{
    DumpPeer synth = StartDump("kvsynth");
    auto keys = std::make_unique<JackTestClient>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    StartProgram();
    // Chosen once by the user; from then on by name.
    m_pView->m_OutDevice.SetDeviceID(OutputIndexOf("kvsynth:input"));
    m_pView->m_OutDevice.Open(m_pView);
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());
    ASSERT_EQ(m_pView->m_InDevice.m_strDeviceName, "kvkeys:out");

    JackTestServer::Kill(synth.process);
    keys.reset();
    ASSERT_TRUE(kvtest::WaitFor([&] {
        return m_pView->m_OutDevice.IsWaitingForPort() && m_pView->m_InDevice.IsWaitingForPort();
    }));
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("\"kvsynth:input\""))
        << qPrintable(m_pFrame->PaneText(0));

    DumpPeer back = StartDump("kvsynth");
    keys = std::make_unique<JackTestClient>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    ASSERT_TRUE(kvtest::WaitFor([&] {
        return m_pView->m_OutDevice.GetHandle() && m_pView->m_InDevice.IsOpen();
    }, 8000));
    EXPECT_EQ(back.Events(3), kChannelSetUp);
    // Played on the instrument, heard at the synthesizer: both are back.
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(keys->Send({0x90, uint8_t(40 + i), 0x40}));
    const QStringList events = back.Events(23);
    ASSERT_EQ(events.size(), 23) << qPrintable(back.output);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(events[3 + i], QString("90 %1 40").arg(40 + i, 2, 16, QChar('0')));
}

TEST_F(PortsReturnJackTest, NotesAndPedalOfALostInputEndAtTheOutput)
{
    DumpPeer synth = StartDump("kvsynth");
    auto keys = std::make_unique<JackTestClient>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    Profile::WriteProfileString("MIDIOut", "DevName", "kvsynth:input");
    Profile::WriteProfileInt("MIDIOut", "DevID", 0);
    StartProgram();
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());
    EXPECT_EQ(synth.Events(3), kChannelSetUp);
    ASSERT_TRUE(keys->Send({0x90, 0x3c, 0x40}));
    ASSERT_TRUE(keys->Send({0xb0, 0x40, 0x7f}));
    ASSERT_TRUE(keys->Send({0x90, 0x43, 0x40}));
    ASSERT_EQ(synth.Events(6).size(), 6);
    keys.reset(); // unplugged with both keys and the pedal down
    const QStringList events = synth.Events(9);
    EXPECT_EQ(events.mid(6), QStringList({"b0 40 00", "80 3c 00", "80 43 00"}))
        << qPrintable(synth.output);
}

TEST_F(PortsReturnJackTest, ARestartedServerBringsBackThePortsAndTheSynthesizer)
{
    auto keys = std::make_unique<JackTestClient>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"}); // heard through the server, and lost with it
    StartProgram(synth);
    ASSERT_TRUE(m_pView->m_OutDevice.GetHandle()) << qPrintable(synth->Problem());
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());

    keys.reset();
    m_server.Stop();
    ASSERT_TRUE(kvtest::WaitFor([&] {
        return m_pView->m_OutDevice.IsWaitingForPort() && m_pView->m_InDevice.IsWaitingForPort();
    }, 8000));
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("No sound")) << qPrintable(m_pFrame->PaneText(0));

    ASSERT_TRUE(m_server.Start(256, false)) << qPrintable(m_server.Log());
    keys = std::make_unique<JackTestClient>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    ASSERT_TRUE(kvtest::WaitFor([&] {
        return m_pView->m_OutDevice.GetHandle() && m_pView->m_InDevice.IsOpen();
    }, 15000)) << qPrintable(synth->Problem());
    EXPECT_TRUE(synth->AudioRunning());
    EXPECT_TRUE(m_server.Ports().filter("Kelvora").size() >= 2) << qPrintable(m_server.Ports().join(' '));
}

} // namespace
