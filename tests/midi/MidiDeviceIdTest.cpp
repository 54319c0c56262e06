// Choosing devices: range rules, the profile and capability records, all
// against the loopback backend. What a selection dialog answers is stored as
// tests/dialogs/DeviceSelectionDlgTest.cpp and the view's tests check.
#include "MidiTestReceiver.h"

#include "midi/MIDICaps.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/Profile.h"
#include "support/TestSupport.h"

#include <tuple>

namespace {

class MidiDeviceIdTest : public LoopbackTest<2, 3> {
protected:
    void SetUp() override
    {
        LoopbackTest::SetUp();
        kvtest::ClearProfile();
    }
};

TEST_F(MidiDeviceIdTest, RangeRulesForSetAndStoredIdsAndTheOpenPort)
{
    // Two inputs, three outputs; the mapper is output only, and "negative"
    // ids fail the unsigned compare too.
    const struct {
        bool input;
        uint32_t id, want;
    } cases[] = {
        {true, 1, 1}, {true, 2, MIDI_NO_DEVICE}, {true, MIDI_MAPPER, MIDI_NO_DEVICE},
        {true, 0xFFFFFF00u, MIDI_NO_DEVICE}, {false, MIDI_MAPPER, MIDI_MAPPER}, {false, 2, 2},
        {false, 3, MIDI_NO_DEVICE},
    };
    for (const auto& c : cases) {
        CMIDIInDevice in;
        CMIDIOutDevice out;
        in.SetDeviceID(1); // a refused id replaces a valid one
        out.SetDeviceID(1);
        c.input ? in.SetDeviceID(c.id) : out.SetDeviceID(c.id);
        EXPECT_EQ(c.input ? in.m_nDeviceID : out.m_nDeviceID, c.want) << c.input << " " << c.id;
    }

    // The same rules for the ids in the profile; the mapper is stored as -1.
    for (auto [storedIn, storedOut, wantIn, wantOut] :
         {std::tuple{5, 9, MIDI_NO_DEVICE, MIDI_NO_DEVICE}, {1, -1, 1u, MIDI_MAPPER}}) {
        Profile::WriteProfileInt("MIDIIn", "DevID", storedIn);
        Profile::WriteProfileInt("MIDIOut", "DevID", storedOut);
        CMIDIInDevice in;
        CMIDIOutDevice out;
        in.LoadDeviceID();
        out.LoadDeviceID();
        EXPECT_EQ(std::pair(in.m_nDeviceID, out.m_nDeviceID), std::pair(wantIn, wantOut)) << storedIn;
    }

    // The same id keeps the port open; another closes it, even when refused.
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    in.SetDeviceID(1);
    EXPECT_TRUE(loop->IsInputOpen(1));
    in.SetDeviceID(7);
    EXPECT_FALSE(in.IsOpen() || loop->IsInputOpen(1));
    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    out.SetDeviceID(MIDI_MAPPER);
    EXPECT_TRUE(out.GetHandle());
    out.SetDeviceID(0);
    EXPECT_FALSE(out.GetHandle());
    EXPECT_EQ(loop->OpenOutputs(MIDI_MAPPER), 0u);
}

TEST_F(MidiDeviceIdTest, CapsRecordsAndTheDeviceList)
{
    MidiCaps named;
    named.wMid = 0x41;
    named.wPid = 7;
    named.szPname = QStringLiteral("A product name well beyond the thirty-one characters of old");
    loop->SetOutputCaps(1, named);
    loop->SetOutputNoDriver(2);

    CMIDIOutCaps caps(1);
    EXPECT_EQ(caps.Query(), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, named.szPname); // whole, however long
    EXPECT_EQ(caps.wPid, 7);
    // A failed query clears the record but keeps its id.
    for (auto [id, result] : {std::pair{2u, MMSYSERR_NODRIVER}, {3u, MMSYSERR_BADDEVICEID}}) {
        caps.Query(1);
        EXPECT_EQ(caps.Query(id), result);
        EXPECT_TRUE(caps.szPname.isEmpty() && caps.wMid == 0) << id;
        EXPECT_EQ(caps.m_nDeviceID, 1u);
    }

    // No id at all, the mapper (output only), an input past the last.
    EXPECT_EQ(std::vector<MMRESULT>({CMIDIOutCaps().Query(), CMIDIOutCaps(MIDI_MAPPER).Query(), CMIDIInCaps(5).Query(),
                                     CMIDIInCaps(MIDI_MAPPER).Query(), CMIDIInCaps(1).Query()}),
              std::vector<MMRESULT>({MMSYSERR_BADDEVICEID, MMSYSERR_NOERROR, MMSYSERR_BADDEVICEID,
                                     MMSYSERR_BADDEVICEID, MMSYSERR_NOERROR}));

    // The device list numbers them like the dialogs.
    loop->SetInputName(0, "Keys");
    loop->SetInputNoDriver(1);
    loop->SetOutputName(MIDI_MAPPER, "Synth");
    const QString text = MidiSystem::DescribeDevices();
    for (const char* line : {"   0  Keys\n", "   1  [ Invalid Driver ]\n", "  -1  Synth\n",
                             "   1  A product name well beyond the thirty-one characters of old\n"})
        EXPECT_TRUE(text.contains(line)) << line << qPrintable(text);
}

} // namespace
