// The device layer's rules for ports that move, go and come back (the view's
// tests and tests/real play the whole story): a stored name wins over the
// index, and a port that could not open is tried again by itself.
#include "MidiTestReceiver.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/Profile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QSettings>

namespace {

class MidiPortReturnTest : public LoopbackTest<0, 0> {
protected:
    void SetUp() override
    {
        LoopbackTest::SetUp();
        kvtest::ClearProfile();
        for (const char* name : {"Piano A", "Piano B", "Piano C"}) {
            loop->AddInput(name);
            loop->AddOutput(name);
        }
    }
};

TEST_F(MidiPortReturnTest, AStoredNameThatIsPresentWinsOverTheIndex)
{
    const auto loadIn = [] {
        CMIDIInDevice in;
        in.LoadDeviceID();
        return std::pair(in.m_nDeviceID, in.m_strDeviceName.toStdString());
    };
    Profile::WriteProfileInt("MIDIOut", "DevID", 0);
    Profile::WriteProfileString("MIDIOut", "DevName", "Piano C");
    Profile::WriteProfileInt("MIDIIn", "DevID", 1);
    Profile::WriteProfileString("MIDIIn", "DevName", "Piano A");
    CMIDIOutDevice out;
    out.LoadDeviceID();
    EXPECT_EQ(out.m_nDeviceID, 2u);
    EXPECT_EQ(loadIn(), std::pair(0u, std::string("Piano A")));

    // An absent name leaves the index rules; garbage is no name.
    Profile::WriteProfileString("MIDIIn", "DevName", "Unplugged Keyboard");
    EXPECT_EQ(loadIn(), std::pair(1u, std::string("Piano B")));
    QSettings("Morvessa", "Kelvora").setValue("MIDIIn/DevName", QStringList{"a", "b"});
    EXPECT_EQ(loadIn().first, 1u);
}

TEST_F(MidiPortReturnTest, AnOutputThatFailsToOpenIsTriedAgainWhenThePortsChange)
{
    MidiTestReceiver view;
    CMIDIOutDevice out;
    out.SetDeviceID(MIDI_MAPPER);
    loop->SetOutputOpenResult(MIDI_MAPPER, MMSYSERR_NODRIVER); // no audio output yet
    EXPECT_EQ(out.Open(&view), MMSYSERR_NODRIVER);
    EXPECT_TRUE(out.IsWaitingForPort());
    loop->SetOutputOpenResult(MIDI_MAPPER, MMSYSERR_NOERROR);
    loop->AddOutput("A sound server's port"); // a JACK server coming back says so
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.backEvents == 1; }));
    EXPECT_EQ(out.QueryOpenDeviceID(), MIDI_MAPPER);

    // A named port missing at open is awaited too; another choice ends the wait.
    CMIDIOutDevice other;
    other.SetDeviceID(0);
    loop->RemoveOutput(0);
    EXPECT_EQ(other.Open(&view), MMSYSERR_BADDEVICEID);
    EXPECT_TRUE(other.IsWaitingForPort());
    other.SetDeviceID(1);
    EXPECT_FALSE(other.IsWaitingForPort());
}

} // namespace
