#pragma once
// The text of one log line and the bounds that keep the log from growing without end.
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace DumpLine {

constexpr int kAttrApplication = 1;
constexpr int kAttrTime = 4;
constexpr int kAttrDate = 8;

// Log lines end with a carriage return and a line feed, as saved files do.
inline const QString kLineEnd = QStringLiteral("\r\n");

// The origin of the log's times: now, to the whole second (the hundredths of
// a line come from the tick count).
QDateTime NowToTheSecond();

// The line for a packed message: optional date and time (attributes), the
// message text and CR LF. The time is startTime plus the ticks elapsed since
// startTicks; hundredths come from the ticks.
QString Build(uint32_t packedMsg, int attributes, const QDateTime& startTime,
              uint32_t startTicks, uint32_t nowTicks);

// The hidden log: past kHiddenLimit characters, the oldest part goes, up to the
// end of the line that reaches character kHiddenCut, so no line is ever split.
// When that line is the last one (typed, not yet ended), the cut is made at its
// start instead: the lines before it go, it stays whole.
constexpr int kHiddenLimit = 25000;
constexpr int kHiddenCut = 10000;
void TrimHiddenLog(QString& log);

// The shown log keeps at most kMaxShownLines lines; past that the oldest
// kDroppedLines go at once.
constexpr int kMaxShownLines = 300;
constexpr int kDroppedLines = 99;

// Log text as the edit control holds it (LF) and as the document keeps it (CR LF:
// lone CRs and LFs become CR LF).
QString ToEditText(const QString& logText);
QString ToLogText(const QString& editText);

} // namespace DumpLine
