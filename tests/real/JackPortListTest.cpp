// The RtMidi backend's port lists against a real JACK server and real peers
// coming and going: who is told, an open port's place as others leave before
// it, a server that comes back. JACK tells of a change before its lists show
// it; what a listener or an open port finds must be the lists after it.
#include "JackTestClient.h"
#include "JackTestServer.h"

#include "platform/RtMidiBackend.h"
#include "support/TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

namespace {

// The stable names of the backend's inputs or outputs, in index order.
QStringList PortNames(IMidiBackend& backend, bool inputs)
{
    QStringList names;
    for (unsigned i = 0, n = inputs ? backend.InputCount() : backend.OutputCount(); i < n; ++i) {
        MidiCaps caps;
        (void)(inputs ? backend.GetInputCaps(i, caps) : backend.GetOutputCaps(i, caps));
        names << caps.portName;
    }
    return names;
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
            const QStringList seen = PortNames(*backend, true) + PortNames(*backend, false);
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
    std::atomic<int> selfId{0}, selfCalls{0}; // one that removes itself when told
    selfId = backend->AddPortsListener([&] {
        if (const int me = selfId.load()) {
            ++selfCalls;
            backend->RemovePortsListener(me);
        }
    });

    // A program that closes its client, as it quits: JACK tells of its port
    // going before its lists show that.
    auto peer = std::make_unique<JackTestClient>("kvlisten");
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
    auto back = std::make_unique<JackTestClient>("kvback");
    ASSERT_TRUE(Told(before, "kvback:out", true)) << calls << " calls";

    // Removed: never told again, though ports keep going and coming.
    backend->RemovePortsListener(listener);
    before = calls;
    back.reset();
    JackTestClient later("kvlater");
    ASSERT_TRUE(
        kvtest::WaitFor([&] { return PortNames(*backend, true) == QStringList{"kvlater:out"}; }));
    QThread::msleep(200);
    EXPECT_EQ(calls, before);
    EXPECT_EQ(selfCalls, 1);
}

TEST_F(JackPortListTest, OpenPortsKnowTheirPlaceAsPeersBeforeThemLeave)
{
    // A and B each have an input (jack_midi_dump, killed as a crash would end
    // it) and an output (our test client, closed as a program quits), A's first.
    QProcess* sinkA = server.StartClient("jack_midi_dump", {"kvA"});
    ASSERT_TRUE(sinkA && server.WaitForPort("kvA:input"));
    auto sourceA = std::make_unique<JackTestClient>("kvAsrc");
    QProcess* sinkB = server.StartClient("jack_midi_dump", {"kvB"});
    ASSERT_TRUE(sinkB && server.WaitForPort("kvB:input"));
    auto sourceB = std::make_unique<JackTestClient>("kvBsrc");
    ASSERT_EQ(PortNames(*backend, false), QStringList({"kvA:input", "kvB:input"}));
    ASSERT_EQ(PortNames(*backend, true), QStringList({"kvAsrc:out", "kvBsrc:out"}));
    std::atomic<int> lost{0};
    std::unique_ptr<IMidiOutPort> out;
    std::unique_ptr<IMidiInPort> in;
    ASSERT_EQ(backend->OpenOutput(1, [&] { ++lost; }, out), MMSYSERR_NOERROR);
    ASSERT_EQ(backend->OpenInput(1, [](uint32_t) {}, [&] { ++lost; }, in), MMSYSERR_NOERROR);

    // A leaves: B's ports move down one. Asked as often as a status bar would,
    // so an early look must not stick.
    JackTestServer::Kill(sinkA);
    sourceA.reset();
    EXPECT_TRUE(kvtest::WaitFor([&] { return out->DeviceId() == 0 && in->DeviceId() == 0; }))
        << out->DeviceId() << " " << in->DeviceId();
    EXPECT_EQ(lost, 0);

    // B leaves: the ports are in the list no more, and each is lost once.
    JackTestServer::Kill(sinkB);
    sourceB.reset();
    EXPECT_TRUE(kvtest::WaitFor([&] {
        return out->DeviceId() == MIDI_NO_DEVICE && in->DeviceId() == MIDI_NO_DEVICE && lost == 2;
    })) << out->DeviceId() << " " << in->DeviceId() << " " << lost;
    QThread::msleep(100);
    EXPECT_EQ(lost, 2);
}

} // namespace
