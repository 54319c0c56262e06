// The shown log's buffer on a plain text document: batches trimmed exactly as
// lines one at a time would be, and the edit's character limit.
#include "view/CLogBuffer.h"
#include "view/DumpLine.h"

#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

QString Line(int i) { return QStringLiteral("line %1\n").arg(i); }
int Lines(const QTextDocument& doc) { return doc.blockCount() - 1; }

TEST(LogBufferTest, BatchedLinesAreTrimmedAsIfAddedOneByOne)
{
    QTextDocument doc;
    CLogBuffer log(&doc);
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
}

TEST(LogBufferTest, TheCharacterLimitDropsTheOldestWholeLinesBeforeTypedText)
{
    QTextDocument doc;
    CLogBuffer log(&doc);
    doc.setPlainText(QStringLiteral("typed"));
    // Fewer lines than the line limit, more characters than the edit holds.
    const QString longLine = QString(1000, QLatin1Char('x')) + QLatin1Char('\n');
    for (int i = 0; i < 70; ++i)
        log.Queue(QString::number(i) + longLine);
    log.Flush();
    EXPECT_LE(doc.characterCount(), CLogBuffer::kEditLimit);
    const QString text = doc.toPlainText();
    EXPECT_TRUE(text.startsWith(QString::number(70 - Lines(doc)) + "xx")) << "a line was split";
    EXPECT_TRUE(text.endsWith("69" + longLine + "typed"));
}

} // namespace
