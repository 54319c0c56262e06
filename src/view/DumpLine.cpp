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
    const qsizetype lf = log.indexOf(QLatin1Char('\n'), kHiddenCut);
    if (lf < 0) {
        // One enormous line (typed, never logged): nothing to keep whole.
        log.clear();
        return;
    }
    log.remove(0, lf + 1);
}

QString ToEditText(const QString& logText)
{
    QString s = logText;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return s;
}

QString ToLogText(const QString& editText)
{
    QString s = editText;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return s;
}

} // namespace DumpLine
