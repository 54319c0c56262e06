// Our ports against a real JACK server (dummy driver) and real peers: the bytes
// that leave, the events that arrive, and peers or the server going away. And
// the backend's port lists as peers come and go: who is told, and a server
// that comes back. JACK tells of a change before its lists show it; what a
// listener finds must be the lists after it.
#include "JackSequencePeers.h"
#include "JackTestServer.h"

#include "../midi/MidiTestReceiver.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"
#include "support/TestSupport.h"

#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

uint32_t InputIndexOf(const QString& name)
{
    return kvseq::IndexOf(MidiSystem::Backend(), name, true);
}
uint32_t OutputIndexOf(const QString& name)
{
    return kvseq::IndexOf(MidiSystem::Backend(), name, false);
}

template <class Device>
MMRESULT OpenNamed(Device& device, uint32_t id, MidiTestReceiver* view)
{
    device.SetDeviceID(id);
    return device.Open(view);
}

class JackMidiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
    }
    void TearDown() override { MidiSystem::Install(nullptr); } // before the server goes

    // The server, and our ports on it; the mapper is a synthesizer rendering offline.
    bool Start(bool synchronous)
    {
        if (!server.Start(256, synchronous))
            return false;
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetOffline(true);
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
        return true;
    }

    JackTestServer server;
};

TEST_F(JackMidiTest, BytesLeaveAndEnterOurPortsExactly)
{
    ASSERT_TRUE(Start(true)) << qPrintable(server.Log());
    kvseq::Recorder sink("kvsink");
    kvseq::Sender feed("kvfeed");
    ASSERT_TRUE(sink.Ok() && feed.Ok());
    MidiTestReceiver view;
    CMIDIOutDevice out;
    CMIDIInDevice in;
    ASSERT_EQ(OpenNamed(out, OutputIndexOf(sink.PortName()), nullptr), MMSYSERR_NOERROR)
        << qPrintable(MidiSystem::DescribeDevices());
    ASSERT_EQ(OpenNamed(in, InputIndexOf(feed.PortName()), &view), MMSYSERR_NOERROR);
    // Our own port is connected but never offered as a device.
    EXPECT_EQ(server.Ports().filter(QRegularExpression("^Kelvora.*:MIDI Out$")).size(), 1)
        << qPrintable(server.Ports().join(' '));
    EXPECT_FALSE(MidiSystem::DescribeDevices().contains("Kelvora:"))
        << qPrintable(MidiSystem::DescribeDevices());

    for (uint32_t msg : {0x00643C90u, 0x00400BB0u, 0x000005C0u, 0x004000E0u, 0x000000F8u,
                         0x000301F2u, 0x00503F91u})
        EXPECT_EQ(out.SendShortMsg(msg), MMSYSERR_NOERROR);
    EXPECT_EQ(out.SendShortMsg(0x000000F0u), MMSYSERR_INVALPARAM); // never on the wire
    EXPECT_EQ(sink.Events(7), QStringList({"90 3c 64", "b0 0b 40", "c0 05", "e0 00 40", "f8",
                                           "f2 01 03", "91 3f 50"}));
    // Closing ends the two held notes, and those last bytes get out too.
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(sink.Events(9).mid(7), QStringList({"80 3c 00", "81 3f 00"}));
    QThread::msleep(100); // and nothing more follows
    EXPECT_EQ(sink.Count(), 9u);

    std::vector<uint32_t> expected;
    for (uint32_t n = 0; n < 2000; ++n) {
        const uint8_t key = n & 0x7F, vel = (n >> 7) & 0x7F;
        ASSERT_TRUE(feed.Send({0x90, key, vel}));
        expected.push_back(0x90u | key << 8 | vel << 16);
        if (n % 250 == 0) {
            // What a sloppy or hostile peer might send: all of it is dropped...
            feed.Send({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}); // system exclusive
            feed.Send({0x90, 0x3C, 0x64, 0x80, 0x3C, 0x00}); // two messages in one event
            feed.Send({0x90, 0x3C});                         // cut short
            feed.Send({0x3C, 0x64});                         // running status / stray data
            feed.Send({0xF7});
            feed.Send({0xB0, 0x07, 0xFF});                   // data byte with the top bit
            // ...but clock and active sensing are kept for the filter to judge.
            feed.Send({0xF8});
            feed.Send({0xFE});
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

// Asynchronous: a client killed mid-cycle stalls a synchronous server.
TEST_F(JackMidiTest, PeersKilledMidStreamCloseTheDevicesAndAreToldOnce)
{
    ASSERT_TRUE(Start(false)) << qPrintable(server.Log());
    ChildProcess* seq = server.StartClient("jack_midiseq", {"kvseq", "4800", "0", "60", "2400"});
    ChildProcess* sink = server.StartClient("jack_midi_dump", {"kvsink"});
    ASSERT_TRUE(seq && sink);
    ASSERT_TRUE(server.WaitForPort("kvseq:out") && server.WaitForPort("kvsink:input"));

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
    const bool gone = kvtest::WaitFor(
        [&] { return !in.IsOpen() && !out.GetHandle() && view.lostEvents == 2; }, 5000);
    stop = true;
    metronome.join();
    ASSERT_TRUE(gone) << in.IsOpen() << out.GetHandle() << view.lostEvents;
    QThread::msleep(100);
    kvtest::Drain();
    EXPECT_EQ(view.lostEvents, 2) << "a loss told twice";

    // Still sane: the choice is kept, the devices are gone, sends are refused.
    EXPECT_EQ(out.SendShortMsg(0x00643C90), MMSYSERR_INVALHANDLE);
    EXPECT_NE(in.m_nDeviceID, MIDI_NO_DEVICE);
    EXPECT_EQ(InputIndexOf("kvseq:out"), MIDI_NO_DEVICE);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR);
}

class JackPortListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
        backend = std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack);
    }

    // A listener that lists the ports itself: no lock of the backend's is held then.
    int Listen()
    {
        return backend->AddPortsListener([this] {
            const QStringList seen = kvseq::PortNames(*backend, true) + kvseq::PortNames(*backend, false);
            std::lock_guard lock(mutex);
            last = seen;
            ++calls;
        });
    }
    // Whether its latest call, one after the first `from`, found `port` listed (or not).
    bool Told(int from, const QString& port, bool listed)
    {
        return kvtest::WaitFor([&] {
            std::lock_guard lock(mutex);
            return calls > from && last.contains(port) == listed;
        }, 8000);
    }

    JackTestServer server; // outlives the backend and its ports
    std::unique_ptr<CRtMidiBackend> backend;
    std::mutex mutex;
    std::atomic<int> calls{0};
    QStringList last; // what the latest call found
};

TEST_F(JackPortListTest, ListenersAreToldOfPortsAndServersComingAndGoingUntilRemoved)
{
    ASSERT_EQ(backend->OutputCount(), 0u); // connected, nothing to list
    const int listener = Listen();

    // A program that closes its client, as it quits: JACK tells of its port
    // going before its lists show that.
    auto peer = std::make_unique<kvseq::Sender>("kvlisten");
    ASSERT_TRUE(Told(0, "kvlisten:out", true)) << calls << " calls";
    int before = calls;
    peer.reset();
    ASSERT_TRUE(Told(before, "kvlisten:out", false)) << calls << " calls";

    // The server stops, and starts again: found with nothing but the listener
    // listing the ports, and only when told.
    before = calls;
    server.Stop();
    ASSERT_TRUE(kvtest::WaitFor([&] { return calls > before; })) << "not told the server went";
    before = calls;
    ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
    auto back = std::make_unique<kvseq::Sender>("kvback");
    ASSERT_TRUE(Told(before, "kvback:out", true)) << calls << " calls";

    // Removed: never told again, though ports keep going and coming.
    backend->RemovePortsListener(listener);
    before = calls;
    back.reset();
    kvseq::Sender later("kvlater");
    ASSERT_TRUE(
        kvtest::WaitFor([&] { return kvseq::PortNames(*backend, true) == QStringList{"kvlater:out"}; }));
    QThread::msleep(200);
    EXPECT_EQ(calls, before);
}

} // namespace
