// Our ports against a real JACK server (dummy driver) and real peers: the bytes
// that leave, the events that arrive, and peers or the server going away.
#include "JackTestClient.h"
#include "JackTestServer.h"

#include "../midi/MidiTestReceiver.h"
#include "midi/MIDICaps.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// The device number of the named port, as the program counts them.
template <class Caps>
uint32_t IndexOf(const QString& name, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        Caps caps(i);
        if (caps.Query() == MMSYSERR_NOERROR && caps.szPname == name)
            return i;
    }
    return MIDI_NO_DEVICE;
}
uint32_t InputIndexOf(const QString& name)
{
    return IndexOf<CMIDIInCaps>(name, MidiSystem::Backend().InputCount());
}
uint32_t OutputIndexOf(const QString& name)
{
    return IndexOf<CMIDIOutCaps>(name, MidiSystem::Backend().OutputCount());
}

template <class Device>
MMRESULT OpenNamed(Device& device, uint32_t id, MidiTestReceiver* view)
{
    device.SetDeviceID(id);
    return device.Open(view);
}

// Our ports on JACK; the mapper is a synthesizer rendering offline.
void InstallJackBackend()
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
}

class JackMidiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!JackTestServer::Available())
            return;
        s_server = new JackTestServer;
        if (!s_server->Start()) {
            ADD_FAILURE() << "jackd did not start:\n" << qPrintable(s_server->Log());
            delete s_server;
            s_server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        MidiSystem::Install(nullptr); // our clients leave before the server does
        delete s_server;
        s_server = nullptr;
    }

    void SetUp() override
    {
        if (!s_server)
            GTEST_SKIP() << "jackd is not available";
        InstallJackBackend();
    }

    static JackTestServer* s_server;
};

JackTestServer* JackMidiTest::s_server = nullptr;

TEST_F(JackMidiTest, OutputBytesReachJackMidiDumpExactly)
{
    QProcess* dump = s_server->StartClient("jack_midi_dump", {"kvdump"});
    ASSERT_TRUE(dump);
    ASSERT_TRUE(s_server->WaitForPort("kvdump:input"));

    const uint32_t id = OutputIndexOf("kvdump:input");
    ASSERT_NE(id, MIDI_NO_DEVICE) << qPrintable(MidiSystem::DescribeDevices());
    CMIDIOutDevice out;
    ASSERT_EQ(OpenNamed(out, id, nullptr), MMSYSERR_NOERROR);
    // Our own port is connected but never offered as a device.
    EXPECT_EQ(s_server->Ports().filter(QRegularExpression("^Kelvora.*:MIDI Out$")).size(), 1)
        << qPrintable(s_server->Ports().join(' '));
    EXPECT_FALSE(MidiSystem::DescribeDevices().contains("Kelvora:")) << qPrintable(MidiSystem::DescribeDevices());

    QString buffer;
    const auto dumped = [&](qsizetype count) {
        kvtest::WaitFor([&] {
            dump->waitForReadyRead(20);
            buffer += QString::fromLocal8Bit(dump->readAllStandardOutput());
            return JackTestServer::DumpedEvents(buffer).size() >= count;
        }, 5000);
        return JackTestServer::DumpedEvents(buffer);
    };

    for (uint32_t msg : {0x00643C90u, 0x00400BB0u, 0x000005C0u, 0x004000E0u, 0x000000F8u,
                         0x000301F2u, 0x00503F91u})
        EXPECT_EQ(out.SendShortMsg(msg), MMSYSERR_NOERROR);
    EXPECT_EQ(out.SendShortMsg(0x000000F0u), MMSYSERR_INVALPARAM); // never on the wire
    EXPECT_EQ(dumped(7), QStringList({"90 3c 64", "b0 0b 40", "c0 05", "e0 00 40", "f8",
                                      "f2 01 03", "91 3f 50"}))
        << qPrintable(buffer) << qPrintable(s_server->Log());

    // Closing ends the two held notes, and those last bytes get out too.
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(dumped(9).mid(7), QStringList({"80 3c 00", "81 3f 00"}))
        << qPrintable(buffer) << qPrintable(s_server->Log());
    QThread::msleep(100); // and nothing more follows
    buffer += QString::fromLocal8Bit(dump->readAllStandardOutput());
    EXPECT_EQ(JackTestServer::DumpedEvents(buffer).size(), 9);
}

TEST_F(JackMidiTest, InputFromAJackPeerArrivesInOrderWithoutJunk)
{
    JackTestClient peer("kvfeed");
    ASSERT_TRUE(peer.Ok());
    const uint32_t id = InputIndexOf(QString::fromStdString(peer.OutPort()));
    ASSERT_NE(id, MIDI_NO_DEVICE) << qPrintable(MidiSystem::DescribeDevices());

    MidiTestReceiver view;
    CMIDIInDevice in;
    ASSERT_EQ(OpenNamed(in, id, &view), MMSYSERR_NOERROR);

    std::vector<uint32_t> expected;
    for (uint32_t n = 0; n < 2000; ++n) {
        const uint8_t key = n & 0x7F, vel = (n >> 7) & 0x7F;
        ASSERT_TRUE(peer.Send({0x90, key, vel}));
        expected.push_back(0x90u | key << 8 | vel << 16);
        if (n % 250 == 0) {
            // What a sloppy or hostile peer might send: all of it is dropped...
            peer.Send({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}); // system exclusive
            peer.Send({0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}); // two messages in one event
            peer.Send({0x90, 0x3C});                         // cut short
            peer.Send({0x3C, 0x64});                         // running status / stray data
            peer.Send({0xF7});
            peer.Send({0xB0, 0x07, 0xFF});                   // data byte with the top bit
            // ...but clock and active sensing are kept for the filter to judge.
            peer.Send({0xF8});
            peer.Send({0xFE});
            expected.push_back(0xF8);
            expected.push_back(0xFE);
        }
    }
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.messages.size() >= expected.size(); }, 10000))
        << view.messages.size() << " of " << expected.size();
    QThread::msleep(50);
    kvtest::Drain();
    EXPECT_EQ(view.messages, expected);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
}

TEST_F(JackMidiTest, SynthesizerPlaysThroughJackAudio)
{
    auto synth = std::make_shared<CBuiltinSynth>();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    // No PulseAudio on the test machine: JACK is the first driver that works.
    EXPECT_TRUE(synth->AudioRunning());
    EXPECT_FALSE(synth->AudioDriverName().isEmpty());
    EXPECT_TRUE(synth->AudioDriverName() != "jack" || s_server->WaitForPort("Kelvora Synthesizer:left"));
    EXPECT_EQ(port->ShortMsg(0x00643C90), MMSYSERR_NOERROR);
    port.reset();
    EXPECT_FALSE(synth->AudioRunning());
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR); // the audio output restarts
}

// Tests that stop or upset a server have one of their own.
class OwnJackServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
    }
    void TearDown() override { MidiSystem::Install(nullptr); } // before the server goes
    JackTestServer server;
};

// Asynchronous: a client killed in the middle of a cycle stalls a synchronous
// server and upsets any for a few seconds.
TEST_F(OwnJackServerTest, PeersKilledMidStreamLeaveTheDevicesClosed)
{
    ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
    InstallJackBackend();

    QProcess* seq = server.StartClient("jack_midiseq", {"kvseq", "4800", "0", "60", "2400"});
    QProcess* sink = server.StartClient("jack_midi_dump", {"kvsink"});
    ASSERT_TRUE(seq && sink);
    ASSERT_TRUE(server.WaitForPort("kvseq:out"));
    ASSERT_TRUE(server.WaitForPort("kvsink:input"));

    MidiTestReceiver view;
    CMIDIInDevice in;
    CMIDIOutDevice out;
    ASSERT_EQ(OpenNamed(in, InputIndexOf("kvseq:out"), &view), MMSYSERR_NOERROR);
    ASSERT_EQ(OpenNamed(out, OutputIndexOf("kvsink:input"), &view), MMSYSERR_NOERROR);
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.messages.size() >= 4; }));

    std::atomic<bool> stop{false};
    std::thread metronome([&] {
        while (!stop) {
            out.SendShortMsg(0x00643C99);
            out.SendShortMsg(0x00003C89);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    JackTestServer::Kill(seq);
    JackTestServer::Kill(sink);
    const bool closed = kvtest::WaitFor(
        [&] { return !in.IsOpen() && !out.GetHandle() && view.lostEvents == 2; }, 5000);
    stop = true;
    metronome.join();
    ASSERT_TRUE(closed) << in.IsOpen() << out.GetHandle() << view.lostEvents;

    // Still sane: the choice is kept, the devices are gone, sends are refused.
    EXPECT_EQ(out.SendShortMsg(0x00643C90), MMSYSERR_INVALHANDLE);
    EXPECT_NE(in.m_nDeviceID, MIDI_NO_DEVICE);
    EXPECT_EQ(InputIndexOf("kvseq:out"), MIDI_NO_DEVICE);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR);
}

TEST_F(OwnJackServerTest, ServerStoppingClosesOpenDevicesAndLaterOnesAreFound)
{
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    InstallJackBackend();

    QProcess* sink = server.StartClient("jack_midi_dump", {"kvsink"});
    ASSERT_TRUE(sink);
    ASSERT_TRUE(server.WaitForPort("kvsink:input"));
    auto peer = std::make_unique<JackTestClient>("kvfeed");
    ASSERT_TRUE(peer->Ok());

    MidiTestReceiver view;
    CMIDIInDevice in;
    CMIDIOutDevice out;
    ASSERT_EQ(OpenNamed(in, InputIndexOf("kvfeed:out"), &view), MMSYSERR_NOERROR);
    ASSERT_EQ(OpenNamed(out, OutputIndexOf("kvsink:input"), &view), MMSYSERR_NOERROR);
    CMIDIOutDevice synthOut; // the mapper rendering offline does not depend on the server
    synthOut.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(synthOut.Open(), MMSYSERR_NOERROR);
    // One that plays through JACK does: its audio client dies with the server.
    auto audible = std::make_shared<CBuiltinSynth>();
    std::atomic<bool> audioLost{false};
    std::unique_ptr<IMidiOutPort> audiblePort;
    ASSERT_EQ(audible->OpenPort(audiblePort, [&] { audioLost = true; }), MMSYSERR_NOERROR);
    const bool audioOnJack = audible->AudioDriverName() == "jack"; // no PulseAudio here

    server.Stop();
    ASSERT_TRUE(kvtest::WaitFor(
        [&] { return !in.IsOpen() && !out.GetHandle() && view.lostEvents == 2; }, 8000));
    EXPECT_TRUE(synthOut.GetHandle());
    EXPECT_TRUE(!audioOnJack || kvtest::WaitFor([&] { return audioLost.load(); }));
    // libjack crashes closing a client of a dead server after a failed attempt
    // to connect again. Listing devices while the synth's audio client is still
    // open must therefore not try; the test's own client goes first, as it is
    // not counted.
    peer.reset();
    EXPECT_EQ(MidiSystem::Backend().InputCount(), 0u);
    audiblePort.reset(); // as the device would on the loss
    EXPECT_TRUE(kvtest::WaitFor(
        [] {
            return MidiSystem::Backend().InputCount() == 0 &&
                   MidiSystem::Backend().OutputCount() == 0;
        },
        8000));

    // A server started later is found without restarting the program.
    ASSERT_TRUE(server.Start()) << qPrintable(server.Log());
    ASSERT_TRUE(server.StartClient("jack_midi_dump", {"kvsink"}));
    ASSERT_TRUE(server.WaitForPort("kvsink:input"));
    EXPECT_TRUE(kvtest::WaitFor([&] { return OutputIndexOf("kvsink:input") != MIDI_NO_DEVICE; },
                                5000));
    out.SetDeviceID(OutputIndexOf("kvsink:input"));
    EXPECT_EQ(out.Open(), MMSYSERR_NOERROR);
    out.Close();
}

} // namespace
