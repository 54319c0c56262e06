#include "platform/AlsaAnnounceWatch.h"

#include <QLoggingCategory>

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcRtMidi)

CAlsaAnnounceWatch::CAlsaAnnounceWatch(const char* clientName, std::function<void()> onChange,
                                       std::function<void()> onStopped)
    : m_onChange(std::move(onChange)), m_onStopped(std::move(onStopped))
{
    if (!Open(clientName)) {
        Close();
        return;
    }
    m_bRunning.store(true);
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::exception& e) {
        qCDebug(lcRtMidi, "no thread for ALSA announcements: %s", e.what());
        m_bRunning.store(false);
        Close();
    }
}

CAlsaAnnounceWatch::~CAlsaAnnounceWatch()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        // Cannot fail short of a full counter, which one write per watch never reaches.
        [[maybe_unused]] const ssize_t written = write(m_nWakeFd, &one, sizeof one);
        m_thread.join();
    }
    Close();
}

bool CAlsaAnnounceWatch::ChangesPortList(int eventType, int sourceClient)
{
    if (sourceClient != SND_SEQ_CLIENT_SYSTEM)
        return false;
    switch (eventType) {
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_EXIT:
    case SND_SEQ_EVENT_CLIENT_CHANGE: // renamed: the names we list by change
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_EXIT:
    case SND_SEQ_EVENT_PORT_CHANGE:   // renamed, or its capabilities changed
        return true;
    default:
        return false;
    }
}

bool CAlsaAnnounceWatch::Open(const char* clientName)
{
    if (access("/dev/snd/seq", R_OK | W_OK) != 0)
        return false;
    snd_seq_t* seq = nullptr;
    // Non-blocking, so that reading stops when the buffer is empty and only
    // poll() ever waits.
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        qCDebug(lcRtMidi, "no ALSA sequencer for announcements");
        return false;
    }
    m_pSeq = seq;
    snd_seq_set_client_name(seq, clientName);
    // Writable by us only: without SUBS_WRITE no device list (RtMidi's or a
    // patchbay's) offers it, and a client needs no permission to connect its
    // own port.
    const int port = snd_seq_create_simple_port(seq, "announcements",
                                                SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0) {
        qCDebug(lcRtMidi, "ALSA announcements: no port: %s", snd_strerror(port));
        return false;
    }
    const int connected = snd_seq_connect_from(seq, port, SND_SEQ_CLIENT_SYSTEM,
                                               SND_SEQ_PORT_SYSTEM_ANNOUNCE);
    if (connected < 0) {
        qCDebug(lcRtMidi, "ALSA announcements: no subscription: %s", snd_strerror(connected));
        return false;
    }
    const int count = snd_seq_poll_descriptors_count(seq, POLLIN);
    if (count <= 0)
        return false;
    m_fds.resize(static_cast<std::size_t>(count) + 1);
    if (snd_seq_poll_descriptors(seq, m_fds.data(), static_cast<unsigned>(count), POLLIN) != count)
        return false;
    m_nWakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_nWakeFd < 0)
        return false;
    m_fds.back() = pollfd{m_nWakeFd, POLLIN, 0};
    return true;
}

void CAlsaAnnounceWatch::Close()
{
    if (m_pSeq) {
        snd_seq_close(m_pSeq);
        m_pSeq = nullptr;
    }
    if (m_nWakeFd >= 0) {
        close(m_nWakeFd);
        m_nWakeFd = -1;
    }
    m_fds.clear();
}

void CAlsaAnnounceWatch::Run()
{
    const auto seqCount = static_cast<unsigned>(m_fds.size() - 1);
    bool failed = false;
    while (!failed) {
        for (pollfd& fd : m_fds)
            fd.revents = 0;
        if (poll(m_fds.data(), m_fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            failed = true;
            break;
        }
        if (m_fds.back().revents != 0)
            return; // woken for destruction: the owner knows, nothing to tell
        unsigned short revents = 0;
        snd_seq_poll_descriptors_revents(m_pSeq, m_fds.data(), seqCount, &revents);
        if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
            failed = true;
        } else if (revents & POLLIN) {
            bool changed = false;
            failed = !Drain(changed);
            if (changed)
                m_onChange();
        }
    }
    qCDebug(lcRtMidi, "ALSA announcements stopped");
    m_bRunning.store(false);
    if (m_onStopped)
        m_onStopped();
}

bool CAlsaAnnounceWatch::Drain(bool& changed)
{
    // One notification for a burst: a USB keyboard arriving announces its
    // client and each of its ports at once.
    for (;;) {
        snd_seq_event_t* event = nullptr;
        const int result = snd_seq_event_input(m_pSeq, &event);
        if (result == -EAGAIN)
            return true; // read everything there was
        if (result == -ENOSPC) {
            changed = true; // the buffer overran and announcements were lost
            continue;
        }
        if (result == -EINTR)
            continue;
        if (result < 0) {
            qCDebug(lcRtMidi, "reading ALSA announcements: %s", snd_strerror(result));
            return false;
        }
        if (event && ChangesPortList(event->type, event->source.client))
            changed = true;
    }
}
