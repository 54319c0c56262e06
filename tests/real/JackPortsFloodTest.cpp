// Our JACK ports under floods: nothing accepted is lost or reordered, and what
// cannot be taken is counted. Peers are in-test clients working in their own
// process callbacks, so they never fall behind; messages carry a sequence
// number (channel, key and velocity bytes) and the test counts what arrives.
#include "JackTestServer.h"

#include "platform/BuiltinSynth.h"
#include "platform/JackBufferTurn.h"
#include "platform/RtMidiBackend.h"
#include "platform/SoundingNotes.h"
#include "support/TestSupport.h"

#include <jack/jack.h>
#include <jack/midiport.h>

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

// A peer: "<name>:out" sends Numbered(0..total-1), perCycle a cycle, or
// "<name>:in" records every 3-byte event into room fixed in advance.
class RawPeer {
public:
    RawPeer(const char* name, bool sends) : m_bSends(sends), m_got(1 << 18)
    {
        m_pClient = jack_client_open(name, JackNoStartServer, nullptr);
        if (!m_pClient)
            return;
        m_pPort = jack_port_register(m_pClient, sends ? "out" : "in", JACK_DEFAULT_MIDI_TYPE,
                                     sends ? JackPortIsOutput : JackPortIsInput, 0);
        jack_set_process_callback(m_pClient, &RawPeer::Process, this);
        jack_activate(m_pClient);
    }
    ~RawPeer() { if (m_pClient) jack_client_close(m_pClient); }
    QString Port() const { return QString::fromUtf8(jack_port_name(m_pPort)); }
    void Flood(uint32_t total, uint32_t perCycle) { m_nPerCycle.store(perCycle); m_nTotal.store(total); }
    bool Flooded() const { return m_nSent.load() == m_nTotal.load(); }
    std::vector<uint32_t> Got() const { return {m_got.begin(), m_got.begin() + m_nGot.load()}; }
    size_t GotCount() const { return m_nGot.load(); }

private:
    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<RawPeer*>(arg);
        void* buffer = jack_port_get_buffer(self->m_pPort, frames);
        const CJackBufferTurn turn(buffer);
        if (self->m_bSends) {
            jack_midi_clear_buffer(buffer);
            uint32_t n = self->m_nSent.load();
            const uint32_t perCycle = self->m_nPerCycle.load();
            const uint32_t end = std::min(self->m_nTotal.load(), n + perCycle);
            for (uint32_t i = 0; n < end; ++n, ++i) {
                const uint32_t msg = Numbered(n);
                const jack_midi_data_t bytes[3] = {uint8_t(msg), uint8_t(msg >> 8), uint8_t(msg >> 16)};
                if (jack_midi_event_write(buffer, i * frames / perCycle, bytes, 3) != 0)
                    break;
            }
            self->m_nSent.store(n);
            return 0;
        }
        size_t got = self->m_nGot.load();
        for (uint32_t i = 0, count = jack_midi_get_event_count(buffer); i < count; ++i) {
            jack_midi_event_t e;
            if (jack_midi_event_get(&e, buffer, i) == 0 && e.size == 3 && got < self->m_got.size())
                self->m_got[got++] = e.buffer[0] | e.buffer[1] << 8 | e.buffer[2] << 16;
        }
        self->m_nGot.store(got);
        return 0;
    }

    const bool m_bSends;
    jack_client_t* m_pClient = nullptr;
    jack_port_t* m_pPort = nullptr;
    std::atomic<uint32_t> m_nPerCycle{1};
    std::atomic<uint32_t> m_nTotal{0}, m_nSent{0};
    std::vector<uint32_t> m_got;
    std::atomic<size_t> m_nGot{0};
};

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

    uint32_t IndexOf(const QString& name, bool input)
    {
        const unsigned count = input ? m_pBackend->InputCount() : m_pBackend->OutputCount();
        for (uint32_t i = 0; i < count; ++i) {
            MidiCaps caps;
            if ((input ? m_pBackend->GetInputCaps(i, caps) : m_pBackend->GetOutputCaps(i, caps)) ==
                    MMSYSERR_NOERROR && caps.szPname == name)
                return i;
        }
        return MIDI_NO_DEVICE;
    }

    JackTestServer m_server;
    std::unique_ptr<CRtMidiBackend> m_pBackend;
};

TEST_F(JackPortsFloodTest, BurstFromOneThreadArrivesWholeAndTheResetLeavesBeforeClosing)
{
    RawPeer recorder("kvrec", false);
    std::unique_ptr<IMidiOutPort> out;
    ASSERT_EQ(m_pBackend->OpenOutput(IndexOf(recorder.Port(), false), {}, out), MMSYSERR_NOERROR);

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

    EXPECT_TRUE(kvtest::WaitFor([&] { return recorder.GotCount() >= expected.size(); }, 10000));
    QThread::msleep(50); // and nothing more follows
    const std::vector<uint32_t> got = recorder.Got();
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "first difference at "
        << std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin();
}

TEST_F(JackPortsFloodTest, FloodTheHandlerCannotTakeIsDeliveredInOrderOrCounted)
{
    RawPeer flood("kvflood", true);
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
    ASSERT_EQ(m_pBackend->OpenInput(IndexOf(flood.Port(), true), handler, {}, in), MMSYSERR_NOERROR);
    ASSERT_EQ(in->Start(), MMSYSERR_NOERROR);

    constexpr uint32_t kSent = 200000;
    flood.Flood(kSent, 1000);
    const bool flooded = kvtest::WaitFor([&] { return flood.Flooded(); }, 20000);
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
