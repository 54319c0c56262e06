// The form view: settings, display modes and the incoming path.
#include "ViewFixture.h"

#include <QSettings>
#include <QTextDocument>

namespace {

constexpr uint32_t kNoteOn60 = 0x00643C90;

int DumpLines(CTessaroView* v)
{
    v->FlushLog();
    // The edit's last line is the empty one after the newest entry.
    return v->m_pLogEdit->document()->blockCount() - 1;
}

// Mode, the six filter flags, channel, velocity, patch, MIDI In switch, tempo,
// pulses per measure, voice, and the ports.
std::vector<int> Settings(const CTessaroView* v)
{
    return {v->m_nViewMode, v->m_bFilterSysRealTime, v->m_bFilterPitchBend, v->m_bFilterCtrlChange,
            v->m_bFilterChanPressure, v->m_bFilterKeyPressure, v->m_bFilterActiveSensing,
            v->m_nChannel, v->m_nVelocity, v->m_nPatch, v->m_bUseMIDIIn, int(v->m_nMM), int(v->m_nPPM),
            v->m_bMale, int(v->m_InDevice.QueryOpenDeviceID()), int(v->m_OutDevice.QueryOpenDeviceID())};
}

} // namespace

TEST_F(ViewFixture, AGarbledProfileGivesTheDefaultsStoredChoicesComeBackAndNoDevicesStillRuns)
{
    {
        QSettings s("Morvessa", "Kelvora");
        const std::pair<const char*, QVariant> garbage[] = {
            {"View/Def", 7},           {"View/EdFmt", 0xFF},     {"MIDIFlt/SysRlTm", 5},
            {"MIDIFlt/ActSens", "yes"}, {"MIDICnf/Channel", 16}, {"MIDICnf/Velocit", 200},
            {"MIDICnf/Patch", -2},     {"MIDICnf/UseMDIn", -1},  {"Metro/MM", 0},
            {"Metro/PPM", 49},         {"PCKey/Male", "99999999999999999999"},
            {"MIDIIn/DevID", 5},       {"MIDIOut/DevID", 3}};
        for (const auto& [key, value] : garbage)
            s.setValue(key, value);
    }
    Start(2, 1);
    EXPECT_EQ(Settings(m_pView), (std::vector<int>{1, 1, 1, 1, 1, 1, 1, 0, 127, 0, 0, 100, 4, 0, 0, int(MIDI_MAPPER)}));
    EXPECT_EQ(m_pView->m_nDumpAttributes, 1 | 4 | 8); // only the known bits stay
    Stop();

    kvtest::ClearProfile();
    for (const auto& [section, entry, value] : {std::tuple{"MIDICnf", "Channel", 9}, {"MIDICnf", "Patch", 5},
                                                {"MIDIIn", "DevID", 1}, {"MIDIOut", "DevID", 0}})
        Profile::WriteProfileInt(section, entry, value);
    Start(2, 1);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u);
    // At start-up the program change goes out on the percussion channel too.
    EXPECT_EQ(m_pMidi->Sent(0), (Msgs{0x000005C9, 0x007F07B9, 0x00400AB9}));
    Stop();

    // No devices at all: nothing to open, select or crash on.
    kvtest::ClearProfile();
    Start(0, 0);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_SELECT_OUTPUT)->isEnabled());
    m_pView->OnMidiData(kNoteOn60);
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(DumpLines(m_pView), 1);
}

TEST_F(ViewFixture, IncomingMessagesAreRechannelledFilteredAndLoggedAsReceived)
{
    Start();
    m_pView->m_nChannel = 3;
    m_pView->m_nDumpAttributes = 0;
    m_pMidi->ClearSent();
    for (uint32_t m : {kNoteOn60, 0x000000FEu, 0x000000F8u, 0x00000AF3u}) // F3: never filtered
        m_pView->OnMidiData(m);
    EXPECT_EQ(Sent(), (Msgs{0x00643C93, 0x00000AF3}));
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(DumpLines(m_pView), 2);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().startsWith("[Note On] Ch 01  60 100\n"));

    // From the device's own thread every message reaches the log, in order.
    m_pView->m_pLogEdit->clear();
    QString expected;
    for (int key = 0; key < 128; ++key) {
        ASSERT_TRUE(m_pMidi->Inject(0, 0x00400090u | (uint32_t(key) << 8)));
        expected += QString("[Note On] Ch 01  %1 64\n").arg(key);
    }
    ASSERT_TRUE(kvtest::WaitFor([&] { return DumpLines(m_pView) == 128; }));
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), expected);
}

TEST_F(ViewFixture, TheVoiceStartsTheKeysAfreshCommandStatesFollowTheModeAndBothAreStored)
{
    Start();
    m_pView->AnimateMessage(0x007F4090); // E shown down
    ASSERT_TRUE(m_pView->m_GUIKeySlots[4].IsPressed());
    Command(ID_PCKEY_MALE);
    EXPECT_EQ(Profile::GetProfileInt("PCKey", "Male", -1), 1);
    // Its note-off, now read in the male voice, finds nothing stuck either.
    m_pView->AnimateMessage(0x00004080);
    for (const CGUIKeySlot& slot : m_pView->m_GUIKeySlots)
        EXPECT_FALSE(slot.IsPressed());

    // File commands belong to the log, the filter set-up to the other panes;
    // the device pane names the input in the log.
    m_pMidi->SetInputName(0, "Lesson Keyboard");
    Command(ID_VIEW_MIDI_INPUT);
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_SETUP_FILTER)->isEnabled());
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "Lesson Keyboard");
    Command(ID_VIEW_HAND_SIGN);
    m_pFrame->UpdateCommandUI();
    EXPECT_FALSE(m_pFrame->Action(ID_FILE_SAVE)->isEnabled());
    EXPECT_TRUE(m_pFrame->Action(ID_MIDI_SETUP_FILTER)->isEnabled());
    Stop(); // in the hand sign's mode
    EXPECT_EQ(Profile::GetProfileInt("View", "Def", -1), 3);
}
