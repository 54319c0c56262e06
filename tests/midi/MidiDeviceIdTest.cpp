// Choosing devices: range rules, the profile, the start-up fallbacks, the
// selection hooks and capability records, all against the loopback backend.
#include "midi/MIDICaps.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/LoopbackMidiBackend.h"
#include "platform/Profile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

class MidiDeviceIdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvtest::ClearProfile();
        auto backend = std::make_unique<CLoopbackMidiBackend>(2, 3);
        loop = backend.get();
        MidiSystem::Install(std::move(backend));
    }
    void TearDown() override
    {
        CMIDIInDevice::s_pfnRunSelectDialog = nullptr;
        CMIDIOutDevice::s_pfnRunSelectDialog = nullptr;
    }

    // The view's start-up steps for both ports.
    static void StartUp(CMIDIInDevice& in, CMIDIOutDevice& out)
    {
        in.LoadDeviceID();
        if (in.m_nDeviceID == MIDI_NO_DEVICE && MidiSystem::Backend().InputCount() > 0)
            in.SetDeviceID(0);
        out.LoadDeviceID();
        if (out.m_nDeviceID == MIDI_NO_DEVICE)
            out.SetDeviceID(MIDI_MAPPER);
    }

    CLoopbackMidiBackend* loop = nullptr;
};

TEST_F(MidiDeviceIdTest, SetDeviceIdRangeRules)
{
    CMIDIInDevice in;
    CMIDIOutDevice out;
    EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);
    EXPECT_EQ(out.m_nDeviceID, MIDI_NO_DEVICE);

    in.SetDeviceID(1);
    EXPECT_EQ(in.m_nDeviceID, 1u);
    in.SetDeviceID(2); // two inputs: 2 is out of range
    EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);
    in.SetDeviceID(1);
    in.SetDeviceID(MIDI_MAPPER); // output only
    EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);
    in.SetDeviceID(0xFFFFFF00u); // negative values fail the unsigned compare too
    EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);

    out.SetDeviceID(MIDI_MAPPER);
    EXPECT_EQ(out.m_nDeviceID, MIDI_MAPPER);
    out.SetDeviceID(2);
    EXPECT_EQ(out.m_nDeviceID, 2u);
    out.SetDeviceID(3);
    EXPECT_EQ(out.m_nDeviceID, MIDI_NO_DEVICE);
}

TEST_F(MidiDeviceIdTest, SameIdKeepsPortOpenOtherIdClosesEvenWhenRefused)
{
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    in.SetDeviceID(1);
    EXPECT_TRUE(in.IsOpen());
    EXPECT_TRUE(loop->IsInputOpen(1));
    in.SetDeviceID(7); // refused, yet the open port closes
    EXPECT_FALSE(in.IsOpen());
    EXPECT_FALSE(loop->IsInputOpen(1));
    EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);

    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    out.SetDeviceID(MIDI_MAPPER);
    EXPECT_TRUE(out.GetHandle());
    out.SetDeviceID(0);
    EXPECT_FALSE(out.GetHandle());
    EXPECT_EQ(loop->OpenOutputs(MIDI_MAPPER), 0u);
    EXPECT_EQ(out.m_nDeviceID, 0u);
}

TEST_F(MidiDeviceIdTest, StartUpFallsBackToFirstInputAndMapper)
{
    {
        // Nothing stored.
        CMIDIInDevice in;
        CMIDIOutDevice out;
        StartUp(in, out);
        EXPECT_EQ(in.m_nDeviceID, 0u);
        EXPECT_EQ(out.m_nDeviceID, MIDI_MAPPER);
    }
    {
        // Stored ids that no longer exist.
        Profile::WriteProfileInt("MIDIIn", "DevID", 5);
        Profile::WriteProfileInt("MIDIOut", "DevID", 9);
        CMIDIInDevice in;
        in.LoadDeviceID();
        EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);
        CMIDIOutDevice out;
        StartUp(in, out);
        EXPECT_EQ(in.m_nDeviceID, 0u);
        EXPECT_EQ(out.m_nDeviceID, MIDI_MAPPER);
    }
    {
        // The mapper stored as -1, a real device kept.
        Profile::WriteProfileInt("MIDIIn", "DevID", 1);
        Profile::WriteProfileInt("MIDIOut", "DevID", -1);
        CMIDIInDevice in;
        CMIDIOutDevice out;
        StartUp(in, out);
        EXPECT_EQ(in.m_nDeviceID, 1u);
        EXPECT_EQ(out.m_nDeviceID, MIDI_MAPPER);
    }
    {
        // No input devices at all: stays without a device, and opening says so.
        loop->SetInputCount(0);
        CMIDIInDevice in;
        CMIDIOutDevice out;
        StartUp(in, out);
        EXPECT_EQ(in.m_nDeviceID, MIDI_NO_DEVICE);
        EXPECT_EQ(in.Open(), MMSYSERR_INVALHANDLE);
        EXPECT_FALSE(in.IsOpen());
    }
    {
        // Another section (the metronome dialog's own device, say).
        Profile::WriteProfileInt("MetOut", "DevID", 2);
        CMIDIOutDevice out;
        out.LoadDeviceID("MetOut");
        EXPECT_EQ(out.m_nDeviceID, 2u);
    }
}

TEST_F(MidiDeviceIdTest, SelectDeviceStoresChoiceWithoutRulesOrClosing)
{
    static uint32_t offeredId;
    static bool offeredMapper;
    CMIDIInDevice::s_pfnRunSelectDialog = [](uint32_t id, QWidget*) -> std::optional<uint32_t> {
        offeredId = id;
        return 42u; // no range rule applies to a dialog's choice
    };
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(in.SelectDevice(true), 42u);
    EXPECT_EQ(offeredId, 1u);
    EXPECT_EQ(in.m_nDeviceID, 42u);
    EXPECT_TRUE(in.IsOpen()); // the caller reopens
    EXPECT_EQ(in.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIIn", "DevID", 0), 42);

    CMIDIOutDevice::s_pfnRunSelectDialog = [](uint32_t id, bool mapper,
                                              QWidget*) -> std::optional<CMIDIOutSelection> {
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

    // The empty entry: the device count, written as chosen.
    CMIDIOutDevice::s_pfnRunSelectDialog = [](uint32_t, bool, QWidget*) {
        return std::optional<CMIDIOutSelection>(CMIDIOutSelection{3, false});
    };
    EXPECT_EQ(out.SelectDevice(false), 3u);
    EXPECT_EQ(Profile::GetProfileInt("MIDIOut", "DevID", 0), -1); // not saved
    EXPECT_NE(out.Open(), MMSYSERR_NOERROR);

    // Cancel leaves id and profile alone.
    CMIDIOutDevice::s_pfnRunSelectDialog = [](uint32_t, bool, QWidget*) {
        return std::optional<CMIDIOutSelection>();
    };
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

    CMIDIInCaps in(5);
    EXPECT_EQ(in.Query(), MMSYSERR_BADDEVICEID);
    EXPECT_TRUE(in.szPname.isEmpty());
    EXPECT_EQ(CMIDIInCaps(MIDI_MAPPER).Query(), MMSYSERR_BADDEVICEID);
    EXPECT_EQ(CMIDIInCaps(1).Query(), MMSYSERR_NOERROR);
}

TEST_F(MidiDeviceIdTest, DescribeDevicesNumbersLikeTheDialogs)
{
    loop->SetInputName(0, "Keys");
    loop->SetInputNoDriver(1);
    loop->SetOutputName(MIDI_MAPPER, "Synth");
    const QString text = MidiSystem::DescribeDevices();
    EXPECT_TRUE(text.contains("   0  Keys\n")) << qPrintable(text);
    EXPECT_TRUE(text.contains("   1  [ Invalid Driver ]\n")) << qPrintable(text);
    EXPECT_TRUE(text.contains("  -1  Synth\n")) << qPrintable(text);
    EXPECT_TRUE(text.contains("   2  Loopback MIDI Out 3\n")) << qPrintable(text);
}

} // namespace
