#include "JackTestServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <cstdlib>
#include <signal.h>
#include <sys/prctl.h>

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

QStringList JackTestServer::EnvironmentEntries() const
{
    return {QStringLiteral("JACK_DEFAULT_SERVER=") + m_strName,
            QStringLiteral("JACK_NO_START_SERVER=1")};
}

QProcessEnvironment JackTestServer::Environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("JACK_DEFAULT_SERVER", m_strName);
    env.insert("JACK_NO_START_SERVER", "1");
    return env;
}

bool JackTestServer::Start(int periodFrames, bool synchronous)
{
    Stop();
    // Names from a pool of eight, the size of libjack's server registry, whose
    // stale entries only a server of the same name reclaims; live ones are skipped.
    for (int slot = 0; slot < 8; ++slot) {
        m_strName = QStringLiteral("kelvora-test-%1").arg(slot);
        if (!Ports().isEmpty())
            continue; // someone else's server answers to this name
        setenv("JACK_DEFAULT_SERVER", m_strName.toLocal8Bit().constData(), 1);
        m_strLogFile = QDir::temp().filePath(
            QStringLiteral("%1-%2.log").arg(m_strName).arg(QCoreApplication::applicationPid()));

        m_pServer = std::make_unique<ChildProcess>();
        QStringList args{"--no-realtime", "-n", m_strName, "-d", "dummy", "-r", "48000", "-p",
                         QString::number(periodFrames)};
        if (synchronous)
            args.prepend("--sync");
        // Should the test die, the server follows and cleans up after itself.
        if (!m_pServer->Start("jackd", args, EnvironmentEntries(), m_strLogFile, SIGTERM))
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
    }
    for (auto& client : m_clients)
        Kill(client.get());
    m_clients.clear();
    if (!m_strLogFile.isEmpty())
        QFile::remove(m_strLogFile);
}

QString JackTestServer::Log() const
{
    QFile file(m_strLogFile);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

QProcess* JackTestServer::StartClient(const QString& program, const QStringList& args)
{
    auto client = std::make_unique<QProcess>();
    client->setProcessEnvironment(Environment());
    client->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    client->start(program, args);
    if (!client->waitForStarted(5000))
        return nullptr;
    m_clients.push_back(std::move(client));
    return m_clients.back().get();
}

void JackTestServer::Kill(QProcess* client)
{
    if (client && client->state() != QProcess::NotRunning) {
        client->kill();
        client->waitForFinished(5000);
    }
}

QStringList JackTestServer::Ports() const
{
    ChildProcess lsp;
    if (!lsp.Start("jack_lsp", {}, EnvironmentEntries(), QString(), SIGKILL) ||
        !lsp.WaitForFinished(5000) || !lsp.ExitedCleanly())
        return {};
    return lsp.ReadOutput().split('\n', Qt::SkipEmptyParts);
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

QStringList JackTestServer::DumpedEvents(const QString& output)
{
    static const QRegularExpression line(R"(^\s*\d+:\s+((?:[0-9a-f]{2} ?)+)\s)");
    QStringList events;
    for (const QString& text : output.split('\n')) {
        const auto match = line.match(text + ' ');
        if (match.hasMatch())
            events << match.captured(1).trimmed();
    }
    return events;
}
