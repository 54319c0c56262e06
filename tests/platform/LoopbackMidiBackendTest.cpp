// The loopback backend as a desktop's changing port lists: an open port and
// its record follow their port while others come and go, a port that goes is
// lost once, listeners hear each change and none after their removal.
#include "platform/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Msgs = std::vector<uint32_t>;

constexpr uint32_t NoteOn = 0x00643C90;
constexpr uint32_t NoteOff = 0x00003C80;

// Spins until pred() holds (another thread makes it so); false after a while.
template <typename Pred>
bool SpinUntil(Pred pred)
{
    for (int i = 0; i < 2'000'000 && !pred(); ++i)
        std::this_thread::yield();
    return pred();
}

// A handler that takes a moment, so that the other thread acts while it runs;
// counts its calls, and those still running once `removed` was set.
struct LateCalls {
    std::atomic<int> calls{0}, late{0};
    std::atomic<bool> removed{false};
    void operator()()
    {
        ++calls;
        for (int i = 0; i < 50; ++i)
            std::this_thread::yield();
        late += removed.load();
    }
};

} // namespace

TEST(LoopbackMidiBackendTest, OpenPortsAndRecordsFollowTheirPortAndAreLostOnceWhenItGoes)
{
    CLoopbackMidiBackend loop(3, 3);
    int lostOut = 0, lostIn = 0;
    std::unique_ptr<IMidiOutPort> out;
    std::unique_ptr<IMidiInPort> in;
    ASSERT_EQ(loop.OpenOutput(1, [&] { ++lostOut; }, out), MMSYSERR_NOERROR);
    ASSERT_EQ(loop.OpenInput(1, {}, [&] { ++lostIn; }, in), MMSYSERR_NOERROR);
    out->ShortMsg(NoteOn);

    // A port before the input goes, one comes before the output.
    ASSERT_TRUE(loop.RemoveInput(0));
    EXPECT_EQ(in->DeviceId(), 0u);
    EXPECT_EQ(loop.AddOutput("Front", 0), 0u);
    EXPECT_EQ(out->DeviceId(), 2u);
    EXPECT_EQ(loop.Sent(2), Msgs{NoteOn});
    EXPECT_EQ(lostOut + lostIn, 0);

    // Their own ports go: each is lost, and what the output got is read by name.
    ASSERT_TRUE(loop.RemoveOutput(2));
    loop.SetInputCount(0);
    EXPECT_EQ(out->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(in->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(out->ShortMsg(NoteOff), MMSYSERR_NODRIVER);
    EXPECT_EQ(loop.SentTo("Loopback MIDI Out 2"), Msgs{NoteOn});
    loop.AddOutput("Loopback MIDI Out 2"); // the name again: a new port, a record of its own
    EXPECT_TRUE(loop.SentTo("Loopback MIDI Out 2").empty());

    // Once: closing a lost port, or a broken one's port going, is no second loss.
    ASSERT_EQ(loop.OpenOutput(3, [&] { ++lostOut; }, out), MMSYSERR_NOERROR); // closes the old
    EXPECT_TRUE(loop.VanishOutput(3));
    loop.SetOutputCount(0);
    in.reset();
    EXPECT_EQ(lostOut, 2);
    EXPECT_EQ(lostIn, 1);
}

TEST(LoopbackMidiBackendTest, ListenersHearEachChangeAndNoneOnceRemoved)
{
    CLoopbackMidiBackend loop(1, 1);
    std::vector<unsigned> seen; // the input count each call saw: no lock is held then
    const int id = loop.AddPortsListener([&] { seen.push_back(loop.InputCount()); });
    // One that removes itself and the one after it in the middle of a round.
    int self = 0, later = 0, laterCalls = 0;
    self = loop.AddPortsListener([&] {
        loop.RemovePortsListener(self);
        loop.RemovePortsListener(later);
    });
    later = loop.AddPortsListener([&] { ++laterCalls; });

    loop.AddInput("Keys", 0);
    loop.SetInputCount(2); // nothing listed changes
    loop.RemoveInput(0);
    loop.RemoveOutput(0);
    loop.SetInputCount(0);
    EXPECT_EQ(seen, (std::vector<unsigned>{2, 1, 1, 0}));
    EXPECT_EQ(laterCalls, 0);
    loop.RemovePortsListener(id);
    loop.AddInput("Pads");
    EXPECT_EQ(seen.size(), 4u);
}

// A sender injects into both inputs and tells the listeners, while this
// thread removes a listener and one of the inputs: once a removal returns,
// what was removed is called no more (a call under way ends first), and the
// input after it moves and keeps receiving.
TEST(LoopbackMidiBackendTest, RemovalsRacingAnotherThreadNeverCallAfterThem)
{
    for (int round = 0; round < 40; ++round) {
        const bool itself = round % 2 == 1;
        CLoopbackMidiBackend loop(2, 0);
        LateCalls data, told;
        std::atomic<int> lost{0}, sends{0};
        std::atomic<bool> stop{false};
        std::unique_ptr<IMidiInPort> in;
        ASSERT_EQ(loop.OpenInput(1, [&](uint32_t) { data(); }, [&] { ++lost; }, in),
                  MMSYSERR_NOERROR);
        in->Start();
        const int listener = loop.AddPortsListener([&] { told(); });
        std::thread sender([&] {
            for (; !stop; ++sends) {
                loop.Inject(0, NoteOn);
                loop.Inject(1, NoteOn);
                loop.NotifyPortsChanged();
            }
        });
        EXPECT_TRUE(SpinUntil([&] { return data.calls > 0 && told.calls > 0; }));
        loop.RemovePortsListener(listener);
        told.removed = true;
        EXPECT_TRUE(loop.RemoveInput(itself ? 1 : 0));
        data.removed = itself;
        const int atRemoval = data.calls, sent = sends;
        EXPECT_TRUE(SpinUntil([&] { return sends > sent + 50; }));
        stop = true;
        sender.join();
        EXPECT_EQ(told.late, 0);
        EXPECT_EQ(data.late, 0);
        EXPECT_EQ(lost, itself ? 1 : 0);
        EXPECT_EQ(in->DeviceId(), itself ? MIDI_NO_DEVICE : 0u);
        EXPECT_TRUE(itself || data.calls > atRemoval) << "the input that moved went deaf";
    }
}
