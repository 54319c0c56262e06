#pragma once
// A program the tests start (a JACK server, jack_lsp), by fork and exec.
// Not QProcess: Qt's clone(CLONE_VM | CLONE_VFORK) child runs in our memory
// unseen by ThreadSanitizer and leaves it blind to the main thread's locks
// (false races); fork() it understands.
#include <QString>
#include <QStringList>

#include <sys/types.h>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // With our environment; stdout and stderr go to outputFile. deathSignal:
    // sent to the child should the test die first.
    bool Start(const QString& program, const QStringList& args, const QString& outputFile,
               int deathSignal);
    bool IsRunning();
    // False when it is still running after timeoutMs.
    bool WaitForFinished(int timeoutMs);
    void Signal(int signal);
    // Whether it exited by itself with status 0.
    bool ExitedCleanly() const { return m_bExited && m_nExitCode == 0; }

private:
    pid_t m_pid = -1;
    bool m_bExited = false;
    int m_nExitCode = -1;
};
