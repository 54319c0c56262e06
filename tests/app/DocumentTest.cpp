// The document: saving writes exactly the log, reading brings it back, and
// neither fails quietly.
#include "app/CTessaroDoc.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Document, SaveWritesExactlyTheLogWithCrLfReadBringsItBackAndFailuresAreReported)
{
    QTemporaryDir dir;
    CTessaroDoc doc;
    const QString path = dir.filePath("log.kvf");
    doc.m_strLog = QStringLiteral("14:05:09.27\t[Note On] Ch 01  60 100\r\ntyped é\nmore");
    ASSERT_TRUE(doc.WriteLog(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("14:05:09.27\t[Note On] Ch 01  60 100\r\ntyped \xc3\xa9\r\nmore"));
    QString back;
    ASSERT_TRUE(CTessaroDoc::ReadLog(path, back));
    EXPECT_EQ(back, QStringLiteral("14:05:09.27\t[Note On] Ch 01  60 100\r\ntyped é\r\nmore"));

    // Failures are reported and leave what was read alone.
    QString error;
    EXPECT_FALSE(doc.WriteLog(dir.filePath("no/such/folder/log.kvf"), &error));
    EXPECT_FALSE(error.isEmpty());
    QString text = "unchanged";
    EXPECT_FALSE(CTessaroDoc::ReadLog(dir.filePath("missing.kvf"), text, &error));
    EXPECT_EQ(text, "unchanged");

    // Binary garbage reads as text without its NULs, never as a crash.
    QFile junk(dir.filePath("junk.kvf"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray("a\0b\xff\xfe\r\n", 7));
    junk.close();
    ASSERT_TRUE(CTessaroDoc::ReadLog(junk.fileName(), text));
    EXPECT_FALSE(text.contains(QChar(0)));
    EXPECT_TRUE(text.startsWith("ab"));
}
