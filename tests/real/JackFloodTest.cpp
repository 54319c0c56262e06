// A flood of numbered note-ons through the program's window on a real JACK
// server, with the log shown: every message must come out once and in order,
// idle and with both cores busy. A direct connection between the same peers
// first proves the peers themselves carry the rate.
#include "JackSequencePeers.h"
#include "JackTestServer.h"

#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "platform/BuiltinSynth.h"
#include "platform/Profile.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"
#include "support/TestSupport.h"
#include "view/CTessaroView.h"

#include <QAction>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>

namespace {

struct Flood {
    uint32_t rate;
    bool busy;
};

constexpr int kSeconds = 5;

class JackFloodTest : public ::testing::TestWithParam<Flood> {
protected:
    void SetUp() override
    {
        if (!JackTestServer::Available())
            GTEST_SKIP() << "jackd is not available";
        kvtest::ClearProfile();
        // Synchronous: without realtime threads, busy cores make even the peers
        // miss cycles, and an asynchronous server then drops what they wrote
        // (the direct run loses hundreds); a synchronous one delays instead.
        ASSERT_TRUE(m_server.Start(256, true)) << qPrintable(m_server.Log());
        m_count = GetParam().rate * kSeconds;
        m_sender = std::make_unique<kvseq::Sender>();
        m_recorder = std::make_unique<kvseq::Recorder>(2 * m_count + 1024);
        ASSERT_TRUE(m_sender->Ok() && m_recorder->Ok());
        ASSERT_EQ(m_sender->Port(), "kvsend:out");
        ASSERT_EQ(m_recorder->Port(), "kvrec:in");
        if (GetParam().busy)
            m_load.emplace(2);
    }
    void TearDown() override
    {
        m_load.reset();
        if (m_pFrame) {
            m_pFrame->close();
            delete m_pFrame;
        }
        MidiSystem::Install(nullptr); // our clients leave before the server does
        m_sender.reset();
        m_recorder.reset();
    }

    // The window as start-up makes it, its ports chosen by name in the profile.
    void StartProgram()
    {
        Profile::WriteProfileString("MIDIIn", "DevName", "kvsend:out");
        Profile::WriteProfileString("MIDIOut", "DevName", "kvrec:in");
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetOffline(true);
        MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
        m_pFrame->Action(ID_VIEW_MIDI_INPUT)->trigger();
        m_pFrame->show();
    }

    kvseq::Report Expect(const char* path, const kvseq::Report& r)
    {
        std::printf("[ flood    ] %u/s %s %s: %s\n", GetParam().rate, GetParam().busy ? "busy" : "idle",
                    path, r.Text().c_str());
        EXPECT_EQ(r.sent, m_count) << path;
        EXPECT_EQ(r.lost, 0u) << path;
        EXPECT_EQ(r.doubled, 0u) << path;
        EXPECT_EQ(r.reordered, 0u) << path;
        EXPECT_EQ(r.stray, 0u) << path;
        EXPECT_EQ(m_recorder->Overflow(), 0u) << path;
        return r;
    }

    JackTestServer m_server;
    std::unique_ptr<kvseq::Sender> m_sender;
    std::unique_ptr<kvseq::Recorder> m_recorder;
    std::optional<kvseq::BusyLoops> m_load;
    uint32_t m_count = 0;
    CTessaroDoc m_doc;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
};

TEST_P(JackFloodTest, EveryMessageComesThroughOnceAndInOrder)
{
    const std::string out = m_sender->Port(), in = m_recorder->Port();
    ASSERT_TRUE(kvseq::Connect(*m_sender, out, in));
    const kvseq::Report direct = Expect("direct", kvseq::Run(*m_sender, *m_recorder, m_count, GetParam().rate));
    ASSERT_TRUE(kvseq::Connect(*m_sender, out, in, false));
    // Without the peers carrying the rate there is nothing to say about the program.
    ASSERT_EQ(direct.lost + direct.doubled + direct.reordered, 0u) << "the peers themselves failed";

    StartProgram();
    ASSERT_TRUE(m_pView->m_InDevice.IsOpen());
    ASSERT_EQ(m_pView->m_InDevice.m_strDeviceName, "kvsend:out");
    ASSERT_EQ(m_pView->m_OutDevice.m_strDeviceName, "kvrec:in");
    ASSERT_TRUE(m_pView->m_OutDevice.GetHandle());
    kvtest::WaitFor([] { return false; }, 300); // the set-up sent on opening goes out first
    Expect("Kelvora", kvseq::Run(*m_sender, *m_recorder, m_count, GetParam().rate));
}

INSTANTIATE_TEST_SUITE_P(Rates, JackFloodTest,
                         ::testing::Values(Flood{10000, false}, Flood{10000, true}, Flood{30000, false},
                                           Flood{30000, true}),
                         [](const ::testing::TestParamInfo<Flood>& info) {
                             return std::to_string(info.param.rate) + (info.param.busy ? "Busy" : "Idle");
                         });

} // namespace
