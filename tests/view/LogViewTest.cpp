// The log in the window: an opened file keeps every line through the log
// pane, the log's limits and a save; pastes that do not fit are refused
// whole; the tab stops.
#include "MessageBoxCatcher.h"
#include "ViewFixture.h"

#include "dialogs/DialogUnits.h"
#include "view/CLogBuffer.h"
#include "view/DumpLine.h"

#include <QClipboard>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextOption>

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

TEST_F(ViewFixture, AnOpenedFileKeepsEveryLineThroughThePaneTheLimitsAndASave)
{
    Start();
    m_pView->m_nDumpAttributes = 0;
    QTemporaryDir dir;

    // 400 lines opened, the log pane entered, 350 messages logged: the file
    // stays whole; of the logged lines the last 251 stay, as one at a time.
    const QByteArray small = WriteFile(dir.filePath("small.kvf"), 400, 8);
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(dir.filePath("small.kvf")));
    Command(ID_VIEW_MIDI_INPUT);
    EXPECT_EQ(m_pView->m_pLogEdit->document()->blockCount(), 401);
    for (int i = 0; i < 350; ++i)
        m_pView->OnMidiData(Msg(i));
    ASSERT_TRUE(m_pFrame->SaveDocument(dir.filePath("saved.kvf")));
    QString logged;
    for (int i = 99; i < 350; ++i)
        logged += LineOf(i);
    EXPECT_TRUE(ReadFile(dir.filePath("saved.kvf")) == small + logged.toUtf8());

    // A 1 MB file: the edit shows its last lines within its limit and says
    // how many more there are; the next message is logged after them; a save
    // writes every line.
    const QByteArray big = WriteFile(dir.filePath("big.kvf"), 30000, 10);
    ASSERT_TRUE(m_pFrame->OpenDocumentFile(dir.filePath("big.kvf")));
    m_pView->OnMidiData(Msg(1));
    m_pView->FlushLog();
    EXPECT_LE(m_pView->m_pLogEdit->document()->characterCount(), CLogBuffer::kEditLimit);
    EXPECT_TRUE(m_pView->m_pLogEdit->toPlainText().endsWith("0000029999\t[Note On] Ch 01  60 100\n" +
                                                             DumpLine::ToEditText(LineOf(1))));
    EXPECT_TRUE(m_pView->m_pLogCaption->text().contains(" lines are kept and saved"));
    ASSERT_TRUE(m_pFrame->SaveDocument(dir.filePath("saved.kvf")));
    EXPECT_TRUE(ReadFile(dir.filePath("saved.kvf")) == big + LineOf(1).toUtf8());

    // Hidden, the lines logged stay bounded; the file stays whole before them.
    Command(ID_VIEW_KEYBOARD);
    for (int i = 0; i < 2000; ++i)
        m_pView->OnMidiData(Msg(i));
    ASSERT_TRUE(m_pFrame->SaveDocument(dir.filePath("saved.kvf")));
    const QByteArray saved = ReadFile(dir.filePath("saved.kvf"));
    EXPECT_TRUE(saved.startsWith(big));
    EXPECT_LE(saved.size() - big.size(), DumpLine::kHiddenLimit + 40);
    EXPECT_TRUE(saved.endsWith(LineOf(1999).toUtf8()));
}

TEST_F(ViewFixture, APasteThatDoesNotFitIsRefusedWholeAndTheUserToldAndTheTabStopsAreFour)
{
    Start();
    Activate(m_pFrame);
    Command(ID_VIEW_MIDI_INPUT);
    QPlainTextEdit* edit = m_pView->m_pLogEdit;
    edit->setFocus();
    ASSERT_TRUE(kvtest::WaitFor([&] { return edit->hasFocus(); }));
    edit->setPlainText("logged\n");
    edit->moveCursor(QTextCursor::End);

    QApplication::clipboard()->setText(QString(70000, QLatin1Char('p')));
    {
        MessageBoxCatcher box;
        m_pFrame->UpdateCommandUI();
        Command(ID_EDIT_PASTE);
        ASSERT_TRUE(kvtest::WaitFor([&] { return box.seen; }));
        EXPECT_TRUE(box.text.contains(QLocale().toString(70000))) << qPrintable(box.text);
    }
    EXPECT_EQ(edit->toPlainText(), "logged\n");
    Activate(m_pFrame); // back from the message box
    edit->setFocus();
    ASSERT_TRUE(kvtest::WaitFor([&] { return edit->hasFocus(); }));
    QApplication::clipboard()->setText("typed\r\nmore");
    m_pFrame->UpdateCommandUI();
    Command(ID_EDIT_PASTE);
    EXPECT_EQ(edit->toPlainText(), "logged\ntyped\nmore");

    const CDialogUnits du(m_pView->font());
    const QList<QTextOption::Tab> tabs = edit->document()->defaultTextOption().tabs();
    ASSERT_EQ(tabs.size(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs[i].position, du.X(43 * (i + 1)));
}
