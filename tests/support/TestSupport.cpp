#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QThread>

namespace kvtest {

void ClearProfile()
{
    QSettings settings("Morvessa", "Kelvora");
    settings.clear();
    settings.sync();
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void Drain()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace kvtest
