#include "JackTestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <signal.h>

JackTestServer::~JackTestServer()
{
    Stop();
}

bool JackTestServer::Available()
{
    for (const char* tool : {"jackd", "jack_lsp", "jack_midi_dump", "jack_midiseq"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    return true;
}

QString JackTestServer::TempFile(const char* suffix) const
{
    return QDir::temp().filePath(
        QStringLiteral("%1-%2.%3").arg(m_strName).arg(QCoreApplication::applicationPid()).arg(suffix));
}

bool JackTestServer::Start(int periodFrames, bool synchronous)
{
    Stop();
    // Names from a pool of eight, the size of libjack's server registry, whose
    // stale entries only a server of the same name reclaims; live ones are skipped.
    for (int slot = 0; slot < 8; ++slot) {
        m_strName = QStringLiteral("kelvora-test-%1").arg(slot);
        setenv("JACK_DEFAULT_SERVER", m_strName.toLocal8Bit().constData(), 1);
        setenv("JACK_NO_START_SERVER", "1", 1);
        if (!Ports().isEmpty())
            continue; // someone else's server answers to this name

        m_pServer = std::make_unique<ChildProcess>();
        QStringList args{"--no-realtime", "-n", m_strName, "-d", "dummy", "-r", "48000", "-p",
                         QString::number(periodFrames)};
        if (synchronous)
            args.prepend("--sync");
        // Should the test die, the server follows and cleans up after itself.
        if (!m_pServer->Start("jackd", args, TempFile("log"), SIGTERM))
            return false;
        QElapsedTimer timer;
        timer.start();
        bool answered = false;
        while (!answered && timer.elapsed() < 10000 && m_pServer->IsRunning()) {
            answered = !Ports().isEmpty();
            if (!answered)
                QThread::msleep(50);
        }
        // A server started elsewhere under the same name in the meantime makes
        // ours quit at once; make sure the one answering is ours.
        if (answered && !m_pServer->WaitForFinished(150))
            return true;
        if (m_pServer->IsRunning())
            return false; // started but never answered
        if (!Log().contains(QLatin1String("already active")))
            return false; // failed for another reason: Log() says why
        m_pServer.reset();
        QFile::remove(TempFile("log"));
    }
    return false;
}

void JackTestServer::Stop()
{
    // The server first, while its clients still answer: otherwise jackd waits
    // seconds for a killed client and leaves its registry entry behind.
    if (m_pServer) {
        m_pServer->Signal(SIGTERM);
        if (!m_pServer->WaitForFinished(5000)) {
            m_pServer->Signal(SIGKILL);
            m_pServer->WaitForFinished(2000);
        }
        m_pServer.reset();
        QFile::remove(TempFile("log"));
    }
    m_clients.clear(); // killed as they go
}

QString JackTestServer::Log() const
{
    QFile file(TempFile("log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

ChildProcess* JackTestServer::StartClient(const QString& program, const QStringList& args)
{
    m_clients.push_back(std::make_unique<ChildProcess>());
    return m_clients.back()->Start(program, args, "/dev/null", SIGKILL) ? m_clients.back().get() : nullptr;
}

void JackTestServer::Kill(ChildProcess* client)
{
    client->Signal(SIGKILL);
    client->WaitForFinished(5000);
}

QStringList JackTestServer::Ports() const
{
    const QString listed = TempFile("ports");
    ChildProcess lsp;
    QStringList ports;
    QFile file(listed);
    if (lsp.Start("jack_lsp", {}, listed, SIGKILL) && lsp.WaitForFinished(5000) && lsp.ExitedCleanly() &&
        file.open(QIODevice::ReadOnly))
        ports = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QFile::remove(listed);
    return ports;
}

bool JackTestServer::WaitForPort(const QString& port, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (Ports().contains(port))
            return true;
        QThread::msleep(30);
    }
    return false;
}
