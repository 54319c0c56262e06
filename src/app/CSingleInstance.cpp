#include "app/CSingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QStandardPaths>
#include <QLocalSocket>

#include <cstdlib>
#include <unistd.h>

namespace {
const QByteArray kActivate = QByteArrayLiteral("activate\n");
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

bool CSingleInstance::HandOverToRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kActivate);
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
                const QByteArray request = client->readAll();
                if (request.startsWith(kActivate.trimmed())) {
                    client->write("ok\n");
                    client->flush();
                    emit ActivateRequested();
                }
            });
        }
    });
    return true;
}
