// The RtMidi backend's port lists against a real JACK server (dummy driver)
// and real peers coming and going: who is told, the place an open port has in
// the list as others leave before it, and a server that stops and comes back.
// Each on a synchronous and an asynchronous server: they tell of a port gone
// a different number of times, and neither before their lists show it.
#include "JackTestClient.h"
#include "JackTestServer.h"

#include "platform/BuiltinSynth.h"
#include "platform/JackClientMonitor.h"
#include "platform/RtMidiBackend.h"
#include "support/TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace {

// A synchronous server that loses a client mid-cycle stops for about five
// seconds before its lists show the client gone.
constexpr int kAfterAKillMs = 10000;

std::shared_ptr<CBuiltinSynth> OfflineSynth()
{
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    return synth;
}

// The stable names of the backend's inputs or outputs, in index order.
QStringList PortNames(IMidiBackend& backend, bool inputs)
{
    QStringList names;
    const unsigned count = inputs ? backend.InputCount() : backend.OutputCount();
    for (unsigned i = 0; i < count; ++i) {
        MidiCaps caps;
        if ((inputs ? backend.GetInputCaps(i, caps) : backend.GetOutputCaps(i, caps)) ==
            MMSYSERR_NOERROR)
            names << caps.portName;
    }
    return names;
}

uint32_t IndexOf(IMidiBackend& backend, bool inputs, const QString& name)
{
    const auto index = PortNames(backend, inputs).indexOf(name);
    return index < 0 ? MIDI_NO_DEVICE : static_cast<uint32_t>(index);
}

// What a ports listener saw, one entry per call (it runs on the backend's thread).
class Heard {
public:
    void Add(QStringList seen)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(std::move(seen));
    }
    int Calls()
    {
        std::lock_guard lock(m_mutex);
        return static_cast<int>(m_calls.size());
    }
    // Whether a call after the first `from` saw what pred wants.
    bool WaitFor(int from, const std::function<bool(const QStringList&)>& pred,
                 int timeoutMs = kAfterAKillMs)
    {
        return kvtest::WaitFor(
            [&] {
                std::lock_guard lock(m_mutex);
                for (std::size_t i = static_cast<std::size_t>(from); i < m_calls.size(); ++i) {
                    if (pred(m_calls[i]))
                        return true;
                }
                return false;
            },
            timeoutMs);
    }

private:
    std::mutex m_mutex;
    std::vector<QStringList> m_calls;
};

// The parameter: whether the server is synchronous.
class JackPortListTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        ASSERT_TRUE(server.Start(256, GetParam())) << qPrintable(server.Log());
    }
    JackTestServer server; // outlives every backend and port of the test body
};

TEST_P(JackPortListTest, ListenersAreToldOfPortsComingAndGoing)
{
    CRtMidiBackend backend(CRtMidiBackend::Jack, OfflineSynth());
    ASSERT_EQ(backend.OutputCount(), 0u);

    // It lists the ports itself when told: no lock of the backend's is held then.
    Heard heard;
    const int id = backend.AddPortsListener(
        [&] { heard.Add(PortNames(backend, true) + PortNames(backend, false)); });
    // One that removes itself when told, from inside the call.
    std::atomic<int> selfId{0}, selfCalls{0}, callsAtRemoval{0};
    selfId = backend.AddPortsListener([&] {
        ++selfCalls;
        if (const int me = selfId.load()) {
            backend.RemovePortsListener(me);
            callsAtRemoval = selfCalls.load();
        }
    });

    QProcess* peer = server.StartClient("jack_midi_dump", {"kvlisten"});
    ASSERT_TRUE(peer);
    ASSERT_TRUE(
        heard.WaitFor(0, [](const QStringList& seen) { return seen.contains("kvlisten:input"); }))
        << heard.Calls() << " calls";
    const int registered = heard.Calls();

    JackTestServer::Kill(peer);
    ASSERT_TRUE(heard.WaitFor(
        registered, [](const QStringList& seen) { return !seen.contains("kvlisten:input"); }))
        << heard.Calls() << " calls";

    // The same for a program that closes its client itself.
    const int killed = heard.Calls();
    auto clean = std::make_unique<JackTestClient>("kvclean");
    ASSERT_TRUE(clean->Ok());
    ASSERT_TRUE(
        heard.WaitFor(killed, [](const QStringList& seen) { return seen.contains("kvclean:out"); }))
        << heard.Calls() << " calls";
    const int opened = heard.Calls();
    clean.reset();
    ASSERT_TRUE(
        heard.WaitFor(opened, [](const QStringList& seen) { return !seen.contains("kvclean:out"); }))
        << heard.Calls() << " calls";

    // Removed: never told again, though ports keep coming.
    backend.RemovePortsListener(id);
    const int calls = heard.Calls();
    ASSERT_TRUE(server.StartClient("jack_midi_dump", {"kvlater"}));
    ASSERT_TRUE(server.WaitForPort("kvlater:input"));
    ASSERT_TRUE(kvtest::WaitFor(
        [&] { return IndexOf(backend, false, "kvlater:input") != MIDI_NO_DEVICE; }));
    QThread::msleep(200);
    EXPECT_EQ(heard.Calls(), calls);
    EXPECT_GE(callsAtRemoval.load(), 1);
    EXPECT_EQ(selfCalls.load(), callsAtRemoval.load());
}

TEST_P(JackPortListTest, OpenPortsKnowTheirPlaceAsPeersBeforeThemLeave)
{
    // A and B each have an input (jack_midi_dump, killed as a crash would end
    // it) and an output (our test client, closed as a program quits), A's
    // registered first.
    QProcess* sinkA = server.StartClient("jack_midi_dump", {"kvA"});
    ASSERT_TRUE(sinkA && server.WaitForPort("kvA:input"));
    auto sourceA = std::make_unique<JackTestClient>("kvAsrc");
    QProcess* sinkB = server.StartClient("jack_midi_dump", {"kvB"});
    ASSERT_TRUE(sinkB && server.WaitForPort("kvB:input"));
    auto sourceB = std::make_unique<JackTestClient>("kvBsrc");
    ASSERT_TRUE(sourceA->Ok() && sourceB->Ok());

    CRtMidiBackend backend(CRtMidiBackend::Jack, OfflineSynth());
    const uint32_t outA = IndexOf(backend, false, "kvA:input"),
                   outB = IndexOf(backend, false, "kvB:input");
    const uint32_t inA = IndexOf(backend, true, "kvAsrc:out"),
                   inB = IndexOf(backend, true, "kvBsrc:out");
    ASSERT_TRUE(outA < outB && outB != MIDI_NO_DEVICE)
        << qPrintable(PortNames(backend, false).join(", "));
    ASSERT_TRUE(inA < inB && inB != MIDI_NO_DEVICE)
        << qPrintable(PortNames(backend, true).join(", "));

    std::atomic<int> lostOut{0}, lostIn{0};
    std::unique_ptr<IMidiOutPort> out;
    std::unique_ptr<IMidiInPort> in;
    ASSERT_EQ(backend.OpenOutput(outB, [&] { ++lostOut; }, out), MMSYSERR_NOERROR);
    ASSERT_EQ(backend.OpenInput(inB, [](uint32_t) {}, [&] { ++lostIn; }, in), MMSYSERR_NOERROR);
    EXPECT_EQ(out->DeviceId(), outB);
    EXPECT_EQ(in->DeviceId(), inB);

    // A leaves: B's ports move down one, and that index names B. Asked as
    // often as a status bar would, so an early look must not stick.
    JackTestServer::Kill(sinkA);
    sourceA.reset();
    EXPECT_TRUE(kvtest::WaitFor(
        [&] { return out->DeviceId() == outB - 1 && in->DeviceId() == inB - 1; }, kAfterAKillMs))
        << out->DeviceId() << " " << in->DeviceId();
    MidiCaps caps;
    ASSERT_EQ(backend.GetOutputCaps(out->DeviceId(), caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.portName, "kvB:input");
    EXPECT_EQ(caps.szPname, "kvB:input");
    EXPECT_FALSE(caps.bLoopback);
    ASSERT_EQ(backend.GetInputCaps(in->DeviceId(), caps), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.portName, "kvBsrc:out");
    EXPECT_EQ(lostOut + lostIn, 0);

    // B leaves: the ports are in the list no more, and each is lost once.
    JackTestServer::Kill(sinkB);
    sourceB.reset();
    EXPECT_TRUE(kvtest::WaitFor(
        [&] { return out->DeviceId() == MIDI_NO_DEVICE && in->DeviceId() == MIDI_NO_DEVICE; },
        kAfterAKillMs))
        << out->DeviceId() << " " << in->DeviceId();
    EXPECT_TRUE(kvtest::WaitFor([&] { return lostOut == 1 && lostIn == 1; })) // and only once
        << lostOut << " " << lostIn;
    QThread::msleep(100);
    EXPECT_EQ(lostOut + lostIn, 2);
}

TEST_P(JackPortListTest, AServerStartedAgainIsFoundWithoutAsking)
{
    // The monitor is asked directly inside the listener, which never connects.
    const auto monitor = CJackClientMonitor::Shared();
    CRtMidiBackend backend(CRtMidiBackend::Jack, OfflineSynth());
    ASSERT_EQ(backend.OutputCount(), 0u); // connected, nothing to list
    std::mutex mutex;
    std::vector<bool> connected; // at each call
    backend.AddPortsListener([&] {
        const bool now = monitor->IsConnected();
        std::lock_guard lock(mutex);
        connected.push_back(now);
    });
    const auto toldSince = [&](std::size_t from, bool state) {
        return kvtest::WaitFor(
            [&] {
                std::lock_guard lock(mutex);
                for (std::size_t i = from; i < connected.size(); ++i) {
                    if (connected[i] == state)
                        return true;
                }
                return false;
            },
            8000);
    };
    const auto calls = [&] {
        std::lock_guard lock(mutex);
        return connected.size();
    };

    const QString name = server.Name();
    server.Stop();
    ASSERT_TRUE(toldSince(0, false)) << calls() << " calls";

    // Nobody lists anything from here on until the listener has been told.
    const std::size_t beforeStart = calls();
    ASSERT_TRUE(server.Start(256, false)) << qPrintable(server.Log());
    ASSERT_EQ(server.Name(), name) << "the test needs the same server name again";
    ASSERT_TRUE(toldSince(beforeStart, true)) << calls() << " calls";

    // Its ports are those of the new server.
    const std::size_t beforePeer = calls();
    ASSERT_TRUE(server.StartClient("jack_midi_dump", {"kvback"}));
    ASSERT_TRUE(server.WaitForPort("kvback:input"));
    EXPECT_TRUE(kvtest::WaitFor([&] { return calls() > beforePeer; }));
    EXPECT_EQ(PortNames(backend, false), QStringList{"kvback:input"});
}

INSTANTIATE_TEST_SUITE_P(Servers, JackPortListTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Synchronous" : "Asynchronous";
                         });

} // namespace
