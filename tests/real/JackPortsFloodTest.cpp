// Our JACK ports under floods: nothing accepted is lost or reordered, and what
// cannot be taken is counted. Peers are in-test clients working in their own
// process callbacks, so they never fall behind; messages carry a sequence
// number (channel, key and velocity bytes) and the test counts what arrives.
#include "JackSequencePeers.h"
#include "JackTestServer.h"

#include "platform/BuiltinSynth.h"
#include "platform/RtMidiBackend.h"
#include "platform/SoundingNotes.h"
#include "support/TestSupport.h"

#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

uint32_t Numbered(uint32_t n)
{
    return 0x90u | ((n >> 14) & 0x0F) | (n & 0x7F) << 8 | ((n >> 7) & 0x7F) << 16;
}
uint32_t NumberOf(uint32_t msg)
{
    return (msg & 0x0F) << 14 | ((msg >> 16) & 0x7F) << 7 | ((msg >> 8) & 0x7F);
}

class JackPortsFloodTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        ASSERT_TRUE(m_server.Start()) << qPrintable(m_server.Log());
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetOffline(true);
        m_pBackend = std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth);
    }
    void TearDown() override { m_pBackend.reset(); } // our clients leave before the server

    JackTestServer m_server;
    std::unique_ptr<CRtMidiBackend> m_pBackend;
};

TEST_F(JackPortsFloodTest, BurstFromOneThreadArrivesWholeAndTheResetLeavesBeforeClosing)
{
    kvseq::Recorder recorder("kvrec");
    std::unique_ptr<IMidiOutPort> out;
    const uint32_t id = kvseq::IndexOf(*m_pBackend, recorder.PortName(), false);
    ASSERT_EQ(m_pBackend->OpenOutput(id, {}, out), MMSYSERR_NOERROR);

    // Far more than one cycle's port buffer holds, sent at once.
    std::vector<uint32_t> expected;
    CSoundingNotes held;
    for (uint32_t n = 0; n < 20000; ++n) {
        ASSERT_EQ(out->ShortMsg(Numbered(n)), MMSYSERR_NOERROR) << n;
        expected.push_back(Numbered(n));
        held.Track(Numbered(n));
    }
    held.Silence([&](uint32_t msg) { expected.push_back(msg); });
    ASSERT_GT(expected.size(), 20000u);
    EXPECT_EQ(out->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(out->LostMessages(), 0u);
    out.reset(); // at once: the note-offs must still get out

    EXPECT_TRUE(kvtest::WaitFor([&] { return recorder.Count() >= expected.size(); }, 10000));
    QThread::msleep(50); // and nothing more follows
    const std::vector<uint32_t> got = recorder.Messages();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "first difference at "
        << std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin();
}

TEST_F(JackPortsFloodTest, FloodTheHandlerCannotTakeIsDeliveredInOrderOrCounted)
{
    kvseq::Sender flood("kvflood", 1000);
    std::atomic<bool> release{false};
    std::mutex mutex;
    std::vector<uint32_t> delivered;
    const auto handler = [&](uint32_t msg) {
        // Held up until the whole flood is in: more than the port can keep.
        for (int i = 0; i < 20000 && !release.load(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::lock_guard lock(mutex);
        delivered.push_back(msg);
    };
    std::unique_ptr<IMidiInPort> in;
    const uint32_t id = kvseq::IndexOf(*m_pBackend, flood.PortName(), true);
    ASSERT_EQ(m_pBackend->OpenInput(id, handler, {}, in), MMSYSERR_NOERROR);
    ASSERT_EQ(in->Start(), MMSYSERR_NOERROR);

    // What a busy server has not yet put into its graph goes nowhere.
    ASSERT_TRUE(kvtest::WaitFor([&] { return flood.Connected(); }));
    constexpr uint32_t kSent = 200000;
    for (uint32_t n = 0; n < kSent; ++n) {
        const uint32_t msg = Numbered(n);
        ASSERT_TRUE(flood.Send({uint8_t(msg), uint8_t(msg >> 8), uint8_t(msg >> 16)}));
    }
    const bool flooded = kvtest::WaitFor([&] { return flood.Drained(); }, 20000);
    release = true;
    ASSERT_TRUE(flooded);
    const auto accounted = [&] {
        std::lock_guard lock(mutex);
        return delivered.size() + in->LostMessages() >= kSent;
    };
    EXPECT_TRUE(kvtest::WaitFor(accounted, 20000));
    QThread::msleep(50); // and nothing more follows
    const uint64_t lost = in->LostMessages();
    in.reset();

    // The flood is larger than the port's ring: some were lost, all counted,
    // and what got through came once each and in order.
    EXPECT_GT(lost, 0u);
    EXPECT_EQ(delivered.size() + lost, kSent);
    for (size_t i = 1; i < delivered.size(); ++i)
        ASSERT_LT(NumberOf(delivered[i - 1]), NumberOf(delivered[i])) << i;
}

} // namespace
