#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
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

std::vector<int> ClickVelocities(const std::vector<uint32_t>& sent)
{
    constexpr uint32_t kClickOff = 0x00004389; // note-off, channel 10, note 67
    std::vector<int> velocities;
    for (size_t i = 0; i < sent.size(); ++i) {
        if ((sent[i] & 0xFF) != 0x99)
            continue;
        EXPECT_EQ((sent[i] >> 8) & 0xFF, 67u);
        velocities.push_back(static_cast<int>((sent[i] >> 16) & 0xFF));
        EXPECT_TRUE(i + 1 < sent.size() && sent[i + 1] == kClickOff);
    }
    return velocities;
}

} // namespace kvtest
