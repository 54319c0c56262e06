// The shown log's buffer on a plain text document: batches trimmed exactly as
// lines one at a time would be, the edit's character limit, and an opened
// file's lines, which no limit ever drops.
#include "view/CLogBuffer.h"
#include "view/CLogDocument.h"
#include "view/DumpLine.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

struct TestLog : CLogDocument {
    QString GetTitle() const override { return QStringLiteral("Untitled"); }
};

QString Line(int i) { return QStringLiteral("line %1\n").arg(i); }
int Lines(const QTextDocument& doc) { return doc.blockCount() - 1; }

struct LogBufferTest : ::testing::Test {
    QTextDocument doc;
    TestLog logDoc;
    CLogBuffer log{&doc, &logDoc};
};

TEST_F(LogBufferTest, BatchedLinesAreTrimmedAsIfAddedOneByOneAndTheCharacterLimitCutsWholeLines)
{
    for (int i = 0; i < DumpLine::kMaxShownLines - 1; ++i)
        log.Queue(Line(i));
    log.Flush();
    log.Trim(); // 300 blocks: nothing goes
    EXPECT_EQ(Lines(doc), 299);
    doc.setPlainText(doc.toPlainText() + Line(299) + Line(300));
    log.Trim();
    EXPECT_EQ(Lines(doc), 301 - DumpLine::kDroppedLines);
    EXPECT_TRUE(doc.toPlainText().startsWith(Line(DumpLine::kDroppedLines)));

    // 250 in the edit, then 260 at once: one by one, the 51st would drop 99
    // (edit lines), the 150th another 99, the 249th another 99 (from the batch).
    doc.clear();
    for (int i = 0; i < 250; ++i)
        log.Queue(Line(i));
    log.Flush();
    for (int i = 0; i < 260; ++i)
        log.Queue(Line(1000 + i));
    const int end = log.Flush();
    EXPECT_EQ(Lines(doc), 213); // 202 after the third cut, then 11 more
    EXPECT_TRUE(doc.toPlainText().startsWith(Line(1047)));
    EXPECT_TRUE(doc.toPlainText().endsWith(Line(1259)));
    EXPECT_EQ(end, doc.characterCount() - 1); // after the newest line
    EXPECT_FALSE(doc.isUndoAvailable());

    // Fewer lines than the line limit, more characters than the edit holds:
    // the oldest whole lines go, before typed text.
    doc.setPlainText(QStringLiteral("typed"));
    const QString longLine = QString(1000, QLatin1Char('x')) + QLatin1Char('\n');
    for (int i = 0; i < 70; ++i)
        log.Queue(QString::number(i) + longLine);
    log.Flush();
    EXPECT_LE(doc.characterCount(), CLogBuffer::kEditLimit);
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.startsWith(QString::number(70 - Lines(doc)) + "xx")) << "a line was split";
    EXPECT_TRUE(text.endsWith("69" + longLine + "typed"));
}

TEST_F(LogBufferTest, AnOpenedFileIsNeverCutOnlyItsFirstLinesLeaveTheEdit)
{
    // 2,000 lines of 40 characters: more than the edit shows of a file.
    QString file;
    for (int i = 0; i < 2000; ++i)
        file += QString::asprintf("opened %031d\r\n", i);
    logDoc.m_strOpened = file;
    log.Show();
    const int shownLines = Lines(doc);
    EXPECT_LE(doc.characterCount(), CLogBuffer::kShownOpenedLimit + 1);
    EXPECT_EQ(log.HiddenOpenedLines() + shownLines, 2000);
    EXPECT_TRUE(doc.toPlainText().endsWith(QString::asprintf("opened %031d\n", 1999)));

    // The line limit counts and cuts the live lines only.
    for (int i = 0; i < 400; ++i) {
        log.Queue(Line(i));
        log.Flush();
    }
    log.Trim();
    EXPECT_EQ(Lines(doc), shownLines + 400 - 2 * DumpLine::kDroppedLines);
    EXPECT_TRUE(doc.findBlockByNumber(shownLines).text() == "line 198");
    // A user's edit of a shown opened line stays the user's.
    QTextCursor(doc.findBlockByNumber(shownLines - 1)).insertText("edited ");

    // A burst of long lines: the live ones go first, then the opened file's
    // first shown lines leave the edit for the document, whole, never the bin.
    const QString longLine = QString(3000, QLatin1Char('y')) + QLatin1Char('\n');
    for (int i = 0; i < 30; ++i)
        log.Queue(longLine);
    log.Flush();
    EXPECT_LE(doc.characterCount(), CLogBuffer::kEditLimit);
    EXPECT_GT(log.HiddenOpenedLines() + shownLines, 2000);
    log.Store();
    QString expected = file;
    expected.insert(expected.lastIndexOf("opened"), "edited ");
    EXPECT_TRUE(logDoc.m_strOpened == expected) << "the opened file lost or changed a line";
    EXPECT_TRUE(logDoc.m_strLog.startsWith(longLine.left(3000) + "\r\n"));
    EXPECT_EQ(logDoc.m_strLog.count("yyy\r\n"), Lines(doc) - (2000 - log.HiddenOpenedLines()));

    // One line longer than the edit shows: nothing of it shows, all of it is kept.
    logDoc.m_strOpened = QString(100000, QLatin1Char('z')) + "\r\n";
    logDoc.m_strLog.clear();
    log.Show();
    EXPECT_EQ(log.HiddenOpenedLines(), 1);
    EXPECT_EQ(doc.characterCount(), 1);
    log.Store();
    EXPECT_EQ(logDoc.m_strOpened.size(), 100002);
}

} // namespace
