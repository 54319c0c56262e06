#include "app/CSignalNotifier.h"

#include <QPointer>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

// All the handler may touch: the pipe's write end and the count.
std::atomic<int> g_nWriteFd{-1};
std::atomic<int> g_nReceived{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free atomics");

// Runs on whichever thread the kernel chose, between any two instructions of
// it: only async-signal-safe calls here.
void OnSignal(int signalNumber)
{
    const int savedErrno = errno;
    if (g_nReceived.fetch_add(1) + 1 >= CSignalNotifier::kSignalsBeforeDefault) {
        // The signal stays blocked until this handler returns; by then its
        // default action is back and ends the process.
        struct sigaction byDefault = {};
        byDefault.sa_handler = SIG_DFL;
        sigemptyset(&byDefault.sa_mask);
        sigaction(signalNumber, &byDefault, nullptr);
        raise(signalNumber);
    } else if (const int fd = g_nWriteFd.load(); fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // Never blocks: with the pipe full, the bytes already waiting will do.
        [[maybe_unused]] const ssize_t written = write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

CSignalNotifier::CSignalNotifier(const std::vector<int>& signalNumbers, QObject* parent)
    : QObject(parent)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_nReceived = 0;
    g_nWriteFd = fds[1];
    m_nReadFd = fds[0];
    m_pNotifier = new QSocketNotifier(m_nReadFd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &CSignalNotifier::ReadPipe);

    struct sigaction ours = {};
    ours.sa_handler = OnSignal;
    sigemptyset(&ours.sa_mask);
    for (const int s : signalNumbers)
        sigaddset(&ours.sa_mask, s);
    // Other threads' system calls (JACK's, the metronome's) carry on.
    ours.sa_flags = SA_RESTART;
    bool all = true;
    for (const int s : signalNumbers) {
        struct sigaction previous = {};
        if (sigaction(s, nullptr, &previous) != 0) {
            all = false;
            continue;
        }
        // Started with the signal ignored (nohup, a background job of a
        // script): the starter meant it, so it stays ignored.
        if (previous.sa_handler == SIG_IGN)
            continue;
        if (sigaction(s, &ours, nullptr) != 0) {
            all = false;
            continue;
        }
        m_signals.push_back(s);
        m_previous.push_back(previous);
    }
    m_bInstalled = all;
}

CSignalNotifier::~CSignalNotifier()
{
    for (size_t i = 0; i < m_signals.size(); ++i)
        sigaction(m_signals[i], &m_previous[i], nullptr);
    delete m_pNotifier;
    if (m_nReadFd >= 0) {
        const int writeFd = g_nWriteFd.exchange(-1);
        close(writeFd);
        close(m_nReadFd);
    }
}

void CSignalNotifier::ReadPipe()
{
    // A receiver may end the program's life, and this object's, at once.
    const QPointer<CSignalNotifier> alive(this);
    unsigned char bytes[64];
    ssize_t n;
    while ((n = read(m_nReadFd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n && alive; ++i)
            emit Received(bytes[i]);
        if (!alive)
            return;
    }
}
