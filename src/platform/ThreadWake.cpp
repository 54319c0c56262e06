#include "platform/ThreadWake.h"

#include <QSocketNotifier>

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

CThreadWake::CThreadWake(QObject* parent)
    : QObject(parent)
{
    m_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_fd >= 0) {
        m_pNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_pNotifier, &QSocketNotifier::activated, this, &CThreadWake::OnReadable);
    }
}

CThreadWake::~CThreadWake()
{
    delete m_pNotifier;
    if (m_fd >= 0)
        close(m_fd);
}

void CThreadWake::Post() const noexcept
{
    if (m_fd < 0)
        return;
    const uint64_t one = 1;
    // Fails only when the counter is about to overflow: a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t n = write(m_fd, &one, sizeof one);
}

void CThreadWake::OnReadable()
{
    uint64_t count = 0;
    if (read(m_fd, &count, sizeof count) != static_cast<ssize_t>(sizeof count) || count == 0)
        return;
    emit Woken();
}
