// Log lines and the bounds of the hidden log.
#include "view/DumpLine.h"

#include <gtest/gtest.h>

TEST(DumpLine, AttributesChooseThePrefixAndElapsedTicksAdvanceTheClock)
{
    const QDateTime start(QDate(2026, 3, 7), QTime(14, 5, 9));
    const uint32_t toMidnight = (9 * 3600 + 54 * 60 + 51) * 1000u;
    const struct {
        int attrs;
        uint32_t startTicks, nowTicks;
        const char* prefix;
    } cases[] = {
        {8 | 4, 1000, 1270, "07-03-2026\t14:05:09.27\t"},
        {1, 1000, 1270, ""},                  // the application bit is kept but adds nothing
        {4, 1000, 2009, "14:05:10.00\t"},     // hundredths carry into the seconds, cut, not rounded
        {8 | 4, 0, toMidnight + 50, "08-03-2026\t00:00:00.05\t"}, // past midnight the date moves on
        {4, 0xFFFFFF00u, 0xFFFFFF00u + 1500, "14:05:10.50\t"},     // the tick count wraps at 2^32
        {4, 5000, 3000, "14:05:11.00\t"}, // a clock gone backwards counts as forwards
    };
    for (const auto& c : cases)
        EXPECT_EQ(DumpLine::Build(0x00643C90, c.attrs, start, c.startTicks, c.nowTicks).toStdString(),
                  std::string(c.prefix) + "[Note On] Ch 01  60 100\r\n")
            << c.attrs << " " << c.nowTicks - c.startTicks;
}

TEST(DumpLine, HiddenLogIsCutAtALineBoundaryAndLineEndsConvert)
{
    QString atLimit(DumpLine::kHiddenLimit, QLatin1Char('x'));
    DumpLine::TrimHiddenLog(atLimit);
    EXPECT_EQ(atLimit.size(), DumpLine::kHiddenLimit); // exactly at the limit: it stays

    // 501 lines of 50 characters: the cut point, character 10000, lies at the
    // start of line 200, whose end is the first break after it: 0..200 go.
    QString log;
    for (int i = 0; i < 501; ++i)
        log += QString::asprintf("%046d", i) + QLatin1String("ab\r\n");
    DumpLine::TrimHiddenLog(log);
    EXPECT_TRUE(log.startsWith(QString::asprintf("%046d", 201)));
    EXPECT_EQ(log.size(), (501 - 201) * 50);

    // A long typed last line reaches past the cut point: the whole lines
    // before it go, it stays whole.
    log = QString(5000, QLatin1Char('a')) + "\r\n" + QString(4000, QLatin1Char('b')) + "\r\n" +
          QString(20000, QLatin1Char('t'));
    DumpLine::TrimHiddenLog(log);
    EXPECT_EQ(log, QString(20000, QLatin1Char('t')));

    // Mixed or lone carriage returns all become CR LF, never CR CR LF.
    EXPECT_EQ(DumpLine::ToLogText("a\r\nb\rc\n"), "a\r\nb\r\nc\r\n");
}
