// The program's window on real JACK peers that come and go: the port it uses
// is found by name when others go, reopened by itself when it comes back,
// and what the input left sounding is ended when the input goes.
#include "JackSequencePeers.h"
#include "JackTestServer.h"

#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "dialogs/CDialog.h"
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

using kvseq::Recorder;
using kvseq::Sender;

uint32_t OutputIndexOf(const QString& portName)
{
    return kvseq::IndexOf(MidiSystem::Backend(), portName, false);
}

const QStringList kChannelSetUp{"c0 00", "b0 07 7f", "b0 0a 40"};

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
        if (!synth) {
            synth = std::make_shared<CBuiltinSynth>();
            synth->SetOffline(true);
        }
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

    JackTestServer m_server;
    CTessaroDoc m_doc;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
};

TEST_F(PortsReturnJackTest, TheSecondPeerStaysInUseWhenTheFirstGoes)
{
    ChildProcess* first = StartDump("kvfirst");
    Recorder second("kvsecond");
    // Stored with an index that names another port by now; the name wins.
    Profile::WriteProfileInt("MIDIOut", "DevID", 0);
    Profile::WriteProfileString("MIDIOut", "DevName", second.PortName());
    StartProgram();
    ASSERT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), OutputIndexOf(second.PortName()));
    EXPECT_EQ(second.Events(3), kChannelSetUp);

    JackTestServer::Kill(first);
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_OutDevice.QueryOpenDeviceID() == 0; }))
        << m_pView->m_OutDevice.QueryOpenDeviceID();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), second.PortName());

    // Each dialog that closes and reopens the port around it finds it again.
    uint32_t expected = 3;
    for (unsigned id : {ID_MIDI_SETUP_METRONOME, ID_MIDI_SETUP_OUTPUT_DEFAULTS, ID_MIDI_SELECT_OUTPUT}) {
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
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("\"kvsynth:input\"")) << qPrintable(m_pFrame->PaneText(0));

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

TEST_F(PortsReturnJackTest, ARestartedServerBringsBackThePortsAndTheSynthesizer)
{
    auto keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetAudioDrivers({"jack"}); // heard through the server, and lost with it
    StartProgram(synth);
    ASSERT_TRUE(m_pView->m_OutDevice.GetHandle()) << qPrintable(synth->Problem());
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());

    keys.reset();
    m_server.Stop();
    ASSERT_TRUE(BothWaiting());
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("No sound")) << qPrintable(m_pFrame->PaneText(0));

    ASSERT_TRUE(m_server.Start(256, false)) << qPrintable(m_server.Log());
    keys = std::make_unique<Sender>("kvkeys");
    ASSERT_TRUE(keys->Ok());
    ASSERT_TRUE(BothOpen(15000)) << qPrintable(synth->Problem());
    EXPECT_TRUE(synth->AudioRunning());
    EXPECT_GE(m_server.Ports().filter("Kelvora").size(), 2) << qPrintable(m_server.Ports().join(' '));
}

} // namespace
