// The input port: opening and closing, and delivery of every message to the
// notify object in order, from a foreign thread, whatever the UI does meanwhile.
#include "MidiTestReceiver.h"

#include "midi/MIDIInDevice.h"
#include "platform/LoopbackMidiBackend.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class MidiInDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<CLoopbackMidiBackend>(2, 1);
        loop = backend.get();
        MidiSystem::Install(std::move(backend));
    }

    CLoopbackMidiBackend* loop = nullptr;
};

// A distinct short message for each sequence number below 2^18.
uint32_t Numbered(uint32_t n)
{
    return 0x90u | ((n >> 14) & 0x0F) | ((n & 0x7F) << 8) | (((n >> 7) & 0x7F) << 16);
}

TEST_F(MidiInDeviceTest, OpenAndCloseResults)
{
    CMIDIInDevice in;
    EXPECT_EQ(in.Open(), MMSYSERR_INVALHANDLE); // nothing chosen
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);

    // A device that refuses: the id stays, the port stays closed, a later
    // Open tries the same device again.
    in.SetDeviceID(1);
    loop->SetInputOpenResult(1, MMSYSERR_ALLOCATED);
    EXPECT_EQ(in.Open(), MMSYSERR_ALLOCATED);
    EXPECT_EQ(in.m_nDeviceID, 1u);
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    loop->SetInputOpenResult(1, MMSYSERR_NOERROR);
    EXPECT_EQ(in.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(in.QueryOpenDeviceID(), 1u);
    EXPECT_TRUE(loop->IsInputStarted(1));

    // Opening again closes first (the loopback input, like hardware, refuses a
    // second client), even for another explicit id.
    EXPECT_EQ(in.Open(nullptr, 1), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->InputOpenCount(1), 2u);
    EXPECT_EQ(in.Open(nullptr, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(in.m_nDeviceID, 0u);
    EXPECT_FALSE(loop->IsInputOpen(1));
    EXPECT_EQ(in.Open(nullptr, 9), MMSYSERR_BADDEVICEID);
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.m_nDeviceID, 0u);

    EXPECT_EQ(in.Open(), MMSYSERR_NOERROR);
    const unsigned resets = loop->InputResetCount(0);
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->InputResetCount(0), resets + 1);
    EXPECT_FALSE(loop->IsInputOpen(0));
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->InputResetCount(0), resets + 1); // the second close does nothing

    loop->SetInputNoDriver(1);
    EXPECT_EQ(in.Open(nullptr, 1), MMSYSERR_NODRIVER);
}

TEST_F(MidiInDeviceTest, DestroyingAnOpenDeviceClosesIt)
{
    {
        CMIDIInDevice in;
        in.SetDeviceID(0);
        ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
        EXPECT_TRUE(loop->Inject(0, 0x403C90)); // no notify object: goes nowhere
    }
    EXPECT_FALSE(loop->IsInputOpen(0));
    EXPECT_FALSE(loop->Inject(0, 0x403C90));
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
        for (uint32_t n = 0; n < kCount; ++n) {
            if (!loop->Inject(1, Numbered(n)))
                ++refused;
        }
    });
    // The UI thread keeps handling events while the flood comes in.
    const bool complete =
        kvtest::WaitFor([&] { return receiver.messages.size() >= kCount; }, 30000);
    sender.join();
    kvtest::Drain();
    EXPECT_EQ(refused.load(), 0u);
    ASSERT_TRUE(complete) << receiver.messages.size();
    ASSERT_EQ(receiver.messages.size(), kCount);
    uint32_t outOfOrder = 0;
    for (uint32_t n = 0; n < kCount; ++n) {
        if (receiver.messages[n] != Numbered(n))
            ++outOfOrder;
    }
    EXPECT_EQ(outOfOrder, 0u);
}

TEST_F(MidiInDeviceTest, NotifyObjectDestroyedWhileMessagesArrive)
{
    CMIDIInDevice in;
    in.SetDeviceID(0);
    auto* receiver = new MidiTestReceiver;
    ASSERT_EQ(in.Open(receiver), MMSYSERR_NOERROR);
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> injected{0};
    std::thread sender([&] {
        for (uint32_t n = 0; !stop; ++n) {
            if (loop->Inject(0, Numbered(n & 0x3FFFF)))
                ++injected;
        }
    });
    kvtest::WaitFor([&] { return injected.load() > 5000; });
    kvtest::Drain();
    delete receiver; // the port stays open and keeps receiving
    kvtest::WaitFor([&] { return injected.load() > 20000; });
    stop = true;
    sender.join();
    kvtest::Drain();
    EXPECT_TRUE(in.IsOpen());
    EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
}

TEST_F(MidiInDeviceTest, ClosingAndReopeningWhileMessagesArrive)
{
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(0);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> delivered{0};
    std::thread sender([&] {
        while (!stop) {
            if (loop->Inject(0, Numbered(delivered.load() & 0x3FFFF)))
                ++delivered;
        }
    });
    for (int i = 0; i < 200; ++i) {
        const uint32_t seen = delivered.load();
        kvtest::WaitFor([&] { return delivered.load() > seen + 2; }, 1000);
        EXPECT_EQ(in.Close(), MMSYSERR_NOERROR);
        EXPECT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
        kvtest::Drain();
    }
    stop = true;
    sender.join();
    in.Close();
    kvtest::Drain();
    // Whatever was accepted while open reached the receiver, in order.
    ASSERT_EQ(receiver.messages.size(), delivered.load());
    for (uint32_t n = 0; n < receiver.messages.size(); ++n)
        ASSERT_EQ(receiver.messages[n], Numbered(n & 0x3FFFF)) << n;
}

TEST_F(MidiInDeviceTest, VanishedDeviceEndsClosedWithLostEvent)
{
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    loop->Inject(1, 0x403C90);
    std::thread peer([&] { loop->VanishInput(1); }); // reported on a foreign thread
    peer.join();
    ASSERT_TRUE(kvtest::WaitFor([&] { return !in.IsOpen() && receiver.lostEvents == 1; }));
    EXPECT_EQ(receiver.messages, std::vector<uint32_t>{0x403C90u});
    EXPECT_EQ(in.m_nDeviceID, 1u); // still chosen: reopening works once it is back
    EXPECT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    EXPECT_TRUE(loop->Inject(1, 0x003C80));
    kvtest::Drain();
    EXPECT_EQ(receiver.messages.back(), 0x003C80u);
}

TEST_F(MidiInDeviceTest, LostReportForAnEarlierOpenIsIgnored)
{
    MidiTestReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(0);
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    loop->VanishInput(0);
    // Reopened before the report is handled: the new port is not the lost one.
    in.Close();
    ASSERT_EQ(in.Open(&receiver), MMSYSERR_NOERROR);
    kvtest::Drain();
    EXPECT_TRUE(in.IsOpen());
    EXPECT_EQ(receiver.lostEvents, 0);
}

} // namespace
