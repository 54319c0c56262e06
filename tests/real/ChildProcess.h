#pragma once
// A program the tests start (a JACK server, jack_lsp), by fork and exec.
//
// Not QProcess: Qt starts its children with clone(CLONE_VM | CLONE_VFORK),
// so the child runs in our memory until it execs, unseen by
// ThreadSanitizer, and the sanitizer's interceptors it passes through leave
// the parent's thread state changed: from then on the sanitizer no longer
// sees the main thread's locks and reports races on code that holds them.
// fork() is intercepted and understood. Under the other builds this is just a
// small process class.
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
