#pragma once
// The metronome engine: a percussion click on the output port at a set tempo,
// the first pulse of every measure accented. The pulses come from a periodic
// high-resolution timer on a thread of its own, so they keep time whatever the
// UI thread is doing; the output device serialises the two threads' sends.
// What a click is and which pulses are accented: midi/MetronomeBeat.h.
//
// Each pulse is also recorded, and the UI thread woken for it, so that the
// beat can be seen as well as heard (view/CBeatMark.h): a pupil in a video
// lesson whose call filters the clicks out as noise still has the beat.
#include "midi/MetronomeBeat.h"
#include "platform/PeriodicTimer.h"
#include "platform/ThreadWake.h"

#include <atomic>
#include <cstdint>

class CBeepRelay;
class CMIDIOutDevice;

// One pulse as it was sounded.
struct MetronomePulse {
    uint64_t nSequence = 0; // 1 for the first pulse since the start; 0: none yet
    unsigned nNumber = 0;   // in the measure, 1 .. pulses per measure (always 1 with none)
    bool bAccent = false;
    int64_t nSentNs = 0;    // CLOCK_MONOTONIC, right after the click went out
    bool operator==(const MetronomePulse&) const = default;
};

// The last pulse, written by the pulse thread and read by any other without
// a lock: a sequence lock on atomics. The writer never waits; a reader that
// overlaps a write reads again. One writer at a time.
class CPulseRecord {
public:
    void Write(const MetronomePulse& pulse);
    MetronomePulse Read() const;

private:
    std::atomic<uint64_t> m_nVersion{0}; // odd while a write is under way
    std::atomic<uint64_t> m_nSequence{0};
    std::atomic<uint32_t> m_nBeat{0};    // pulse in the measure << 1 | accent
    std::atomic<int64_t> m_nSentNs{0};
};

class CMetronome {
public:
    explicit CMetronome(CMIDIOutDevice& outDevice);
    ~CMetronome();
    CMetronome(const CMetronome&) = delete;
    CMetronome& operator=(const CMetronome&) = delete;

    // Starts pulsing at mm pulses per minute (brought into the tempo range)
    // with ppm pulses per measure; the first pulse comes one period from now
    // and is accented. False when the timer's thread could not be made: no
    // pulses then.
    bool Start(unsigned mm, unsigned ppm);
    // Stops; when it returns no pulse is running or will run.
    void Stop();
    bool IsRunning() const { return m_Timer.IsRunning(); }

    // Begins a new measure at the next pulse and clears the record of pulses:
    // what Start does before the timer runs. Only while stopped.
    void Arm(unsigned ppm);
    // One pulse: note-on and at once note-off on the view's port, or a beep
    // (the beep service, on the UI thread) when no port is open; then the
    // pulse is recorded and PulseWake posted. Runs on the timer's thread;
    // no allocation, no lock of its own.
    void MetronomeTick();

    // The last pulse sounded since the start (sequence 0 before the first).
    // Any thread.
    MetronomePulse LastPulse() const { return m_Record.Read(); }
    // Woken, on the thread that made the metronome, after pulses have been
    // recorded; wake-ups that pile up come as one, so read LastPulse then.
    const CThreadWake& PulseWake() const { return m_Wake; }

    const CPeriodicTimer& Timer() const { return m_Timer; }

private:
    static void OnTimer(void* context);

    CMIDIOutDevice& m_OutDevice;
    // Touched by the pulse thread while running, by the UI thread only while
    // stopped (the thread's start and join order the two).
    CAccentCountdown m_Accent;
    unsigned m_nInMeasure = 0;
    uint64_t m_nSequence = 0;
    CPulseRecord m_Record;
    CThreadWake m_Wake;
    CBeepRelay* m_pBeep;
    CPeriodicTimer m_Timer;
};
