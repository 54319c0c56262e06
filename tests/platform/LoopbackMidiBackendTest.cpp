// The loopback backend as a desktop's changing port lists: open ports, set-ups
// and records follow their port while others come and go, a port that goes is
// lost, and listeners hear each change. Every device test stands on these.
#include "platform/LoopbackMidiBackend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Msgs = std::vector<uint32_t>;

constexpr uint32_t NoteOn = 0x00643C90;
constexpr uint32_t NoteOff = 0x00003C80;
constexpr uint32_t Program = 0x000005C0;

std::unique_ptr<IMidiOutPort> OpenOut(CLoopbackMidiBackend& loop, uint32_t id, int* lost)
{
    std::unique_ptr<IMidiOutPort> port;
    EXPECT_EQ(loop.OpenOutput(id, [lost] { ++*lost; }, port), MMSYSERR_NOERROR) << id;
    return port;
}

MidiCaps InCaps(CLoopbackMidiBackend& loop, uint32_t id)
{
    MidiCaps caps;
    EXPECT_EQ(loop.GetInputCaps(id, caps), MMSYSERR_NOERROR) << id;
    return caps;
}

MidiCaps OutCaps(CLoopbackMidiBackend& loop, uint32_t id)
{
    MidiCaps caps;
    EXPECT_EQ(loop.GetOutputCaps(id, caps), MMSYSERR_NOERROR) << id;
    return caps;
}

// A handler that takes a moment, so that the other thread acts while it runs.
void Linger()
{
    for (int i = 0; i < 50; ++i)
        std::this_thread::yield();
}

// Spins until pred() holds (another thread makes it so); false after a while.
template <typename Pred>
bool SpinUntil(Pred pred)
{
    for (int i = 0; i < 2'000'000; ++i) {
        if (pred())
            return true;
        std::this_thread::yield();
    }
    return pred();
}

} // namespace

TEST(LoopbackMidiBackendTest, OutputsKeepTheirRecordAndSetUpAsTheyMove)
{
    CLoopbackMidiBackend loop(0, 3);
    loop.SetOutputNoDriver(2);
    int lostA = 0, lostB = 0;
    auto a = OpenOut(loop, 0, &lostA);
    auto b = OpenOut(loop, 1, &lostB);
    a->ShortMsg(Program);
    b->ShortMsg(NoteOn);

    ASSERT_TRUE(loop.RemoveOutput(0));
    EXPECT_EQ(lostA, 1);
    EXPECT_EQ(a->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(a->ShortMsg(NoteOn), MMSYSERR_NODRIVER);
    EXPECT_EQ(loop.SentTo("Loopback MIDI Out 1"), Msgs{Program}); // read after it went
    EXPECT_EQ(loop.OutputCount(), 2u);
    EXPECT_EQ(b->DeviceId(), 0u);
    EXPECT_EQ(loop.Sent(0), Msgs{NoteOn});
    EXPECT_EQ(loop.OpenOutputs(0), 1u);
    EXPECT_EQ(loop.OutputOpenCount(0), 1u);
    MidiCaps caps;
    EXPECT_EQ(loop.GetOutputCaps(1, caps), MMSYSERR_NODRIVER); // the driverless one moved too
    EXPECT_TRUE(loop.Sent(1).empty());

    EXPECT_EQ(loop.AddOutput("Front", 0), 0u);
    EXPECT_EQ(b->DeviceId(), 1u);
    b->Reset();
    EXPECT_EQ(loop.Sent(1), (Msgs{NoteOn, NoteOff}));
    EXPECT_EQ(loop.OutputResetCount(1), 1u);
    EXPECT_TRUE(loop.Sent(0).empty());

    // The mapper stays whatever happens to the list.
    EXPECT_FALSE(loop.RemoveOutput(MIDI_MAPPER));
    loop.SetOutputCount(0);
    EXPECT_EQ(lostB, 1);
    EXPECT_EQ(b->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_FALSE(loop.RemoveOutput(0));
    int lostM = 0;
    auto mapper = OpenOut(loop, MIDI_MAPPER, &lostM);
    EXPECT_EQ(mapper->DeviceId(), MIDI_MAPPER);
    EXPECT_EQ(OutCaps(loop, MIDI_MAPPER).szPname, "Loopback Synthesizer");
    a.reset(); // closing a lost port is no second loss
    b.reset();
    EXPECT_EQ(lostA, 1);
    EXPECT_EQ(lostB, 1);
    EXPECT_EQ(lostM, 0);
}

TEST(LoopbackMidiBackendTest, InputsFollowTheirPortAndAreLostOnceWhenItGoes)
{
    CLoopbackMidiBackend loop(3, 0);
    Msgs got;
    int lost = 0;
    std::unique_ptr<IMidiInPort> in;
    ASSERT_EQ(loop.OpenInput(2, [&](uint32_t m) { got.push_back(m); }, [&] { ++lost; }, in),
              MMSYSERR_NOERROR);
    ASSERT_EQ(in->Start(), MMSYSERR_NOERROR);
    loop.SetInputOpenResult(1, MMSYSERR_ALLOCATED);

    ASSERT_TRUE(loop.RemoveInput(0));
    EXPECT_EQ(in->DeviceId(), 1u);
    EXPECT_TRUE(loop.Inject(1, NoteOn));
    EXPECT_FALSE(loop.Inject(2, NoteOff)); // nothing is listed there any more
    EXPECT_TRUE(loop.IsInputStarted(1));
    EXPECT_EQ(loop.InputOpenCount(1), 1u);
    in->Reset();
    EXPECT_EQ(loop.InputResetCount(1), 1u);
    std::unique_ptr<IMidiInPort> other;
    EXPECT_EQ(loop.OpenInput(0, {}, {}, other), MMSYSERR_ALLOCATED); // its open result moved with it

    ASSERT_TRUE(loop.RemoveInput(1));
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(in->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(in->Start(), MMSYSERR_NODRIVER);
    EXPECT_FALSE(loop.Inject(1, NoteOff));
    EXPECT_EQ(loop.InputOpenCount("Loopback MIDI In 3"), 1u);
    EXPECT_EQ(got, Msgs{NoteOn});

    // A peer that broke first, then its port went: lost once all the same.
    loop.SetInputOpenResult(0, MMSYSERR_NOERROR);
    int lostOther = 0;
    ASSERT_EQ(loop.OpenInput(0, {}, [&] { ++lostOther; }, other), MMSYSERR_NOERROR);
    EXPECT_TRUE(loop.VanishInput(0));
    loop.SetInputCount(0);
    EXPECT_EQ(lostOther, 1);
    EXPECT_EQ(other->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(lost, 1);
}

TEST(LoopbackMidiBackendTest, PortNamesAreStableAndFollowEverySetUpCall)
{
    CLoopbackMidiBackend loop(2, 1);
    EXPECT_EQ(InCaps(loop, 1).szPname, "Loopback MIDI In 2");
    EXPECT_EQ(InCaps(loop, 1).portName, "Loopback MIDI In 2");
    EXPECT_EQ(OutCaps(loop, 0).portName, "Loopback MIDI Out 1");
    EXPECT_TRUE(OutCaps(loop, MIDI_MAPPER).portName.isEmpty());

    loop.SetInputName(1, "Keys");
    EXPECT_EQ(InCaps(loop, 1).portName, "Keys");
    MidiCaps caps;
    caps.szPname = "Midi Through Port-0";
    caps.bLoopback = true;
    loop.SetInputCaps(0, caps);
    EXPECT_EQ(InCaps(loop, 0).portName, "Midi Through Port-0");
    EXPECT_TRUE(InCaps(loop, 0).bLoopback);
    caps.portName = "Midi Through:0";
    loop.SetOutputCaps(0, caps);
    EXPECT_EQ(OutCaps(loop, 0).portName, "Midi Through:0");
    loop.SetOutputLoopback(0, false);
    EXPECT_FALSE(OutCaps(loop, 0).bLoopback);
    loop.SetInputLoopback(1);
    EXPECT_TRUE(InCaps(loop, 1).bLoopback);
    loop.SetOutputName(MIDI_MAPPER, "Synth");
    EXPECT_EQ(OutCaps(loop, MIDI_MAPPER).szPname, "Synth");
    EXPECT_TRUE(OutCaps(loop, MIDI_MAPPER).portName.isEmpty());

    loop.SetOutputProblem(MIDI_MAPPER, "no SoundFont found");
    EXPECT_EQ(loop.OutputProblem(MIDI_MAPPER), "no SoundFont found");
    EXPECT_TRUE(loop.OutputProblem(0).isEmpty());
    EXPECT_TRUE(loop.OutputProblem(7).isEmpty());

    // Default names count the ports made, so a port made anew is not taken
    // for one that went.
    loop.SetInputCount(1);
    loop.SetInputCount(2);
    EXPECT_EQ(InCaps(loop, 1).portName, "Loopback MIDI In 3");
    EXPECT_EQ(loop.AddInput(""), 2u);
    EXPECT_EQ(InCaps(loop, 2).portName, "Loopback MIDI In 4");
    EXPECT_EQ(loop.AddInput("Pads", 0), 0u);
    EXPECT_EQ(loop.AddInput("Tail", 99), 4u);
    EXPECT_EQ(InCaps(loop, 1).portName, "Midi Through Port-0");
    loop.SetInputName(9, "Nobody"); // no port there: nothing changes
    EXPECT_EQ(loop.InputCount(), 5u);
}

TEST(LoopbackMidiBackendTest, AReaddedNameIsANewPort)
{
    CLoopbackMidiBackend loop;
    loop.AddOutput("Synth");
    int lost = 0;
    auto old = OpenOut(loop, 0, &lost);
    old->ShortMsg(NoteOn);
    loop.RemoveOutput(0);
    loop.AddOutput("Synth");
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(old->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(old->ShortMsg(NoteOff), MMSYSERR_NODRIVER);
    EXPECT_TRUE(loop.SentTo("Synth").empty());
    EXPECT_EQ(loop.OutputOpenCount("Synth"), 0u);
    EXPECT_EQ(loop.OpenOutputs(0), 0u);
    auto fresh = OpenOut(loop, 0, &lost);
    fresh->ShortMsg(NoteOff);
    EXPECT_EQ(loop.SentTo("Synth"), Msgs{NoteOff});
    EXPECT_EQ(loop.OutputOpenCount("Synth"), 1u);
    EXPECT_TRUE(loop.SentTo("Nobody").empty());

    loop.AddInput("Keys");
    std::unique_ptr<IMidiInPort> in, again;
    ASSERT_EQ(loop.OpenInput(0, {}, {}, in), MMSYSERR_NOERROR);
    loop.RemoveInput(0);
    loop.AddInput("Keys");
    EXPECT_EQ(loop.InputOpenCount("Keys"), 0u);
    EXPECT_FALSE(loop.IsInputOpen(0));
    EXPECT_EQ(loop.OpenInput(0, {}, {}, again), MMSYSERR_NOERROR); // the old port holds it no more
    EXPECT_EQ(in->DeviceId(), MIDI_NO_DEVICE);
    EXPECT_EQ(again->DeviceId(), 0u);
}

TEST(LoopbackMidiBackendTest, ListenersHearEachChangeAndMayCallBack)
{
    CLoopbackMidiBackend loop(1, 1);
    std::vector<unsigned> seen; // the input count each call saw
    std::unique_ptr<IMidiInPort> opened;
    const int id = loop.AddPortsListener([&] {
        seen.push_back(loop.InputCount());
        if (!opened) {
            EXPECT_EQ(loop.OpenInput(0, {}, {}, opened), MMSYSERR_NOERROR);
        }
    });

    loop.AddInput("Keys", 0);
    EXPECT_EQ(seen, std::vector<unsigned>{2});
    ASSERT_TRUE(opened);
    EXPECT_EQ(InCaps(loop, opened->DeviceId()).portName, "Keys");
    loop.SetInputCount(2);
    loop.SetInputName(0, "Renamed");
    loop.RemoveInput(5);
    EXPECT_EQ(seen.size(), 1u); // nothing listed changed
    loop.SetInputCount(4);
    loop.RemoveInput(0);
    EXPECT_EQ(seen, (std::vector<unsigned>{2, 4, 3}));
    EXPECT_EQ(opened->DeviceId(), MIDI_NO_DEVICE);
    loop.AddOutput("Synth");
    loop.RemoveOutput(0);
    loop.SetOutputCount(3);
    loop.NotifyPortsChanged();
    EXPECT_EQ(seen.size(), 7u);

    // One that removes itself and the one after it in the middle of a round.
    int selfCalls = 0, laterCalls = 0, self = 0, later = 0;
    self = loop.AddPortsListener([&] {
        ++selfCalls;
        loop.RemovePortsListener(self);
        loop.RemovePortsListener(later);
    });
    later = loop.AddPortsListener([&] { ++laterCalls; });
    loop.AddInput("a");
    loop.AddInput("b");
    EXPECT_EQ(selfCalls, 1);
    EXPECT_EQ(laterCalls, 0);
    EXPECT_EQ(seen.size(), 9u);
    loop.RemovePortsListener(id);
    loop.SetInputCount(0);
    EXPECT_EQ(seen.size(), 9u);
}

// A sender injects into both inputs while one port goes: the one after it
// moves and keeps receiving; once the removal returns, a removed port hears
// nothing more.
TEST(LoopbackMidiBackendTest, InjectRacingRemovalNeverDeliversAfterIt)
{
    for (int round = 0; round < 40; ++round) {
        const bool itself = round % 2 == 1;
        CLoopbackMidiBackend loop(2, 0);
        std::atomic<int> delivered{0}, late{0}, lost{0}, sends{0};
        std::atomic<bool> removed{false}, stop{false};
        std::unique_ptr<IMidiInPort> in;
        ASSERT_EQ(loop.OpenInput(
                      1,
                      [&](uint32_t) {
                          ++delivered;
                          Linger();
                          late += removed.load();
                      },
                      [&] { ++lost; }, in),
                  MMSYSERR_NOERROR);
        in->Start();
        std::thread sender([&] {
            while (!stop) {
                loop.Inject(0, NoteOn);
                loop.Inject(1, NoteOn);
                (void)in->DeviceId();
                ++sends;
            }
        });
        ASSERT_TRUE(SpinUntil([&] { return delivered > 0; }));
        ASSERT_TRUE(loop.RemoveInput(itself ? 1 : 0));
        removed = itself;
        const int atRemoval = delivered;
        const int sent = sends;
        EXPECT_TRUE(SpinUntil([&] { return sends > sent + 50; }));
        stop = true;
        sender.join();
        if (itself) {
            EXPECT_EQ(late, 0);
            EXPECT_EQ(lost, 1);
            EXPECT_EQ(in->DeviceId(), MIDI_NO_DEVICE);
        } else {
            EXPECT_GT(delivered, atRemoval);
            EXPECT_EQ(in->DeviceId(), 0u);
        }
    }
}

// Once RemovePortsListener returns, a round already under way on another
// thread does not call the listener any more.
TEST(LoopbackMidiBackendTest, RemovedListenerIsNotCalledFromAnotherThread)
{
    CLoopbackMidiBackend loop;
    std::atomic<int> rounds{0}, calls{0}, late{0};
    std::atomic<bool> removed{false}, stop{false};
    loop.AddPortsListener([&] { ++rounds; });
    std::thread changer([&] {
        while (!stop) {
            loop.AddInput("Keys");
            loop.RemoveInput(0);
        }
    });
    for (int i = 0; i < 200; ++i) {
        removed = false;
        calls = 0;
        const int id = loop.AddPortsListener([&] {
            ++calls;
            Linger();
            late += removed.load();
        });
        ASSERT_TRUE(SpinUntil([&] { return calls > 0; }));
        loop.RemovePortsListener(id);
        removed = true;
        const int now = rounds;
        ASSERT_TRUE(SpinUntil([&] { return rounds > now + 2; }));
    }
    stop = true;
    changer.join();
    EXPECT_EQ(late, 0);
}
