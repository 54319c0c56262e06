#pragma once
// Wakes the thread that made it from any other thread: Post is one write to an
// eventfd (no allocation, no lock), and Woken is emitted on the maker's thread
// when its event loop sees the descriptor readable. Posts that pile up while
// that thread is busy are woken as one, so a listener reads the newest state
// rather than counting wake-ups.
//
// Without an eventfd (the process is out of descriptors) Post does nothing:
// a queued call would allocate, and the posters are real-time threads.
#include <QObject>

class QSocketNotifier;

class CThreadWake : public QObject {
    Q_OBJECT
public:
    explicit CThreadWake(QObject* parent = nullptr);
    ~CThreadWake() override;
    CThreadWake(const CThreadWake&) = delete;
    CThreadWake& operator=(const CThreadWake&) = delete;

    // Any thread.
    void Post() const noexcept;
    // False when no eventfd could be had: Post then wakes nobody.
    bool IsValid() const { return m_fd >= 0; }

signals:
    void Woken();

private:
    void OnReadable();

    int m_fd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
};
