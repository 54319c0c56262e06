#pragma once
// An X server of the test's own: Xvfb picks a free display itself and tells
// its number, so tests never take a display another program holds.
#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

namespace kvtest {

// Starts Xvfb in `x` and returns its display (":N"); empty when it did not
// come up within ten seconds.
inline QString StartXvfb(QProcess& x)
{
    x.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    if (!x.waitForStarted(5000))
        return QString();
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (t.elapsed() < 10000 && !out.contains('\n')) {
        x.waitForReadyRead(100);
        out += x.readAllStandardOutput();
    }
    const QString number = QString::fromLatin1(out).trimmed();
    return number.isEmpty() ? QString() : QLatin1Char(':') + number;
}

} // namespace kvtest
