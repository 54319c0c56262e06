#pragma once
// The metronome engine: a percussion click on the output port at a set tempo,
// the first pulse of every measure accented. The pulses come from a periodic
// high-resolution timer on a thread of its own, so they keep time whatever the
// UI thread is doing; the output device serialises the two threads' sends.
// What a click is and which pulses are accented: midi/MetronomeBeat.h.
#include "midi/MetronomeBeat.h"
#include "platform/PeriodicTimer.h"

class CBeepRelay;
class CMIDIOutDevice;

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

    // Begins a new measure at the next pulse: what Start does before the timer
    // runs. Only while stopped.
    void Arm(unsigned ppm);
    // One pulse: note-on and at once note-off on the view's port, or a beep
    // (the beep service, on the UI thread) when no port is open. Runs on the
    // timer's thread; no allocation, no lock of its own.
    void MetronomeTick();

    const CPeriodicTimer& Timer() const { return m_Timer; }

private:
    static void OnTimer(void* context);

    CMIDIOutDevice& m_OutDevice;
    // Touched by the pulse thread while running, by the UI thread only while
    // stopped (the thread's start and join order the two).
    CAccentCountdown m_Accent;
    CBeepRelay* m_pBeep;
    CPeriodicTimer m_Timer;
};
