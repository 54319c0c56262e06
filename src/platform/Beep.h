#pragma once
// The system's simple beep, asked for from any thread. The desktop's bell can
// only be rung from the UI thread, so a request is relayed there: one write
// to an eventfd, no allocation and no lock, so a real-time thread may ask.
#include <QObject>

#include <functional>

class QSocketNotifier;

class CBeepRelay : public QObject {
    Q_OBJECT
public:
    // `sound` rings the bell; it is called on the thread that makes the relay.
    explicit CBeepRelay(std::function<void()> sound, QObject* parent = nullptr);
    ~CBeepRelay() override;

    // Any thread. Requests that pile up while the UI thread is busy sound as
    // one beep: beeps at the same instant are heard as one anyway.
    void Post();

private:
    void OnReady();

    std::function<void()> m_sound;
    int m_fd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
};
