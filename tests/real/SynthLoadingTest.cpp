// The built-in synthesizer while its SoundFont loads on a thread of its own:
// the first port opens at once; what it is sent meanwhile plays in order once
// the SoundFont is in, and a reset meanwhile leaves nothing sounding; a load
// that fails reaches the window as an open that failed would.
#include "SynthTestSupport.h"

#include "platform/RtMidiBackend.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <thread>

namespace {

using namespace synthtest;
using SynthLoadingTest = SynthTest;

constexpr uint32_t kSustainDown = 0x007F40B0, kMiddleC = 0x00643C90;

// The sends before it came while the SoundFont was still loading, so they
// were queued rather than played.
::testing::AssertionResult StillLoading(const CBuiltinSynth& synth)
{
    if (synth.SoundFontPath().isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "loaded before the test could send: nothing was queued";
}

TEST_F(SynthLoadingTest, WhatIsSentWhileLoadingPlaysInOrderAndAFullQueueCountsAsLost)
{
    const std::vector<float> violin = Reference(40, 127);
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    Send(*port, {kViolin, kFullVolume, kTestNoteOn});
    // A flood meanwhile fills the queue up to its bound, and no further.
    size_t queued = 3;
    while (queued <= CBuiltinSynth::kPendingLimit
           && port->ShortMsg(kFullVolume) == MMSYSERR_NOERROR)
        ++queued;
    ASSERT_TRUE(StillLoading(*synth));
    EXPECT_EQ(queued, CBuiltinSynth::kPendingLimit);
    EXPECT_EQ(port->LostMessages(), 1u);

    // Not a piano: the program and volume reached the synth before the note.
    EXPECT_TRUE(SoundsLike(*synth, violin)) << "not the violin at full volume";
    EXPECT_EQ(synth->SoundFontPath(), kSoundFont);
}

// Played and then ended, the notes would sound their release once the
// SoundFont is in; dropped, nothing does. What they were to sound with stays.
TEST_F(SynthLoadingTest, AResetWhileLoadingLeavesSilenceButKeepsProgramAndLetsThePedalUp)
{
    const std::vector<float> violin = Reference(40, 127);
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> port;
    ASSERT_EQ(synth->OpenPort(port), MMSYSERR_NOERROR);
    Send(*port, {kViolin, kFullVolume, kSustainDown, kMiddleC, kTestNoteOn});
    ASSERT_EQ(port->Reset(), MMSYSERR_NOERROR);
    ASSERT_TRUE(StillLoading(*synth));
    EXPECT_LT(Peak(Render(*synth, 1.0)), 1e-4f) << "a note reset while loading sounded";

    Send(*port, {kTestNoteOn});
    EXPECT_TRUE(SoundsLike(*synth, violin)) << "the program went with the notes";
    Send(*port, {kTestNoteOff});
    EXPECT_TRUE(FallsSilent(*synth)) << "the pedal is still down";
}

// The metronome's thread and the UI's send at once, each through a port of
// its own, while the SoundFont comes in: every note they end is ended, however
// a send falls against the moment the queue is played. (A race in the hand-over
// shows in sanitizer builds.)
TEST_F(SynthLoadingTest, TwoThreadsSendingAcrossTheLoadEndEveryNote)
{
    auto synth = OfflineSynth();
    std::unique_ptr<IMidiOutPort> ui, metronome;
    ASSERT_EQ(synth->OpenPort(ui), MMSYSERR_NOERROR);
    ASSERT_EQ(synth->OpenPort(metronome), MMSYSERR_NOERROR);
    // A square lead on both channels: it holds as long as a note is not ended.
    Send(*ui, {0x000050C0, 0x000050C1});
    // Keys in turn: nothing renders meanwhile, so each release piles on the last.
    const auto play = [](IMidiOutPort& port, uint32_t channel) {
        int refused = 0;
        for (uint32_t i = 0; i < 100; ++i) {
            const uint32_t key = (48 + i % 24) << 8;
            refused += port.ShortMsg(0x00640090u | key | channel) != MMSYSERR_NOERROR;
            refused += port.ShortMsg(0x00000080u | key | channel) != MMSYSERR_NOERROR;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        return refused;
    };
    int refused = 0;
    std::thread other([&] { refused = play(*metronome, 1); });
    EXPECT_EQ(play(*ui, 0), 0);
    other.join();
    EXPECT_EQ(refused, 0);
    EXPECT_TRUE(FallsSilent(*synth)) << "a note-off went missing";
}

using SynthLoadFailureTest = WindowTest;

// The window opened its port before the SoundFont turned out broken: it hears
// of it as of a lost output and says what it says when the open fails, and
// its retries fail at once from then on.
TEST_F(SynthLoadFailureTest, ASoundFontThatFailsToLoadIsToldAsAFailedOpen)
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.sf2"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a SoundFont") > 0);
    file.close();
    auto synth = OfflineSynth();
    synth->SetSoundFonts({broken});
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(0u, synth));

    m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
    CTessaroView* view = m_pFrame->GetActiveView();
    EXPECT_EQ(view->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER) << "the open waited for the load";
    ASSERT_TRUE(kvtest::WaitFor([view] { return view->m_OutDevice.IsWaitingForPort(); }));
    EXPECT_TRUE(view->StatusMessage().contains(broken)) << qPrintable(view->StatusMessage());

    std::unique_ptr<IMidiOutPort> port;
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(synth->OpenPort(port), MMSYSERR_ERROR);
    EXPECT_LT(timer.elapsed(), 100) << "a retry must fail fast";
}

} // namespace
