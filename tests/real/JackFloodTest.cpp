// A flood of numbered note-ons through the program's window on a real JACK
// server, with the log shown: every message must come out once and in order,
// idle and with both cores busy. A direct connection between the same peers
// first proves the peers themselves carry the rate.
#include "JackSequencePeers.h"
#include "JackTestServer.h"
#include "SynthTestSupport.h"

#include "platform/RtMidiBackend.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace {

struct Flood {
    uint32_t rate;
    bool busy;
};

constexpr uint32_t kSeconds = 5;

class JackFloodTest : public synthtest::WindowTest, public ::testing::WithParamInterface<Flood> {
protected:
    void TearDown() override
    {
        m_load.reset();
        WindowTest::TearDown(); // our clients leave before the peers and the server
    }

    JackTestServer m_server;
    std::optional<kvseq::Sender> m_sender;
    std::optional<kvseq::Recorder> m_recorder;
    std::optional<kvseq::BusyLoops> m_load;
};

TEST_P(JackFloodTest, EveryMessageComesThroughOnceAndInOrder)
{
    if (!JackTestServer::Available())
        GTEST_SKIP() << "jackd is not available";
    // Synchronous: without realtime threads, busy cores make even the peers
    // miss cycles, and an asynchronous server then drops what they wrote
    // (the direct run loses hundreds); a synchronous one delays instead.
    ASSERT_TRUE(m_server.Start(256, true)) << qPrintable(m_server.Log());
    const uint32_t rate = GetParam().rate, count = rate * kSeconds;
    m_sender.emplace();
    m_recorder.emplace(2 * count + 1024);
    ASSERT_TRUE(m_sender->Ok() && m_recorder->Ok());
    if (GetParam().busy)
        m_load.emplace(2);
    const auto clean = [&](const char* path) {
        const kvseq::Report r = kvseq::Run(*m_sender, *m_recorder, count, rate);
        std::printf("[ flood    ] %u/s %s %s: %s\n", rate, GetParam().busy ? "busy" : "idle", path,
                    r.Text().c_str());
        return r.sent == count && r.lost + r.doubled + r.reordered + r.stray + m_recorder->Overflow() == 0;
    };

    const std::string out = m_sender->Port(), in = m_recorder->Port();
    ASSERT_TRUE(kvseq::Connect(*m_sender, out, in));
    // Without the peers carrying the rate there is nothing to say about the program.
    ASSERT_TRUE(clean("direct")) << "the peers themselves failed";
    ASSERT_TRUE(kvseq::Connect(*m_sender, out, in, false));

    // The window as start-up makes it, its ports chosen by name in the profile.
    Profile::WriteProfileString("MIDIIn", "DevName", QString::fromStdString(out));
    Profile::WriteProfileString("MIDIOut", "DevName", QString::fromStdString(in));
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synthtest::OfflineSynth()));
    m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
    m_pFrame->Action(ID_VIEW_MIDI_INPUT)->trigger();
    m_pFrame->show();
    m_pView = m_pFrame->GetActiveView();
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen() && m_pView->m_OutDevice.GetHandle());
    kvtest::WaitFor([] { return false; }, 300); // the set-up sent on opening goes out first
    EXPECT_TRUE(clean("Kelvora"));
}

INSTANTIATE_TEST_SUITE_P(Rates, JackFloodTest,
                         ::testing::Values(Flood{30000, false}, Flood{30000, true}),
                         [](const ::testing::TestParamInfo<Flood>& info) {
                             return std::to_string(info.param.rate) + (info.param.busy ? "Busy" : "Idle");
                         });

} // namespace
