#pragma once
// Brings a chosen port back by itself. A device whose port went away (the
// keyboard unplugged, the synthesizer program quit, the sound server gone), or
// whose port was not there when it was to open, stays chosen and arms this:
// whenever the backend says its port lists changed, and every kRetryMs for
// what no list shows (the built-in synthesizer's audio), `retry` runs on the
// UI thread. The device disarms it once the port is open again or closed.
//
// Armed on the backend in use at that moment; a device never waits across a
// change of backend (only tests install one, before their devices exist).
#include <functional>
#include <memory>

class IMidiBackend;
class QObject;
class QTimer;

class CPortReconnect {
public:
    static constexpr int kRetryMs = 2000;

    // UI thread; `retry` runs on it.
    explicit CPortReconnect(std::function<void()> retry);
    ~CPortReconnect();
    CPortReconnect(const CPortReconnect&) = delete;
    CPortReconnect& operator=(const CPortReconnect&) = delete;

    void Arm();
    void Disarm();
    bool IsArmed() const { return m_pBackend != nullptr; }

private:
    std::function<void()> m_retry;
    std::unique_ptr<QObject> m_pContext; // queued retries die with it
    QTimer* m_pTimer;                    // child of the context
    IMidiBackend* m_pBackend = nullptr;
    int m_nListener = 0;
};
