#pragma once
// Watches open ports for a peer that goes away (the other program quits, the
// USB cable is pulled, the JACK server stops). Neither RtMidi nor the systems
// below it tell an open port about this, so a thread of ours asks: at once when
// poked (a JACK port was unregistered, an ALSA port announced its exit, a send
// failed), and every period besides where nothing would poke it (by default
// every half second; kOnlyWhenPoked for never).
//
// A port's lost handler runs on the watch thread, once. After Remove() returns
// it never runs again, so a port may remove itself in its destructor and die.
#include "platform/MidiBackend.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <semaphore>
#include <thread>

class CMidiPortWatch {
public:
    using AliveCheck = std::function<bool()>;
    static constexpr std::chrono::milliseconds kOnlyWhenPoked{0};

    explicit CMidiPortWatch(std::chrono::milliseconds period = std::chrono::milliseconds(500));
    ~CMidiPortWatch();
    CMidiPortWatch(const CMidiPortWatch&) = delete;
    CMidiPortWatch& operator=(const CMidiPortWatch&) = delete;

    // Starts watching, with a first check at once; alive() is asked on the
    // watch thread and must not call back into the watch. Returns the id for
    // Remove().
    int Add(AliveCheck alive, MidiPortLostHandler onLost);
    void Remove(int id);

    // Asks for a check now. Any thread, never blocks (JACK callbacks call it).
    void Poke();

    // How often to look besides when poked: for an owner that learns only
    // after construction which of its systems announce their changes. Any
    // thread; the next wait uses it.
    void SetPeriod(std::chrono::milliseconds period);

private:
    struct Entry {
        AliveCheck alive;
        MidiPortLostHandler onLost;
        bool lost = false;
    };

    void Run();
    void CheckAll();

    std::atomic<int64_t> m_nPeriodMs; // 0: only when poked
    std::mutex m_mutex; // guards m_entries; held while a check or a lost handler runs
    std::map<int, Entry> m_entries;
    int m_nNextId = 1;
    std::binary_semaphore m_wake{0};
    std::atomic<bool> m_bWakePending{false};
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::once_flag m_started;
};
