#pragma once
// Process signals (SIGTERM from a logout or `kill`, SIGHUP from a closed
// terminal, SIGINT from Ctrl+C) as a Qt signal on the UI thread. A signal
// handler may do almost nothing: ours writes the signal's number into a pipe,
// and a socket notifier on the UI thread reads it there. Whatever thread the
// kernel picks to run the handler on, the UI thread is the one that hears.
//
// A program hung on its UI thread never reads the pipe, and a user who sends
// signal after signal means it: the kSignalsBeforeDefault-th signal of any of
// these kinds is left to its default action, which ends the process.
//
// One instance at a time: signal handlers belong to the whole process.
#include <QObject>

#include <csignal>
#include <vector>

class QSocketNotifier;

class CSignalNotifier : public QObject {
    Q_OBJECT
public:
    static constexpr int kSignalsBeforeDefault = 3;

    // Takes over the given signals; the QCoreApplication must exist.
    explicit CSignalNotifier(const std::vector<int>& signalNumbers, QObject* parent = nullptr);
    // Gives the signals back to the handlers they had before.
    ~CSignalNotifier() override;
    CSignalNotifier(const CSignalNotifier&) = delete;
    CSignalNotifier& operator=(const CSignalNotifier&) = delete;

    // False when the pipe or a handler could not be set up (those signals
    // keep their former handling). A signal ignored when the program started
    // stays ignored and counts as set up.
    bool IsInstalled() const { return m_bInstalled; }

signals:
    // On the UI thread, once per signal received (signals of one kind that
    // arrive together may be counted once, as the kernel merges them).
    void Received(int signalNumber);

private:
    void ReadPipe();

    // The signals taken over, and what they did before.
    std::vector<int> m_signals;
    std::vector<struct sigaction> m_previous;
    int m_nReadFd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
    bool m_bInstalled = false;
};
