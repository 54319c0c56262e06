// The input port: opening and closing, and delivery of every message to the
// notify object in order, from a foreign thread, whatever the UI does meanwhile.
#include "MidiTestReceiver.h"

#include "midi/MIDIInDevice.h"
#include "support/TestSupport.h"

#include <atomic>
#include <thread>

namespace {

using MidiInDeviceTest = LoopbackTest<2, 1>;

// A distinct short message for each sequence number below 2^18.
uint32_t Numbered(uint32_t n)
{
    n &= 0x3FFFF;
    return 0x90u | ((n >> 14) & 0x0F) | ((n & 0x7F) << 8) | (((n >> 7) & 0x7F) << 16);
}

// Injects numbered messages into an input from another thread until destroyed;
// counts those the input accepted.
class Sender {
public:
    Sender(CLoopbackMidiBackend* loop, uint32_t input)
        : m_thread([this, loop, input] {
              while (!m_stop)
                  if (loop->Inject(input, Numbered(delivered.load())))
                      ++delivered;
          })
    {
    }
    ~Sender() { Stop(); }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::atomic<uint32_t> delivered{0};

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

TEST_F(MidiInDeviceTest, OpenAndCloseResults)
{
    CMIDIInDevice in;
    EXPECT_EQ(in.Open(), MMSYSERR_INVALHANDLE); // nothing chosen

    // A device that refuses: the id stays, the port stays closed, a later
    // Open tries the same device again.
    in.SetDeviceID(1);
    loop->SetInputOpenResult(1, MMSYSERR_ALLOCATED);
    EXPECT_EQ(in.Open(), MMSYSERR_ALLOCATED);
    EXPECT_EQ(in.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    loop->SetInputOpenResult(1, MMSYSERR_NOERROR);
    EXPECT_EQ(in.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(in.QueryOpenDeviceID(), 1u);
    EXPECT_TRUE(loop->IsInputStarted(1));

    // Opening again closes first (the loopback input, like hardware, refuses a
    // second client), even for another explicit id; a bad id keeps the old one.
    EXPECT_EQ(in.Open(nullptr, 1), MMSYSERR_NOERROR);
    EXPECT_EQ(in.Open(nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(loop->IsInputOpen(1));
    EXPECT_EQ(in.Open(nullptr, 9), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.m_nDeviceID, 0u);

    // Close resets the device once; a second close does nothing.
    EXPECT_EQ(in.Open(), MMSYSERR_NOERROR);
    const unsigned resets = loop->InputResetCount(0);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->InputResetCount(0), resets + 1);

    loop->SetInputNoDriver(1);
    EXPECT_EQ(in.Open(nullptr, 1), MMSYSERR_NODRIVER);
    {
        CMIDIInDevice doomed;
        doomed.SetDeviceID(0);
        ASSERT_EQ(doomed.Open(), MMSYSERR_NOERROR);
        EXPECT_TRUE(loop->Inject(0, 0x403C90)); // no notify object: goes nowhere
    }
    EXPECT_FALSE(loop->IsInputOpen(0)); // destroying an open device closes it
}

TEST_F(MidiInDeviceTest, FloodFromAnotherThreadArrivesCompleteAndInOrder)
{
    constexpr uint32_t kCount = 100000;
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    std::atomic<uint32_t> refused{0};
    std::thread sender([&] {
        for (uint32_t n = 0; n < kCount; ++n)
            refused += !loop->Inject(1, Numbered(n));
    });
    // The UI thread keeps handling events while the flood comes in.
    const bool complete = kvtest::WaitFor([&] { return receiver.messages.size() >= kCount; }, 30000);
    sender.join();
    kvtest::Drain();
    EXPECT_EQ(refused.load(), 0u);
    ASSERT_TRUE(complete) << receiver.messages.size();
    ASSERT_EQ(receiver.messages.size(), kCount);
    for (uint32_t n = 0; n < kCount; ++n)
        ASSERT_EQ(receiver.messages[n], Numbered(n)) << n;
}

TEST_F(MidiInDeviceTest, ClosingReopeningAndLosingTheNotifyObjectWhileMessagesArrive)
{
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(0);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    Sender sender(loop, 0);
    for (int i = 0; i < 200; ++i) {
        const uint32_t seen = sender.delivered.load();
        kvtest::WaitFor([&] { return sender.delivered.load() > seen + 2; }, 1000);
        EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
        EXPECT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
        kvtest::Drain();
    }
    sender.Stop();
    in.Close();
    kvtest::Drain();
    // Whatever was accepted while open reached the receiver, in order.
    ASSERT_EQ(receiver.messages.size(), sender.delivered.load());
    for (uint32_t n = 0; n < receiver.messages.size(); ++n)
        ASSERT_EQ(receiver.messages[n], Numbered(n)) << n;

    // A notify object destroyed meanwhile: the port stays open and keeps receiving.
    auto* doomed = new MidiTestReceiver;
    ASSERT_EQ(in.Open(doomed), MMSYSERR_NOERROR);
    Sender more(loop, 0);
    kvtest::WaitFor([&] { return more.delivered.load() > 5000; });
    kvtest::Drain();
    delete doomed;
    kvtest::WaitFor([&] { return more.delivered.load() > 20000; });
    more.Stop();
    kvtest::Drain();
    EXPECT_TRUE(in.IsOpen());
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
}

TEST_F(MidiInDeviceTest, VanishedDeviceEndsClosedWithLostEvent)
{
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    loop->Inject(1, 0x403C90);
    std::thread([&] { loop->VanishInput(1); }).join(); // reported on a foreign thread
    ASSERT_TRUE(kvtest::WaitFor([&] { return !in.IsOpen() && receiver.lostEvents == 1; }));
    EXPECT_EQ(receiver.messages, std::vector<uint32_t>{0x403C90u});
    EXPECT_EQ(in.m_nDeviceID, 1u); // still chosen: reopening works once it is back
    EXPECT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    EXPECT_TRUE(loop->Inject(1, 0x003C80));
    kvtest::Drain();
    EXPECT_EQ(receiver.messages.back(), 0x003C80u);

    // A lost report for an earlier open is ignored once reopened.
    loop->VanishInput(1);
    in.Close();
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    kvtest::Drain();
    EXPECT_TRUE(in.IsOpen());
    EXPECT_EQ(receiver.lostEvents, 1);
}

} // namespace
