// The form view: settings, display modes, the log and the incoming path.
#include "ViewFixture.h"

#include "view/DumpLine.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
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

TEST_F(ViewFixture, AnEmptyOrGarbledProfileGivesTheDefaultsAndStoredChoicesComeBack)
{
    const std::vector<int> defaults{1, 1, 1, 1, 1, 1, 1, 0, 127, 0, 0, 100, 4, 0, 0, int(MIDI_MAPPER)};
    Start(2, 1);
    EXPECT_EQ(Settings(m_pView), defaults);
    EXPECT_EQ(m_pView->m_nDumpAttributes, 4);
    EXPECT_EQ(Sent(), (Msgs{0x000000C0, 0x007F07B0, 0x00400AB0})); // program 0, volume 127, pan 64
    Stop();

    kvtest::ClearProfile();
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
    EXPECT_EQ(Settings(m_pView), defaults);
    EXPECT_EQ(m_pView->m_nDumpAttributes, 1 | 4 | 8); // only the known bits stay
    Stop();

    kvtest::ClearProfile();
    for (const auto& [section, entry, value] : {std::tuple{"View", "Def", 2}, {"MIDICnf", "Channel", 9},
                                                {"MIDICnf", "Patch", 5}, {"MIDIIn", "DevID", 1},
                                                {"MIDIOut", "DevID", 0}})
        Profile::WriteProfileInt(section, entry, value);
    Start(2, 1);
    EXPECT_FALSE(m_pView->m_pLogEdit->isHidden());
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), 1u);
    EXPECT_EQ(m_pView->m_OutDevice.QueryOpenDeviceID(), 0u);
    // At start-up the program change goes out on the percussion channel too.
    EXPECT_EQ(m_pMidi->Sent(0), (Msgs{0x000005C9, 0x007F07B9, 0x00400AB9}));
}

TEST_F(ViewFixture, NoDevicesAtAllStillRuns)
{
    Start(0, 0);
    EXPECT_EQ(m_pView->m_InDevice.QueryOpenDeviceID(), MIDI_NO_DEVICE);
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_SELECT_INPUT)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_SELECT_OUTPUT)->isEnabled());
    m_pView->OnMidiData(kNoteOn60); // nothing to crash on
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(DumpLines(m_pView), 1);
}

TEST_F(ViewFixture, TheLogKeepsEveryLineAndTypedTextAcrossModesSavesAndOpens)
{
    Start();
    m_pView->m_nDumpAttributes = 0;
    m_pView->OnMidiData(kNoteOn60);
    m_pView->OnMidiData(0x00003C80);
    Command(ID_VIEW_HAND_SIGN);
    m_pView->OnMidiData(0x00004090);
    Command(ID_VIEW_MIDI_INPUT);
    const QString lines = "[Note On] Ch 01  60 100\n[Note Off] Ch 01  60 0\n[Note On] Ch 01  64 0\n";
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), lines);

    // Choosing the log again keeps what it shows, typed text included.
    m_pView->m_pLogEdit->moveCursor(QTextCursor::End);
    m_pView->m_pLogEdit->insertPlainText("typed");
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), lines + "typed");
    QTemporaryDir dir;
    const QString path = dir.filePath("lesson.kvf");
    ASSERT_TRUE(m_pFrame->SaveDocument(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), DumpLine::ToLogText(lines) + "typed");
    EXPECT_EQ(m_pFrame->windowTitle(), "lesson.kvf - Kelvora");

    Command(ID_FILE_NEW);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().isEmpty());
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(path));
    // The file's unended last line is ended, so that what is logged next
    // starts on a line of its own.
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), lines + "typed\n");
    Command(ID_VIEW_KEYBOARD);
    EXPECT_EQ(m_doc.m_strOpened, DumpLine::ToLogText(lines) + "typed\r\n");

    // Hidden, the log stays bounded and starts with a whole line.
    for (int i = 0; i < 2000; ++i)
        m_pView->AppendDumpLine(kNoteOn60);
    EXPECT_LE(m_doc.m_strLog.size(), DumpLine::kHiddenLimit + 40);
    EXPECT_TRUE(m_doc.m_strLog.startsWith("[Note On] Ch 01  60 100\r\n"));
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

    // The MIDI In switch passes everything as it came; clear flags let real time through.
    m_pView->m_bUseMIDIIn = 1;
    m_pView->m_bFilterSysRealTime = m_pView->m_bFilterActiveSensing = 0;
    m_pMidi->ClearSent();
    m_pView->OnMidiData(kNoteOn60);
    m_pView->OnMidiData(0x000000FE);
    EXPECT_EQ(Sent(), (Msgs{kNoteOn60, 0x000000FE}));
    EXPECT_EQ(DumpLines(m_pView), 4);

    // From the device's own thread every message reaches the log, in order.
    m_pView->m_pLogEdit->clear();
    for (int key = 0; key < 128; ++key)
        ASSERT_TRUE(m_pMidi->Inject(0, 0x00400090u | (uint32_t(key) << 8)));
    ASSERT_TRUE(kvtest::WaitFor([&] { return DumpLines(m_pView) == 128; }));
    const QStringList logged = m_pView->m_pLogEdit->toPlainText().split('\n');
    for (int key = 0; key < 128; ++key)
        EXPECT_EQ(logged[key], QString("[Note On] Ch 01  %1 64").arg(key));
}

TEST_F(ViewFixture, CommandStatesAndTheDevicePaneFollowTheMode)
{
    Start();
    // File commands belong to the log; the filter set-up to the keyboard and hand sign.
    for (bool log : {false, true}) {
        m_pFrame->UpdateCommandUI();
        for (unsigned id : {ID_FILE_SAVE, ID_FILE_NEW, ID_FILE_PRINT})
            EXPECT_EQ(m_pFrame->Action(id)->isEnabled(), log) << id;
        EXPECT_EQ(m_pFrame->Action(ID_MIDI_SETUP_FILTER)->isEnabled(), !log);
        EXPECT_EQ(m_pFrame->Action(ID_VIEW_KEYBOARD)->isChecked(), !log);
        EXPECT_EQ(m_pFrame->Action(ID_VIEW_MIDI_INPUT)->isChecked(), log);
        Command(ID_VIEW_MIDI_INPUT);
    }
    // The device pane names the input in the log, the output on the keyboard.
    m_pMidi->SetInputName(0, "Lesson Keyboard");
    m_pMidi->SetOutputName(MIDI_MAPPER, "Built-in Synth");
    for (const auto& [mode, shown] : {std::pair{ID_VIEW_MIDI_INPUT, "Lesson Keyboard"},
                                      {ID_VIEW_KEYBOARD, "Built-in Synth"}, {ID_VIEW_HAND_SIGN, ""}}) {
        Command(mode);
        m_pFrame->UpdateCommandUI();
        EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), shown) << mode;
    }
    // The maximised log is set in the large font.
    m_pFrame->showMaximized();
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(m_pView->m_pLogEdit->font().pointSize(), 24);
    m_pFrame->showNormal();
}

TEST_F(ViewFixture, TheVoiceAndTheModeAreStoredAndAVoiceSwitchStartsTheKeysAfresh)
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
    Command(ID_PCKEY_FEMALE);
    EXPECT_EQ(Profile::GetProfileInt("PCKey", "Male", -1), 0);
    Command(ID_VIEW_HAND_SIGN);
    Stop();
    EXPECT_EQ(Profile::GetProfileInt("View", "Def", -1), 3);
}
