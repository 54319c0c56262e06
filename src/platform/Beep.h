#pragma once
// The system's simple beep, asked for from any thread. What rings is the beep
// service (IBeep: the desktop's bell unless a test counts beeps instead). The
// bell can only be rung from the UI thread, so a request from another thread
// is relayed there by a CBeepRelay: one write to an eventfd, no allocation and
// no lock, so a real-time thread may ask.
#include "platform/Service.h"
#include "platform/ThreadWake.h"

#include <QObject>

#include <functional>

class IBeep {
public:
    virtual ~IBeep() = default;
    // Rings once. UI thread.
    virtual void Beep() = 0;
};

// The desktop's bell.
template <>
struct ServiceDefault<IBeep> {
    static std::unique_ptr<IBeep> Make();
};

class CBeepRelay : public QObject {
    Q_OBJECT
public:
    // `sound` rings the bell; it is called on the thread that makes the relay.
    explicit CBeepRelay(std::function<void()> sound, QObject* parent = nullptr);

    // Any thread. Requests that pile up while the UI thread is busy sound as
    // one beep: beeps at the same instant are heard as one anyway.
    void Post();

private:
    void Sound();

    std::function<void()> m_sound;
    CThreadWake m_wake;
};
