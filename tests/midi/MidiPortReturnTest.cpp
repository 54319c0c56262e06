// Ports that move, go and come back, as they do on a Linux desktop: a device
// is found by its port's name, waits when the port goes, and reopens by
// itself when a port of that name returns.
#include "MidiTestReceiver.h"
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/Profile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QSettings>

namespace {

using Msgs = std::vector<uint32_t>;

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

TEST_F(MidiPortReturnTest, AnOpenPortIsKnownByNameWhereverTheListMovesIt)
{
    CMIDIOutDevice out;
    out.SetDeviceID(1);
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.m_strDeviceName, "Piano B");
    loop->RemoveOutput(0);
    EXPECT_EQ(out.QueryOpenDeviceID(), 0u);
    // Closed and opened again (as around a dialog): the same port, by name.
    out.Close();
    ASSERT_EQ(out.Open(), MMSYSERR_NOERROR);
    EXPECT_EQ(out.QueryOpenDeviceID(), 0u);
    out.SendShortMsg(0x00403C90);
    EXPECT_EQ(loop->SentTo("Piano B"), (Msgs{0x00403C90}));

    CMIDIInDevice in;
    in.SetDeviceID(2);
    ASSERT_EQ(in.Open(), MMSYSERR_NOERROR);
    loop->RemoveInput(0);
    loop->AddInput("Piano Z", 0);
    loop->AddInput("Piano Y", 0);
    EXPECT_EQ(in.QueryOpenDeviceID(), 3u);
}

TEST_F(MidiPortReturnTest, AStoredNameThatIsPresentWinsOverTheIndex)
{
    Profile::WriteProfileInt("MIDIOut", "DevID", 0);
    Profile::WriteProfileString("MIDIOut", "DevName", "Piano C");
    Profile::WriteProfileInt("MIDIIn", "DevID", 1);
    Profile::WriteProfileString("MIDIIn", "DevName", "Piano A");
    CMIDIOutDevice out;
    out.LoadDeviceID();
    EXPECT_EQ(out.m_nDeviceID, 2u);
    CMIDIInDevice in;
    in.LoadDeviceID();
    EXPECT_EQ(in.m_nDeviceID, 0u);

    // An absent name leaves the index rules; garbage is no name.
    Profile::WriteProfileString("MIDIIn", "DevName", "Unplugged Keyboard");
    CMIDIInDevice in2;
    in2.LoadDeviceID();
    EXPECT_EQ(in2.m_nDeviceID, 1u);
    EXPECT_EQ(in2.m_strDeviceName, "Piano B");
    QSettings("Morvessa", "Kelvora").setValue("MIDIIn/DevName", QStringList{"a", "b"});
    CMIDIInDevice in3;
    in3.LoadDeviceID();
    EXPECT_EQ(in3.m_nDeviceID, 1u);
}

TEST_F(MidiPortReturnTest, ALostInputIsAwaitedAndReopensWhenItsNameReturns)
{
    MidiTestReceiver view;
    CMIDIInDevice in;
    in.SetDeviceID(1);
    ASSERT_EQ(in.Open(&view), MMSYSERR_NOERROR);
    loop->RemoveInput(1);
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.lostEvents == 1; }));
    EXPECT_EQ(in.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    EXPECT_TRUE(in.IsWaitingForPort());
    EXPECT_EQ(in.m_strDeviceName, "Piano B");

    loop->AddInput("Something Else");
    kvtest::Drain();
    EXPECT_TRUE(in.IsWaitingForPort());
    const unsigned index = loop->AddInput("Piano B", 0); // back, elsewhere in the list
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.backEvents == 1; }));
    EXPECT_EQ(in.QueryOpenDeviceID(), index);
    EXPECT_FALSE(in.IsWaitingForPort());
    ASSERT_TRUE(loop->Inject(index, 0x00403C90));
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.messages.size() == 1; }));

    // Closed by the owner, it waits for nothing.
    loop->RemoveInput(index);
    ASSERT_TRUE(kvtest::WaitFor([&] { return view.lostEvents == 2; }));
    in.Close();
    loop->AddInput("Piano B");
    kvtest::Drain();
    EXPECT_EQ(view.backEvents, 1);
    EXPECT_FALSE(in.IsOpen());
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
