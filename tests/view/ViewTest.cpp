// The form view: settings, display modes, the log and the incoming path.
#include "ViewFixture.h"

#include "platform/Profile.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextCursor>
#include <QFile>
#include "view/DumpLine.h"

namespace {

constexpr uint32_t kNoteOn60 = 0x00643C90;

int DumpLines(CTessaroView* v)
{
    v->FlushLog();
    // The edit's last line is the empty one after the newest entry.
    return v->m_pLogEdit->document()->blockCount() - 1;
}

// What an empty or unreadable profile leaves: the defaults, the first input and the synthesizer.
void ExpectDefaults(CTessaroView* v)
{
    EXPECT_EQ(v->m_nViewMode, 1);
    for (int flag : {v->m_bFilterSysRealTime, v->m_bFilterPitchBend, v->m_bFilterCtrlChange,
                     v->m_bFilterChanPressure, v->m_bFilterKeyPressure, v->m_bFilterActiveSensing})
        EXPECT_EQ(flag, 1);
    EXPECT_EQ(v->m_nChannel, 0);
    EXPECT_EQ(v->m_nVelocity, 127);
    EXPECT_EQ(v->m_nPatch, 0);
    EXPECT_EQ(v->m_bUseMIDIIn, 0);
    EXPECT_EQ(v->m_nMM, 100u);
    EXPECT_EQ(v->m_nPPM, 4u);
    EXPECT_EQ(v->m_bMale, 0);
    EXPECT_EQ(v->m_InDevice.QueryOpenDeviceID(), 0u);
    EXPECT_EQ(v->m_OutDevice.QueryOpenDeviceID(), MIDI_MAPPER);
}

} // namespace

TEST_F(ViewFixture, EmptyProfileGivesTheDefaultsAndSetsTheChannelUp)
{
    Start(2, 1);
    ExpectDefaults(m_pView);
    EXPECT_EQ(m_pView->m_nDumpAttributes, 4);
    EXPECT_FALSE(m_pView->m_pKeyboardPicture->isHidden());
    EXPECT_TRUE(m_pView->m_pLogEdit->isHidden());
    // Program 0, volume 127, pan 64 on channel 1.
    EXPECT_EQ(Sent(), (Msgs{0x000000C0, 0x007F07B0, 0x00400AB0}));
    EXPECT_EQ(m_pFrame->windowTitle(), "Untitled - Kelvora");
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_METRONOME), "MM 100 : 4");
}

TEST_F(ViewFixture, GarbageInTheProfileFallsBackToDefaults)
{
    QSettings s("Morvessa", "Kelvora");
    const std::pair<const char*, QVariant> garbage[] = {
        {"View/Def", 7},        {"View/EdFmt", 0xFF},       {"MIDIFlt/SysRlTm", 5},
        {"MIDIFlt/ActSens", "yes"}, {"MIDICnf/Channel", 16}, {"MIDICnf/Velocit", 200},
        {"MIDICnf/Patch", -2},  {"MIDICnf/UseMDIn", -1},    {"Metro/MM", 0},
        {"Metro/PPM", 49},      {"PCKey/Male", "99999999999999999999"},
        {"MIDIIn/DevID", 5},    {"MIDIOut/DevID", 3}};
    for (const auto& [key, value] : garbage)
        s.setValue(key, value);
    s.sync();
    Start(2, 1);
    ExpectDefaults(m_pView);
    EXPECT_EQ(m_pView->m_nDumpAttributes, 1 | 4 | 8); // only the known bits stay
}

TEST_F(ViewFixture, StoredChoicesAreRestored)
{
    QSettings s("Morvessa", "Kelvora");
    s.setValue("View/Def", 2);
    s.setValue("MIDICnf/Channel", 9);
    s.setValue("MIDICnf/Patch", 5);
    s.setValue("MIDIIn/DevID", 1);
    s.setValue("MIDIOut/DevID", 0);
    s.sync();
    Start(2, 1);
    EXPECT_EQ(m_pView->m_nViewMode, 2);
    EXPECT_FALSE(m_pView->m_pLogEdit->isHidden());
    EXPECT_EQ(m_pView->m_pLogCaption->text(), "MIDI Input:");
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

TEST_F(ViewFixture, ModeSwitchesKeepTheLog)
{
    Start();
    m_pView->OnMidiData(kNoteOn60);
    m_pView->OnMidiData(0x00003C80);
    Command(ID_VIEW_HAND_SIGN);
    m_pView->OnMidiData(0x00004090);
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(DumpLines(m_pView), 3);
    const QString text = m_pView->m_pLogEdit->toPlainText();
    EXPECT_TRUE(text.contains("[Note On] Ch 01  60 100\n"));
    EXPECT_TRUE(text.contains("[Note Off] Ch 01  60 0\n"));
    EXPECT_TRUE(text.contains("[Note On] Ch 01  64 0\n"));

    // Choosing the log again keeps what it shows, typed text included.
    m_pView->m_pLogEdit->appendPlainText("typed by the teacher");
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().contains("typed by the teacher"));
    Command(ID_VIEW_KEYBOARD);
    EXPECT_TRUE(m_doc.m_strLog.contains("typed by the teacher\r\n") ||
                m_doc.m_strLog.endsWith("typed by the teacher"));
    EXPECT_TRUE(m_doc.m_strLog.contains("[Note On] Ch 01  60 100\r\n"));
}

TEST_F(ViewFixture, ShownLogKeepsAtMostThreeHundredLines)
{
    Start();
    Command(ID_VIEW_MIDI_INPUT);
    for (int i = 0; i < 299; ++i)
        m_pView->AppendDumpLine(kNoteOn60);
    m_pView->AppendDumpLine(0x00003C80);
    EXPECT_EQ(DumpLines(m_pView), 300);
    // One more: the oldest 99 go first, then the new line is added.
    m_pView->AppendDumpLine(0x00004090);
    EXPECT_EQ(DumpLines(m_pView), 202);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().endsWith("[Note On] Ch 01  64 0\n"));
    // Logging cannot be undone by the user.
    EXPECT_FALSE(m_pView->m_pLogEdit->document()->isUndoAvailable());
}

TEST_F(ViewFixture, LinesGoInFrontOfTextTypedOnTheLastLine)
{
    Start();
    Command(ID_VIEW_MIDI_INPUT);
    m_pView->AppendDumpLine(kNoteOn60);
    m_pView->FlushLog();
    QTextCursor c = m_pView->m_pLogEdit->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText("note to self");
    m_pView->m_pLogEdit->setTextCursor(c);
    m_pView->AppendDumpLine(0x00003C80);
    m_pView->FlushLog();
    const QStringList lines = m_pView->m_pLogEdit->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].endsWith("[Note Off] Ch 01  60 0"));
    EXPECT_EQ(lines[2], "note to self");
}

TEST_F(ViewFixture, HiddenLogIsBounded)
{
    Start();
    m_pView->m_nDumpAttributes = 0;
    for (int i = 0; i < 2000; ++i)
        m_pView->AppendDumpLine(kNoteOn60);
    EXPECT_LE(m_doc.m_strLog.size(), DumpLine::kHiddenLimit + 40);
    EXPECT_TRUE(m_doc.m_strLog.startsWith("[Note On] Ch 01  60 100\r\n"));
}

TEST_F(ViewFixture, IncomingMessagesAreRechannelledAndFiltered)
{
    Start();
    m_pView->m_nChannel = 3;
    m_pMidi->ClearSent();
    m_pView->OnMidiData(kNoteOn60);       // note on, channel 1
    m_pView->OnMidiData(0x000005C5);      // program change, channel 6
    m_pView->OnMidiData(0x000000FE);      // active sensing: filtered
    m_pView->OnMidiData(0x000000F8);      // timing clock: filtered
    m_pView->OnMidiData(0x00000AF3);      // song select: never filtered
    EXPECT_EQ(Sent(),
              (Msgs{0x00643C93, 0x000005C5, 0x00000AF3}));
    Command(ID_VIEW_MIDI_INPUT);
    const QString log = m_pView->m_pLogEdit->toPlainText();
    EXPECT_TRUE(log.contains("[Note On] Ch 01  60 100")); // logged as received
    EXPECT_FALSE(log.contains("Active Sensing"));
    EXPECT_FALSE(log.contains("Timing Clock"));
    EXPECT_EQ(DumpLines(m_pView), 3);

    // The MIDI In switch passes everything as it came; clear flags let real time through.
    m_pView->m_bUseMIDIIn = 1;
    m_pView->m_bFilterSysRealTime = 0;
    m_pView->m_bFilterActiveSensing = 0;
    m_pMidi->ClearSent();
    m_pView->OnMidiData(kNoteOn60);
    m_pView->OnMidiData(0x000000FE);
    EXPECT_EQ(Sent(), (Msgs{kNoteOn60, 0x000000FE}));
    m_pView->FlushLog();
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().contains("Active Sensing"));
}

TEST_F(ViewFixture, InputFromTheDeviceReachesTheLogInOrder)
{
    Start();
    Command(ID_VIEW_MIDI_INPUT);
    m_pView->m_nDumpAttributes = 0;
    for (int key = 0; key < 128; ++key)
        ASSERT_TRUE(m_pMidi->Inject(0, 0x00400090u | (uint32_t(key) << 8)));
    ASSERT_TRUE(kvtest::WaitFor([&] { return DumpLines(m_pView) == 128; }));
    const QStringList lines = m_pView->m_pLogEdit->toPlainText().split('\n');
    for (int key = 0; key < 128; ++key)
        EXPECT_EQ(lines[key], QString("[Note On] Ch 01  %1 64").arg(key));
}

TEST_F(ViewFixture, CommandStatesFollowTheMode)
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
    EXPECT_FALSE(m_pFrame->Action(ID_VIEW_MIDI_TOOLBAR)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(ID_MIDI_LOG_INPUT)->isEnabled());

    // The device pane names the input in the log, the output on the keyboard.
    m_pMidi->SetInputName(0, "Lesson Keyboard");
    m_pMidi->SetOutputName(MIDI_MAPPER, "Built-in Synth");
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "Lesson Keyboard");
    Command(ID_VIEW_KEYBOARD);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "Built-in Synth");
    Command(ID_VIEW_HAND_SIGN);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->PaneText(ID_INDICATOR_DEVICE), "");
}

TEST_F(ViewFixture, CommandsWriteTheirSettings)
{
    Start();
    Command(ID_PCKEY_MALE);
    EXPECT_EQ(Profile::GetProfileInt("PCKey", "Male", -1), 1);
    Command(ID_PCKEY_FEMALE);
    EXPECT_EQ(Profile::GetProfileInt("PCKey", "Male", -1), 0);
    Command(ID_VIEW_HAND_SIGN);
    m_pFrame->close();
    EXPECT_EQ(Profile::GetProfileInt("View", "Def", -1), 3);
}

TEST_F(ViewFixture, SaveWritesTheLogAndOpenShowsIt)
{
    Start();
    m_pView->m_nDumpAttributes = 0;
    m_pView->OnMidiData(kNoteOn60);
    Command(ID_VIEW_MIDI_INPUT);
    m_pView->m_pLogEdit->moveCursor(QTextCursor::End);
    m_pView->m_pLogEdit->insertPlainText("typed");
    QTemporaryDir dir;
    const QString path = dir.filePath("lesson.kvf");
    ASSERT_TRUE(m_pFrame->SaveDocument(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Note On] Ch 01  60 100\r\ntyped"));
    EXPECT_EQ(m_pFrame->windowTitle(), "lesson.kvf - Kelvora");

    Command(ID_FILE_NEW);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().isEmpty());
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(path));
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), "[Note On] Ch 01  60 100\ntyped");
}

TEST_F(ViewFixture, MaximisedLogUsesTheLargeFont)
{
    Start();
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(m_pView->m_pLogEdit->font().pointSize(), 10);
    m_pFrame->showMaximized();
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(m_pView->m_pLogEdit->font().pointSize(), 24);
    m_pFrame->showNormal();
}

TEST_F(ViewFixture, VoiceSwitchStartsTheKeyDisplayAfresh)
{
    Start();
    m_pView->AnimateMessage(0x007F4090); // E shown down
    ASSERT_TRUE(m_pView->m_GUIKeySlots[4].IsPressed());
    Command(ID_PCKEY_MALE);
    for (const CGUIKeySlot& slot : m_pView->m_GUIKeySlots)
        EXPECT_FALSE(slot.IsPressed());
    // Its note-off, now read in the male voice, finds nothing stuck either.
    m_pView->AnimateMessage(0x00004080);
    for (const CGUIKeySlot& slot : m_pView->m_GUIKeySlots)
        EXPECT_FALSE(slot.IsPressed());
}
