#include "ChildProcess.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
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
    if (IsRunning()) {
        Signal(SIGKILL);
        WaitForFinished(5000);
    }
    if (m_nPipe >= 0)
        close(m_nPipe);
}

bool ChildProcess::Start(const QString& program, const QStringList& args, const QStringList& env,
                         const QString& outputFile, int deathSignal)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return false;
    // Everything the child needs is made here: between fork and exec it may
    // only call what is safe in a copy of a threaded process.
    std::vector<std::string> argStore{path.toStdString()};
    for (const QString& arg : args)
        argStore.push_back(arg.toStdString());
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const QString& own : env)
            replaced = replaced || own.toStdString().rfind(name + "=", 0) == 0;
        if (!replaced)
            envStore.push_back(entry);
    }
    for (const QString& own : env)
        envStore.push_back(own.toStdString());
    std::vector<char*> argv, envp;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int out = -1;
    int pipeFds[2] = {-1, -1};
    if (outputFile.isEmpty()) {
        if (pipe2(pipeFds, O_CLOEXEC) != 0)
            return false;
        out = pipeFds[1];
    } else {
        out = open(outputFile.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                   0644);
        if (out < 0)
            return false;
    }
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, deathSignal);
        if (getppid() != parent)
            _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out);
    if (m_pid < 0) {
        if (pipeFds[0] >= 0)
            close(pipeFds[0]);
        return false;
    }
    m_nPipe = pipeFds[0];
    if (m_nPipe >= 0)
        fcntl(m_nPipe, F_SETFL, O_NONBLOCK);
    m_bExited = false;
    return true;
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
        Drain();
        if (timer.elapsed() >= timeoutMs)
            return false;
        QThread::msleep(5);
    }
    Drain();
    return true;
}

void ChildProcess::Signal(int signal)
{
    if (IsRunning())
        kill(m_pid, signal);
}

QString ChildProcess::ReadOutput()
{
    Drain();
    return QString::fromLocal8Bit(m_output);
}

void ChildProcess::Drain()
{
    if (m_nPipe < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(m_nPipe, buffer, sizeof buffer);
        if (n > 0)
            m_output.append(buffer, static_cast<qsizetype>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
}
