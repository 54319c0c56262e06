// Log lines and the bounds of the hidden log.
#include "view/DumpLine.h"

#include <gtest/gtest.h>

namespace {

const QDateTime kStart(QDate(2026, 3, 7), QTime(14, 5, 9));
constexpr uint32_t kNoteOn = 0x00643C90; // note on, channel 1, key 60, velocity 100

} // namespace

TEST(DumpLine, AttributesChooseThePrefixAndElapsedTicksAdvanceTheClock)
{
    const uint32_t toMidnight = (9 * 3600 + 54 * 60 + 51) * 1000u;
    const struct {
        int attrs;
        uint32_t startTicks, nowTicks;
        const char* prefix;
    } cases[] = {
        {4, 1000, 1270, "14:05:09.27\t"},
        {8 | 4, 1000, 1270, "07-03-2026\t14:05:09.27\t"},
        {8, 1000, 1270, "07-03-2026\t"},
        {0, 1000, 1270, ""},
        {1, 1000, 1270, ""},                 // the application bit is kept but adds nothing
        {1 | 4, 1000, 1270, "14:05:09.27\t"},
        {4, 1000, 1990, "14:05:09.99\t"},    // hundredths wrap from 99 to 00
        {4, 1000, 2000, "14:05:10.00\t"},
        {4, 1000, 1009, "14:05:09.00\t"},
        {8 | 4, 0, toMidnight + 50, "08-03-2026\t00:00:00.05\t"}, // past midnight the date moves on
        {4, 0xFFFFFF00u, 0xFFFFFF00u + 1500, "14:05:10.50\t"},     // the tick count wraps at 2^32
        {4, 5000, 3000, "14:05:11.00\t"}, // a clock gone backwards counts as forwards
    };
    for (const auto& c : cases)
        EXPECT_EQ(DumpLine::Build(kNoteOn, c.attrs, kStart, c.startTicks, c.nowTicks).toStdString(),
                  std::string(c.prefix) + "[Note On] Ch 01  60 100\r\n")
            << c.attrs << " " << c.nowTicks - c.startTicks;
}

TEST(DumpLine, HiddenLogIsCutAtALineBoundary)
{
    // 25000 characters exactly stay.
    QString atLimit(DumpLine::kHiddenLimit, QLatin1Char('x'));
    QString copy = atLimit;
    DumpLine::TrimHiddenLog(copy);
    EXPECT_EQ(copy, atLimit);

    // Lines of 50 characters (48 + CR LF): 501 lines = 25050 characters.
    QString log;
    for (int i = 0; i < 501; ++i)
        log += QString::asprintf("%046d", i) + QLatin1String("ab\r\n");
    ASSERT_EQ(log.size(), 25050);
    DumpLine::TrimHiddenLog(log);
    // Character 10000 starts line 200; the first line break at or after it ends
    // that line, so lines 0..200 go and the log starts with a whole line 201.
    EXPECT_TRUE(log.startsWith(QString::asprintf("%046d", 201)));
    EXPECT_EQ(log.size(), 25050 - 201 * 50);
    EXPECT_TRUE(log.endsWith(QLatin1String("ab\r\n")));

    // A single enormous line has no boundary to keep.
    QString oneLine(30000, QLatin1Char('y'));
    DumpLine::TrimHiddenLog(oneLine);
    EXPECT_TRUE(oneLine.isEmpty());
}

TEST(DumpLine, EditAndLogLineEnds)
{
    EXPECT_EQ(DumpLine::ToEditText("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(DumpLine::ToLogText("a\nb\n"), "a\r\nb\r\n");
    // Mixed or lone carriage returns all become CR LF, never CR CR LF.
    EXPECT_EQ(DumpLine::ToLogText("a\r\nb\rc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(DumpLine::ToLogText(DumpLine::ToEditText("x\r\ny\r\n")), "x\r\ny\r\n");
}
