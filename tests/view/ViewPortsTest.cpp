// Ports that come and go: dialogs reopen the same port, a returning port is
// reopened and set up, a lost input's notes end.
#include "ViewFixture.h"

namespace {

const Msgs kChannelSetUp{0x000000C0, 0x007F07B0, 0x00400AB0};

class ViewPortsTest : public ViewFixture {
protected:
    // The window on devices that `prepare` makes.
    void StartWith(const std::function<void(CLoopbackMidiBackend&)>& prepare)
    {
        auto backend = std::make_unique<CLoopbackMidiBackend>(0, 0);
        prepare(*backend);
        StartOn(std::move(backend));
    }
    // Two instruments and two synthesizers; the program uses the second of each.
    void StartOnSecondPorts()
    {
        Profile::WriteProfileInt("MIDIIn", "DevID", 1);
        Profile::WriteProfileInt("MIDIOut", "DevID", 1);
        StartWith([](CLoopbackMidiBackend& midi) {
            for (const char* name : {"Keys A", "Keys B"})
                midi.AddInput(name);
            for (const char* name : {"Synth A", "Synth B"})
                midi.AddOutput(name);
        });
    }
};

TEST_F(ViewPortsTest, EveryDialogReopensTheSamePortWhenTheListHasMoved)
{
    StartOnSecondPorts();
    EXPECT_EQ(m_pMidi->SentTo("Synth B"), kChannelSetUp);
    m_pMidi->RemoveOutput(0); // "Synth A" quits: "Synth B" is now the first
    m_pMidi->RemoveInput(0);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u);
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "Synth B");

    for (unsigned id : {ID_MIDI_SETUP_METRONOME, ID_MIDI_SETUP_OUTPUT_DEFAULTS,
                        ID_MIDI_SELECT_OUTPUT, ID_MIDI_SELECT_INPUT}) {
        AnswerNextDialog();
        Command(id);
        EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u) << id;
        EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 0u) << id;
    }
    ASSERT_TRUE(m_pMidi->Inject(0, 0x00404090));
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pMidi->SentTo("Synth B").back() == 0x00404090u; }));
}

TEST_F(ViewPortsTest, APortThatComesBackIsReopenedAndTheOutputSetUpAgain)
{
    StartOnSecondPorts();
    m_pMidi->RemoveOutput(1);
    m_pMidi->RemoveInput(1);
    kvtest::Drain();
    m_pFrame->UpdateCommandUI();
    const QString message = m_pFrame->PaneText(0);
    EXPECT_TRUE(message.contains("\"Synth B\"") && message.contains("\"Keys B\"")) << qPrintable(message);

    m_pMidi->AddOutput("Synth B", 0);
    m_pMidi->AddInput("Keys B");
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_OutDevice.GetHandle() && m_pView->m_InDevice.IsOpen(); }));
    kvtest::Drain();
    EXPECT_EQ(m_pMidi->SentTo("Synth B"), kChannelSetUp);
    ASSERT_TRUE(m_pMidi->Inject(1, 0x00404090));
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pMidi->SentTo("Synth B").size() == 4; }));
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(0), "Ready");
}

TEST_F(ViewPortsTest, NotesAndPedalFromALostOrChangedInputEndAtTheOutput)
{
    StartOnSecondPorts();
    const Msgs held{0x00403C90, 0x00404090, 0x007F40B0}; // C and E down, sustain down
    const Msgs ended{0x000040B0, 0x00003C80, 0x00004080};
    for (int way = 0; way < 3; ++way) {
        for (uint32_t m : held)
            ASSERT_TRUE(m_pMidi->Inject(1, m));
        kvtest::Drain();
        ASSERT_TRUE(m_pView->m_GUIKeySlots[0].IsPressed());
        m_pMidi->ClearSent();
        if (way == 0) {
            m_pMidi->RemoveInput(1); // unplugged
            ASSERT_TRUE(kvtest::WaitFor([&] { return m_pMidi->SentTo("Synth B").size() == 3; }));
            m_pMidi->AddInput("Keys B", 1);
            ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_InDevice.IsOpen(); }));
        } else if (way == 1) {
            AnswerNextDialog(); // the input is closed and opened again
            Command(ID_MIDI_SELECT_INPUT);
        } else {
            m_pFrame->close(); // quitting
        }
        EXPECT_EQ(m_pMidi->SentTo("Synth B"), ended) << way;
        EXPECT_FALSE(m_pView->m_GUIKeySlots[0].IsPressed()) << way;
        EXPECT_FALSE(m_pView->m_GUIKeySlots[4].IsPressed()) << way;
    }
}

TEST_F(ViewPortsTest, LostMessagesAreSaidOnceInTheLogAndTheStatusBar)
{
    StartOnSecondPorts();
    Command(ID_VIEW_MIDI_INPUT);
    m_pMidi->SetInputLost(1, 26);
    m_pFrame->UpdateCommandUI();
    m_pMidi->SetOutputLost(1, 4);
    m_pFrame->UpdateCommandUI();
    m_pFrame->UpdateCommandUI(); // nothing new: said once
    m_pView->FlushLog();
    const QString log = m_pView->m_pLogEdit->toPlainText();
    EXPECT_EQ(log.count("MIDI messages lost"), 2) << qPrintable(log);
    EXPECT_TRUE(m_pFrame->PaneText(0).contains("30 MIDI messages lost")) << qPrintable(m_pFrame->PaneText(0));
}

TEST_F(ViewPortsTest, AFirstStartTakesARealInstrumentAndASynthesizerThatCannotSoundSaysWhyAndComesBack)
{
    StartWith([](CLoopbackMidiBackend& midi) {
        midi.SetOutputOpenResult(MIDI_MAPPER, MMSYSERR_NODRIVER);
        midi.SetOutputProblem(MIDI_MAPPER, "no audio output could be started");
        midi.AddInput("Midi Through:Midi Through Port-0");
        midi.SetInputLoopback(0, true);
        midi.AddInput("USB Keyboard:USB Keyboard MIDI 1");
    });
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(0), "No sound from the synthesizer: no audio output could be started");

    m_pMidi->SetOutputOpenResult(MIDI_MAPPER, MMSYSERR_NOERROR);
    m_pMidi->SetOutputProblem(MIDI_MAPPER, "");
    ASSERT_TRUE(kvtest::WaitFor([&] { return m_pView->m_OutDevice.GetHandle(); }, 5000));
    kvtest::Drain();
    EXPECT_EQ(m_pMidi->Sent(MIDI_MAPPER), kChannelSetUp);
}

} // namespace
