#include "ChildProcess.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

ChildProcess::~ChildProcess()
{
    Signal(SIGKILL);
    WaitForFinished(5000);
}

bool ChildProcess::Start(const QString& program, const QStringList& args, const QString& outputFile,
                         int deathSignal)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    // Everything the child needs is made here: between fork and exec it may
    // only call what is safe in a copy of a threaded process.
    std::vector<std::string> argStore{path.toStdString()};
    for (const QString& arg : args)
        argStore.push_back(arg.toStdString());
    std::vector<char*> argv;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int out = open(outputFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                         0644);
    if (out < 0)
        return false;
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, deathSignal);
        if (getppid() != parent)
            _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execve(argv[0], argv.data(), environ);
        _exit(127);
    }
    close(out);
    m_bExited = false;
    return m_pid > 0;
}

bool ChildProcess::IsRunning()
{
    if (m_pid <= 0 || m_bExited)
        return false;
    int status = 0;
    const pid_t done = waitpid(m_pid, &status, WNOHANG);
    if (done == 0)
        return true;
    m_bExited = true;
    m_nExitCode = done == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
}

bool ChildProcess::WaitForFinished(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (IsRunning()) {
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

void ChildProcess::Signal(int signal)
{
    if (IsRunning())
        kill(m_pid, signal);
}
