#include "view/DumpLine.h"

#include "midi/MIDIShortMsg.h"
#include "platform/Settings.h"

#include <cstdlib>

namespace DumpLine {

// The profile keeps only the attribute bits there are.
static_assert(Settings::DumpAttributes.mask == (kAttrApplication | kAttrTime | kAttrDate));

QDateTime NowToTheSecond()
{
    QDateTime now = QDateTime::currentDateTime();
    const QTime t = now.time();
    now.setTime(QTime(t.hour(), t.minute(), t.second()));
    return now;
}

QString Build(uint32_t packedMsg, int attributes, const QDateTime& startTime,
              uint32_t startTicks, uint32_t nowTicks)
{
    const int a = attributes & (kAttrTime | kAttrDate);
    const int32_t diff = static_cast<int32_t>(nowTicks - startTicks);
    // |INT32_MIN| does not fit an int32; take it in 64 bits.
    const int64_t elapsed = std::llabs(static_cast<int64_t>(diff));

    QString line;
    if (a & (kAttrTime | kAttrDate)) {
        const QDateTime t = startTime.addSecs(elapsed / 1000);
        if (a & kAttrDate) {
            const QDate d = t.date();
            line += QString::asprintf("%02d-%02d-%d\t", d.day(), d.month(), d.year());
        }
        if (a & kAttrTime) {
            const QTime tm = t.time();
            line += QString::asprintf("%02d:%02d:%02d.%02d\t", tm.hour(), tm.minute(),
                                      tm.second(), int((elapsed / 10) % 100));
        }
    }
    line += DescribeShortMsg(packedMsg);
    line += kLineEnd;
    return line;
}

void TrimHiddenLog(QString& log)
{
    if (log.size() <= kHiddenLimit)
        return;
    qsizetype cut = log.indexOf(QLatin1Char('\n'), kHiddenCut);
    if (cut < 0) {
        // The line that reaches the cut point is the unfinished last one (a
        // long typed line): cut in front of it, keeping it whole.
        cut = log.lastIndexOf(QLatin1Char('\n'), kHiddenCut);
        if (cut < 0)
            return; // one line, nothing before it to drop; the next line ends it
    }
    log.remove(0, cut + 1);
}

QString ToEditText(const QString& logText)
{
    QString s = logText;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

QString ToLogText(const QString& editText)
{
    // One pass, copying the runs between line ends: opened files can be
    // megabytes long.
    const QStringView text(editText);
    const qsizetype n = text.size();
    QString s;
    s.reserve(n + n / 32 + 2);
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        s += text.mid(start, i - start);
        s += QLatin1String("\r\n");
        if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    s += text.mid(start);
    return s;
}

} // namespace DumpLine
