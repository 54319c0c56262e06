// The output port: opening and closing, silencing what is left sounding, and
// sends from a second thread while the UI thread opens and closes.
#include "MidiTestReceiver.h"

#include "midi/MIDIOutDevice.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

namespace {

using MidiOutDeviceTest = LoopbackTest<1, 2>;

uint32_t NoteOn(unsigned ch, unsigned key, unsigned vel = 100) { return 0x90u | ch | (key << 8) | (vel << 16); }
uint32_t NoteOff(unsigned ch, unsigned key) { return 0x80u | ch | (key << 8); }

// Plays the record back and counts the keys still sounding and the sustain pedals still down.
int StillSounding(const std::vector<uint32_t>& sent)
{
    std::map<unsigned, bool> held; // channel * 128 + key, or 10000 + channel for the pedal
    for (uint32_t m : sent) {
        const unsigned status = m & 0xF0, ch = m & 0x0F, d1 = (m >> 8) & 0x7F, d2 = (m >> 16) & 0x7F;
        if (status == 0x90 || status == 0x80)
            held[ch * 128 + d1] = status == 0x90 && d2 > 0;
        else if (status == 0xB0 && d1 == 64)
            held[10000 + ch] = d2 >= 64;
    }
    return int(std::count_if(held.begin(), held.end(), [](const auto& e) { return e.second; }));
}

TEST_F(MidiOutDeviceTest, OpenCloseAndSendResults)
{
    CMIDIOutDevice out;
    EXPECT_EQ(out.Open(), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(out.SendShortMsg(NoteOn(0, 60)), MMSYSERR_INVALHANDLE);

    out.SetDeviceID(1);
    loop->SetOutputOpenResult(1, MMSYSERR_ALLOCATED);
    EXPECT_EQ(out.Open(), MMSYSERR_ALLOCATED);
    EXPECT_FALSE(out.GetHandle());
    loop->SetOutputOpenResult(1, MMSYSERR_NOERROR);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(out.SendShortMsg(0x00407FB0), MMSYSERR_NOERROR);

    // A malformed word never reaches the device (which words are:
    // tests/platform/MidiWireTest.cpp); unused bytes are ignored.
    EXPECT_EQ(out.SendShortMsg(0x00C03C90u), MMSYSERR_INVALPARAM);
    EXPECT_EQ(out.SendShortMsg(0xFFFF05C0), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->Sent(1), (std::vector<uint32_t>{0x00407FB0, 0xFFFF05C0}));

    // Reopening on the mapper closes the other port first.
    ASSERT_EQ(out.Open(nullptr, MIDI_MAPPER), MMSYSERR_NOERROR);
    EXPECT_EQ(loop->OpenOutputs(1), 0u);
    EXPECT_EQ(loop->OutputResetCount(1), 1u);
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.Close(), MMSYSERR_NOERROR); // the second close does nothing
    EXPECT_EQ(loop->OutputResetCount(MIDI_MAPPER), 1u);
    EXPECT_EQ(out.SendShortMsg(NoteOn(0, 60)), MMSYSERR_INVALHANDLE);
}

TEST_F(MidiOutDeviceTest, ClosingSilencesWhatIsStillSounding)
{
    CMIDIOutDevice out;
    out.SetDeviceID(0);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    // Velocity 0 ends a note; the pedal is down on channel 3 and up on channel 5.
    for (uint32_t m : {NoteOn(0, 60), NoteOn(0, 64), NoteOn(0, 64, 0), NoteOn(9, 67), NoteOn(15, 127), NoteOn(3, 0),
                       NoteOff(3, 0), 0x7F40B2u, 0x0040B4u})
        out.SendShortMsg(m);
    EXPECT_EQ(StillSounding(loop->Sent(0)), 4);

    const size_t before = loop->Sent(0).size();
    ASSERT_EQ(out.Close(), MMSYSERR_NOERROR);
    const std::vector<uint32_t> sent = loop->Sent(0);
    EXPECT_EQ(StillSounding(sent), 0);
    // Exactly what was needed: sustain up, then one note-off per held key.
    const std::vector<uint32_t> silencing(sent.begin() + static_cast<long>(before), sent.end());
    EXPECT_EQ(silencing, (std::vector<uint32_t>{0x0040B2, NoteOff(0, 60), NoteOff(9, 67),
                                                NoteOff(15, 127)}));

    // Reopening starts clean: closing again sends nothing more.
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    out.Close();
    EXPECT_EQ(loop->Sent(0).size(), sent.size());

    // Reopening while notes sound, and destroying an open port, silence too.
    {
        CMIDIOutDevice mapper;
        mapper.SetDeviceID(MIDI_MAPPER);
        ASSERT_EQ(mapper.Open(), MMSYSERR_NOERROR);
        mapper.SendShortMsg(NoteOn(1, 50));
        ASSERT_EQ(mapper.Open(), MMSYSERR_NOERROR);
        EXPECT_EQ(StillSounding(loop->Sent(MIDI_MAPPER)), 0);
        mapper.SendShortMsg(NoteOn(1, 52));
    }
    EXPECT_EQ(StillSounding(loop->Sent(MIDI_MAPPER)), 0);
    EXPECT_EQ(loop->OpenOutputs(MIDI_MAPPER), 0u);
}

TEST_F(MidiOutDeviceTest, SendsFromAnotherThreadWhileOpeningAndClosing)
{
    CMIDIOutDevice out;
    out.SetDeviceID(0);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    std::atomic<bool> stop{false};
    std::atomic<unsigned> accepted{0}, failed{0};
    // The metronome: a click and its end, as fast as it can.
    std::thread metronome([&] {
        while (!stop) {
            for (uint32_t msg : {NoteOn(9, 67), NoteOff(9, 67)}) {
                const MMRESULT r = out.SendShortMsg(msg);
                accepted += r == MMSYSERR_NOERROR;
                failed += r != MMSYSERR_NOERROR && r != MMSYSERR_INVALHANDLE; // refused while closed is fine
                out.QueryOpenDeviceID();
            }
        }
    });
    for (int i = 0; i < 300; ++i) {
        // Let the metronome get a few clicks into this port before closing it.
        const unsigned seen = accepted.load();
        kvtest::WaitFor([&] { return accepted.load() > seen + 2; }, 1000);
        ASSERT_EQ(out.Close(), MMSYSERR_NOERROR);
        ASSERT_EQ(out.Open(nullptr, i % 3 == 2 ? MIDI_MAPPER : 0), MMSYSERR_NOERROR);
        out.SendShortMsg(NoteOn(0, 60 + i % 12));
    }
    stop = true;
    metronome.join();
    out.Close();
    EXPECT_EQ(failed.load(), 0u);
    EXPECT_GT(accepted.load(), 900u);
    // Whatever the interleaving, nothing is left sounding on either device.
    EXPECT_EQ(StillSounding(loop->Sent(0)), 0);
    EXPECT_EQ(StillSounding(loop->Sent(MIDI_MAPPER)), 0);
}

TEST_F(MidiOutDeviceTest, VanishedDeviceEndsClosedWithLostEvent)
{
    MidiTestReceiver view;
    CMIDIOutDevice out;
    out.SetDeviceID(1);
    ASSERT_EQ(out.Open(&view), MMSYSERR_NOERROR);
    out.SendShortMsg(NoteOn(0, 60));
    std::thread([&] { loop->VanishOutput(1); }).join();
    EXPECT_EQ(out.SendShortMsg(NoteOn(0, 62)), MMSYSERR_NODRIVER); // goes nowhere meanwhile
    ASSERT_TRUE(kvtest::WaitFor([&] { return !out.GetHandle() && view.lostEvents == 1; }));
    EXPECT_EQ(out.SendShortMsg(NoteOn(0, 62)), MMSYSERR_INVALHANDLE);
    EXPECT_EQ(out.m_nDeviceID, 1u); // still chosen, for when it comes back

    // Opened without a notify object (as at start-up): closed all the same.
    CMIDIOutDevice quiet;
    quiet.SetDeviceID(0);
    ASSERT_EQ(quiet.Open(), MMSYSERR_NOERROR);
    loop->VanishOutput(0);
    EXPECT_TRUE(kvtest::WaitFor([&] { return !quiet.GetHandle(); }));
}

} // namespace
