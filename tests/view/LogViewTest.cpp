// The log in the window: typed text and opened files kept through the modes,
// the limits and saves; pastes that do not fit are refused whole.
#include "MessageBoxCatcher.h"
#include "ViewFixture.h"

#include "view/CLogBuffer.h"
#include "view/DumpLine.h"

#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>

namespace {

uint32_t Msg(int i) { return MakeNoteOn(0, uint8_t(i % 128), uint8_t(i / 128 + 1)); }
QString LineOf(int i) { return DumpLine::Build(Msg(i), 0, {}, 0, 0); }

QByteArray WriteFile(const QString& path, int lines, int width)
{
    QByteArray bytes;
    for (int i = 0; i < lines; ++i)
        bytes += QByteArray::number(i).rightJustified(width, '0') + "\t[Note On] Ch 01  60 100\r\n";
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return bytes;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

TEST_F(ViewFixture, TheLogKeepsTypedTextAndOpenedFilesEveryLineThroughThePaneTheLimitsAndASave)
{
    Start();
    m_pView->m_nDumpAttributes = 0;
    QTemporaryDir dir;
    m_pView->OnMidiData(0x00643C90);
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
    const QString lesson = dir.filePath("lesson.kvf");
    ASSERT_TRUE(m_pFrame->SaveDocument(lesson));
    EXPECT_EQ(QString::fromUtf8(ReadFile(lesson)), DumpLine::ToLogText(lines) + "typed");
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(lesson));
    // The file's unended last line is ended, so that what is logged next
    // starts on a line of its own.
    EXPECT_EQ(m_pView->m_pLogEdit->toPlainText(), lines + "typed\n");

    // A 1 MB file: the edit shows its last lines within its limit and says
    // how many more there are; the next message is logged after them; a save
    // writes every line.
    const QByteArray big = WriteFile(dir.filePath("big.kvf"), 30000, 10);
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(dir.filePath("big.kvf")));
    Command(ID_VIEW_MIDI_INPUT);
    m_pView->OnMidiData(Msg(1));
    m_pView->FlushLog();
    EXPECT_LE(m_pView->m_pLogEdit->document()->characterCount(), CLogBuffer::kEditLimit);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().endsWith("0000029999\t[Note On] Ch 01  60 100\n" +
                                                             DumpLine::ToEditText(LineOf(1))));
    EXPECT_TRUE(m_pView->m_pLogCaption->text().contains(" lines are kept and saved"));
    ASSERT_TRUE(m_pFrame->SaveDocument(dir.filePath("saved.kvf")));
    EXPECT_TRUE(ReadFile(dir.filePath("saved.kvf")) == big + LineOf(1).toUtf8());

    // Hidden, the lines logged stay bounded and start with a whole line; the
    // file stays whole before them.
    Command(ID_VIEW_KEYBOARD);
    for (int i = 0; i < 2000; ++i)
        m_pView->OnMidiData(Msg(i));
    ASSERT_TRUE(m_pFrame->SaveDocument(dir.filePath("saved.kvf")));
    const QByteArray saved = ReadFile(dir.filePath("saved.kvf"));
    EXPECT_TRUE(saved.startsWith(big));
    EXPECT_LE(saved.size() - big.size(), DumpLine::kHiddenLimit + 40);
    EXPECT_TRUE(saved.mid(big.size()).startsWith("[Note On] Ch 01  "));
    EXPECT_TRUE(saved.endsWith(LineOf(1999).toUtf8()));
}

TEST_F(ViewFixture, EditCommandsActOnTheLogOnlyAndAPasteThatDoesNotFitIsRefusedWholeAndTheUserTold)
{
    Start();
    Activate(m_pFrame);
    Command(ID_VIEW_MIDI_INPUT);
    QPlainTextEdit* edit = m_pView->m_pLogEdit;
    const auto focusLog = [&] {
        edit->setFocus();
        return kvtest::WaitFor([&] { return edit->hasFocus(); });
    };
    ASSERT_TRUE(focusLog());
    edit->setPlainText("logged\n");
    edit->moveCursor(QTextCursor::End);
    QApplication::clipboard()->setText(QString(70000, QLatin1Char('p')));
    {
        MessageBoxCatcher box;
        m_pFrame->UpdateCommandUI();
        Command(ID_EDIT_PASTE);
        ASSERT_TRUE(kvtest::WaitFor([&] { return box.Seen(); }));
        EXPECT_TRUE(box.texts[0].contains(QLocale().toString(70000))) << qPrintable(box.texts[0]);
    }
    EXPECT_EQ(edit->toPlainText(), "logged\n");
    Activate(m_pFrame); // back from the message box
    ASSERT_TRUE(focusLog());
    QApplication::clipboard()->setText("typed\r\nmore");
    m_pFrame->UpdateCommandUI();
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(edit->toPlainText(), "logged\ntyped\nmore");

    Command(ID_VIEW_KEYBOARD);
    m_pFrame->UpdateCommandUI();
    for (unsigned id : {ID_EDIT_COPY, ID_EDIT_CUT, ID_EDIT_PASTE, ID_EDIT_UNDO})
        EXPECT_FALSE(m_pFrame->Action(id)->isEnabled()) << id;
}
