#include "app/CSingleInstance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocalServer>
#include <QStandardPaths>
#include <QLocalSocket>
#include <QUrl>

#include <cstdlib>
#include <unistd.h>

namespace {
// The requests, a line each: "open <percent-encoded absolute path>" (at most
// one, first) and "activate", which the running instance answers with "ok".
const QByteArray kActivate = QByteArrayLiteral("activate");
const QByteArray kOpen = QByteArrayLiteral("open ");
constexpr qsizetype kMaxRequest = 64 * 1024; // a path, encoded, and then some
} // namespace

CSingleInstance::CSingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
{
}

CSingleInstance::~CSingleInstance()
{
    if (m_pServer)
        m_pServer->close();
}

QString CSingleInstance::SocketName(const QString& appName)
{
    QString user = QString::fromLocal8Bit(qgetenv("USER"));
    if (user.isEmpty())
        user = QString::number(static_cast<qulonglong>(getuid()));
    // One instance per profile: two instances on one settings file would
    // overwrite each other's settings, two on different ones do no harm.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QByteArray key =
        QCryptographicHash::hash(config.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return appName + QStringLiteral("Wnd-") + user + QLatin1Char('-') + QString::fromLatin1(key);
}

bool CSingleInstance::HandOverToRunning(int timeoutMs, const QString& fileToOpen)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray request;
    if (!fileToOpen.isEmpty()) // from the running instance's folder, not ours
        request += kOpen + QUrl::toPercentEncoding(QFileInfo(fileToOpen).absoluteFilePath()) + '\n';
    request += kActivate + '\n';
    socket.write(request);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait for the first instance to read it, so the request is not lost when
    // this process ends at once.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool CSingleInstance::Listen()
{
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(m_name)) {
        // Nobody answered HandOverToRunning, so a socket file that is still
        // there was left by an instance that crashed.
        QLocalServer::removeServer(m_name);
        if (!m_pServer->listen(m_name))
            return false;
    }
    connect(m_pServer, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_pServer->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                QByteArray pending = client->property("pending").toByteArray() + client->readAll();
                if (pending.size() > kMaxRequest) { // nothing we would send
                    client->abort();
                    return;
                }
                qsizetype end;
                while ((end = pending.indexOf('\n')) >= 0) {
                    const QByteArray line = pending.left(end);
                    pending.remove(0, end + 1);
                    if (line.startsWith(kOpen)) {
                        const QString path = QUrl::fromPercentEncoding(line.mid(kOpen.size()));
                        if (!path.isEmpty())
                            emit OpenRequested(path);
                    } else if (line == kActivate) {
                        client->write("ok\n");
                        client->flush();
                        emit ActivateRequested();
                    }
                }
                client->setProperty("pending", pending);
            });
        }
    });
    return true;
}
