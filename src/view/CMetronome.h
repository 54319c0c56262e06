#pragma once
// The metronome engine: a percussion click on the output port at a set tempo,
// the first pulse of every measure accented. The pulses come from a periodic
// high-resolution timer on a thread of its own, so they keep time whatever the
// UI thread is doing; the output device serialises the two threads' sends.
#include "platform/PeriodicTimer.h"

#include <cstdint>

class CBeepRelay;
class CMIDIOutDevice;

class CMetronome {
public:
    // The click: High Agogo on the percussion channel (index 9).
    static constexpr uint8_t kChannel = 9;
    static constexpr uint8_t kKey = 67;
    static constexpr uint8_t kAccentVelocity = 112;
    static constexpr uint8_t kPulseVelocity = 80;
    // The tempo range of the setup dialog; a stored tempo outside it is brought in.
    static constexpr unsigned kMinMM = 35;
    static constexpr unsigned kMaxMM = 140;

    explicit CMetronome(CMIDIOutDevice& outDevice);
    ~CMetronome();
    CMetronome(const CMetronome&) = delete;
    CMetronome& operator=(const CMetronome&) = delete;

    // The period of a tempo in whole ms, as the setup dialog's test uses it:
    // 600 at MM 100, 428 at MM 140, 1714 at MM 35.
    static unsigned PeriodMs(unsigned mm);

    // Starts pulsing at mm pulses per minute with ppm pulses per measure; the
    // first pulse comes one period from now and is accented. False when the
    // timer's thread could not be made: no pulses then.
    bool Start(unsigned mm, unsigned ppm);
    // Stops; when it returns no pulse is running or will run.
    void Stop();
    bool IsRunning() const { return m_Timer.IsRunning(); }

    // Begins a new measure at the next pulse: what Start does before the timer
    // runs. Only while stopped.
    void Arm(unsigned ppm);
    // One pulse: note-on and at once note-off on the view's port, or a beep
    // (on the UI thread) when no port is open. Runs on the timer's thread; no
    // allocation, no lock of its own.
    void MetronomeTick();

    const CPeriodicTimer& Timer() const { return m_Timer; }

    // What a pulse does when no port is open; the system beep unless replaced.
    // Called on the UI thread.
    static void (*s_pfnBeep)();

private:
    static void OnTimer(void* context);

    CMIDIOutDevice& m_OutDevice;
    // Touched by the pulse thread while running, by the UI thread only while
    // stopped (the thread's start and join order the two).
    unsigned m_nPPM = 4;
    unsigned m_nPulseCountdown = 0;
    CBeepRelay* m_pBeep;
    CPeriodicTimer m_Timer;
};
