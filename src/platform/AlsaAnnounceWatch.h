#pragma once
// Hears the ALSA sequencer announce that clients and ports came, went or
// changed, so the RtMidi backend learns of a keyboard plugged in or a
// synthesizer program quitting without polling the port lists.
//
// A sequencer client of our own ("Kelvora", whose ports are never offered as
// devices) has one port subscribed to the System Announce port; a thread of
// ours blocks in poll() on the sequencer's descriptors and an eventfd that
// wakes it for destruction. Nothing runs while nothing changes.
//
// Where there is no sequencer (no /dev/snd/seq, no permission, the client or
// the subscription refused) there is no thread either: Running() is false and
// the owner falls back to looking for itself.
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include <poll.h>

struct _snd_seq;

class CAlsaAnnounceWatch {
public:
    // onChange: the port lists may have changed. onStopped: the watch ended by
    // itself (the sequencer failed), so changes are no longer told. Both run
    // on the watch thread, must not block, and are not called once the
    // destructor has returned.
    CAlsaAnnounceWatch(const char* clientName, std::function<void()> onChange,
                       std::function<void()> onStopped);
    ~CAlsaAnnounceWatch();
    CAlsaAnnounceWatch(const CAlsaAnnounceWatch&) = delete;
    CAlsaAnnounceWatch& operator=(const CAlsaAnnounceWatch&) = delete;

    // Whether changes are being told (any thread).
    bool Running() const { return m_bRunning.load(); }

    // Whether a sequencer event from `sourceClient` of `eventType` tells of a
    // change in the port lists: a client or a port started, exited or changed,
    // as announced by the system client. Connections (subscriptions) do not
    // change the lists; anything not from the system client is not an
    // announcement.
    static bool ChangesPortList(int eventType, int sourceClient);

private:
    bool Open(const char* clientName);
    void Close();
    void Run();
    // Reads every pending event; false when the sequencer failed.
    bool Drain(bool& changed);

    const std::function<void()> m_onChange;
    const std::function<void()> m_onStopped;
    _snd_seq* m_pSeq = nullptr;
    int m_nWakeFd = -1;
    std::vector<pollfd> m_fds; // the sequencer's, then the wake-up eventfd
    std::atomic<bool> m_bRunning{false};
    std::thread m_thread;
};
