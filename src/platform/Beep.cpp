#include "platform/Beep.h"

#include <QApplication>
#include <QMetaObject>
#include <QSocketNotifier>

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

class CSystemBell : public IBeep {
public:
    void Beep() override { QApplication::beep(); }
};

} // namespace

std::unique_ptr<IBeep> ServiceDefault<IBeep>::Make()
{
    return std::make_unique<CSystemBell>();
}

CBeepRelay::CBeepRelay(std::function<void()> sound, QObject* parent)
    : QObject(parent)
    , m_sound(std::move(sound))
{
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd >= 0) {
        m_pNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CBeepRelay::OnReady);
    }
}

CBeepRelay::~CBeepRelay()
{
    delete m_pNotifier;
    if (m_fd >= 0)
        close(m_fd);
}

void CBeepRelay::Post()
{
    if (m_fd >= 0) {
        const uint64_t one = 1;
        // Fails only when the counter is about to overflow: beeps are pending anyway.
        [[maybe_unused]] const ssize_t n = write(m_fd, &one, sizeof one);
        return;
    }
    // No eventfd to be had (out of descriptors): a queued call still gets there.
    QMetaObject::invokeMethod(this, &CBeepRelay::OnReady, Qt::QueuedConnection);
}

void CBeepRelay::OnReady()
{
    if (m_fd >= 0) {
        uint64_t count = 0;
        if (read(m_fd, &count, sizeof count) != static_cast<ssize_t>(sizeof count) || count == 0)
            return;
    }
    if (m_sound)
        m_sound();
}
