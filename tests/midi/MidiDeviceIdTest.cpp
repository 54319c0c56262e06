// Choosing devices: range rules, the profile, the selection hooks and
// capability records, all against the loopback backend.
#include "midi/MIDICaps.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "midi/MidiDeviceDialogs.h"
#include "platform/LoopbackMidiBackend.h"
#include "platform/Profile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// Selection dialogs that answer as the test says.
class CFakeDeviceDialogs : public IMidiDeviceDialogs {
public:
    std::optional<uint32_t> RunSelectInput(uint32_t deviceId, QWidget*) override
    {
        return m_selectInput(deviceId);
    }
    std::optional<CMIDIOutSelection> RunSelectOutput(uint32_t deviceId, bool useMapper,
                                                     QWidget*) override
    {
        return m_selectOutput(deviceId, useMapper);
    }

    std::function<std::optional<uint32_t>(uint32_t)> m_selectInput;
    std::function<std::optional<CMIDIOutSelection>(uint32_t, bool)> m_selectOutput;
};

class MidiDeviceIdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvtest::ClearProfile();
        auto backend = std::make_unique<CLoopbackMidiBackend>(2, 3);
        loop = backend.get();
        MidiSystem::Install(std::move(backend));
    }

    CLoopbackMidiBackend* loop = nullptr;
};

TEST_F(MidiDeviceIdTest, SetDeviceIdRangeRules)
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
        EXPECT_EQ(c.input ? in.m_nDeviceID : out.m_nDeviceID, MIDI_NO_DEVICE);
        in.SetDeviceID(1); // a refused id replaces a valid one
        out.SetDeviceID(1);
        c.input ? in.SetDeviceID(c.id) : out.SetDeviceID(c.id);
        EXPECT_EQ(c.input ? in.m_nDeviceID : out.m_nDeviceID, c.want) << c.input << " " << c.id;
    }
}

TEST_F(MidiDeviceIdTest, SameIdKeepsPortOpenOtherIdClosesEvenWhenRefused)
{
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    in.SetDeviceID(1);
    EXPECT_TRUE(loop->IsInputOpen(1));
    in.SetDeviceID(7); // refused, yet the open port closes
    EXPECT_FALSE(in.IsOpen());
    EXPECT_FALSE(loop->IsInputOpen(1));

    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    out.SetDeviceID(MIDI_MAPPER);
    EXPECT_TRUE(out.GetHandle());
    out.SetDeviceID(0);
    EXPECT_FALSE(out.GetHandle());
    EXPECT_EQ(loop->OpenOutputs(MIDI_MAPPER), 0u);
}

TEST_F(MidiDeviceIdTest, LoadDeviceIdRefusesStaleIdsAndReadsTheMapper)
{
    const struct {
        int storedIn, storedOut;
        uint32_t wantIn, wantOut;
    } cases[] = {
        {5, 9, MIDI_NO_DEVICE, MIDI_NO_DEVICE}, // ids that no longer exist
        {1, -1, 1, MIDI_MAPPER},                // the mapper is stored as -1
    };
    for (const auto& c : cases) {
        Profile::WriteProfileInt("MIDIIn", "DevID", c.storedIn);
        Profile::WriteProfileInt("MIDIOut", "DevID", c.storedOut);
        CMIDIInDevice in;
        CMIDIOutDevice out;
        in.LoadDeviceID();
        out.LoadDeviceID();
        EXPECT_EQ(in.m_nDeviceID, c.wantIn) << c.storedIn;
        EXPECT_EQ(out.m_nDeviceID, c.wantOut) << c.storedOut;
    }
    // Another section (the metronome dialog's own device, say).
    Profile::WriteProfileInt("MetOut", "DevID", 2);
    CMIDIOutDevice out;
    out.LoadDeviceID("MetOut");
    EXPECT_EQ(out.m_nDeviceID, 2u);
}

TEST_F(MidiDeviceIdTest, SelectDeviceStoresChoiceWithoutRulesOrClosing)
{
    auto fake = std::make_unique<CFakeDeviceDialogs>();
    CFakeDeviceDialogs& dialogs = *fake;
    const CScopedService<IMidiDeviceDialogs> installed(std::move(fake));
    uint32_t offeredId = 0;
    bool offeredMapper = false;
    dialogs.m_selectInput = [&](uint32_t id) -> std::optional<uint32_t> {
        offeredId = id;
        return 42u; // no range rule applies to a dialog's choice
    };
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(in.SelectDevice(true), 42u);
    EXPECT_EQ(offeredId, 1u);
    EXPECT_EQ(in.QueryOpenDeviceID(), 1u); // still open: the caller reopens
    EXPECT_EQ(Profile::GetProfileInt("MIDIIn", "DevID", 0), 42);

    dialogs.m_selectOutput = [&](uint32_t id, bool mapper) -> std::optional<CMIDIOutSelection> {
        offeredId = id;
        offeredMapper = mapper;
        return CMIDIOutSelection{2, true};
    };
    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    EXPECT_EQ(out.SelectDevice(true), MIDI_MAPPER);
    EXPECT_TRUE(offeredMapper);
    EXPECT_EQ(offeredId, MIDI_MAPPER);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", 0), -1);

    // The empty entry: the device count, taken as chosen but not saved.
    dialogs.m_selectOutput = [](uint32_t, bool) {
        return std::optional<CMIDIOutSelection>(CMIDIOutSelection{3, false});
    };
    EXPECT_EQ(out.SelectDevice(false), 3u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", 0), -1);
    EXPECT_NE(out.Open(), MMSYSERR_NOERROR);

    // Cancel leaves id and profile alone.
    dialogs.m_selectOutput = [](uint32_t, bool) { return std::optional<CMIDIOutSelection>(); };
    EXPECT_EQ(out.SelectDevice(true), 3u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", 0), -1);
}

TEST_F(MidiDeviceIdTest, CapsRecords)
{
    MidiCaps named;
    named.wMid = 0x41;
    named.wPid = 7;
    named.szPname = QStringLiteral("A product name well beyond the thirty-one characters of old");
    loop->SetOutputCaps(1, named);
    loop->SetOutputNoDriver(2);

    CMIDIOutCaps caps(1);
    EXPECT_EQ(caps.Query(), MMSYSERR_NOERROR);
    EXPECT_EQ(caps.szPname, named.szPname);
    EXPECT_EQ(caps.wMid, 0x41);
    EXPECT_EQ(caps.wPid, 7);
    // A failed query clears the record but keeps its id.
    EXPECT_EQ(caps.Query(2), MMSYSERR_NODRIVER);
    EXPECT_TRUE(caps.szPname.isEmpty());
    EXPECT_EQ(caps.wMid, 0);
    EXPECT_EQ(caps.m_nDeviceID, 1u);
    caps.Query(1);
    EXPECT_EQ(caps.Query(3), MMSYSERR_BADDEVICEID);
    EXPECT_TRUE(caps.szPname.isEmpty());

    EXPECT_EQ(CMIDIOutCaps().Query(), MMSYSERR_BADDEVICEID); // no id at all
    EXPECT_EQ(CMIDIOutCaps(MIDI_MAPPER).Query(), MMSYSERR_NOERROR);
    EXPECT_EQ(CMIDIInCaps(5).Query(), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(CMIDIInCaps(MIDI_MAPPER).Query(), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(CMIDIInCaps(1).Query(), MMSYSERR_NOERROR);
}

TEST_F(MidiDeviceIdTest, DescribeDevicesNumbersLikeTheDialogs)
{
    loop->SetInputName(0, "Keys");
    loop->SetInputNoDriver(1);
    loop->SetOutputName(MIDI_MAPPER, "Synth");
    const QString text = MidiSystem::DescribeDevices();
    for (const char* line : {"   0  Keys\n", "   1  [ Invalid Driver ]\n", "  -1  Synth\n", "   2  Loopback MIDI Out 3\n"})
        EXPECT_TRUE(text.contains(line)) << line << qPrintable(text);
}

} // namespace
