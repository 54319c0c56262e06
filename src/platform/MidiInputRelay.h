#pragma once
// Hands an input port's messages from the thread they arrive on to the
// port's handler (which posts them to the UI thread, so it may wait,
// allocate and take locks) without ever making the arriving side wait: a
// ring of packed short messages that holds more than a second of the densest
// stream a port carries, and a reader thread of the relay's own that hands
// them on in order. What does not fit is counted, never silently gone, and
// never overwrites or reorders anything.
//
// Threading:
// - The producer (JACK's process thread, RtMidi's input thread), one at a
//   time: Push() per message, then EndBatch(), which wakes the reader only
//   when it said it sleeps: a futex wake with no lock held, the one system
//   call the producer makes, at most once a batch.
// - The reader thread: calls the handler, only while started.
// - Any thread: SetStarted(), IsStarted(), Lost(). The owner: StartReader()
//   and StopReader() (the producer must have stopped for good by then).
#include "platform/MidiMessageRing.h"
#include "platform/MidiBackend.h"

#include <atomic>
#include <thread>

class CMidiInputRelay {
public:
    explicit CMidiInputRelay(MidiInputHandler onData) : m_onData(std::move(onData)) {}
    ~CMidiInputRelay() { StopReader(); }
    CMidiInputRelay(const CMidiInputRelay&) = delete;
    CMidiInputRelay& operator=(const CMidiInputRelay&) = delete;

    // False when no thread can be made.
    bool StartReader();
    void StopReader();

    // While stopped, what arrives is not wanted (and what is still queued is
    // dropped, as it would have been had it arrived a moment later).
    void SetStarted(bool started) { m_bStarted.store(started, std::memory_order_release); }
    bool IsStarted() const { return m_bStarted.load(std::memory_order_acquire); }

    // Producer. False (and counted as lost) when the ring is full.
    bool Push(uint32_t msg) noexcept
    {
        if (m_ring.Push(msg)) {
            m_bPushed = true;
            return true;
        }
        m_nLost.store(m_nLost.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        return false;
    }
    // Producer, after its pushes: wakes the reader if it sleeps.
    void EndBatch() noexcept;

    uint64_t Lost() const { return m_nLost.load(std::memory_order_relaxed); }

private:
    void RunReader();

    const MidiInputHandler m_onData;
    std::atomic<bool> m_bStarted{false};
    std::atomic<uint64_t> m_nLost{0}; // written by the producer only
    bool m_bPushed = false;           // the producer's own
    CMidiMessageRing m_ring{CMidiMessageRing::kPortMessages};
    // The reader's sleep: it sets m_bSleeping, looks at the ring once more and
    // waits on m_nWake; the producer clears the flag and bumps m_nWake. Both
    // sides only exchange the flag, so what was pushed before is seen.
    std::atomic<bool> m_bSleeping{false};
    std::atomic<uint32_t> m_nWake{0};
    std::atomic<bool> m_bQuit{false};
    std::thread m_reader;
};
