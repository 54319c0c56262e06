#pragma once
// One running instance per user: a local socket named after the application's
// window class. A second start hands over to the first and ends.
#include <QObject>
#include <QString>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    explicit CSingleInstance(const QString& name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // The socket name for an application name: name + "Wnd", the user and
    // the profile folder.
    static QString SocketName(const QString& appName);

    // True when another instance answered and was asked to come forward
    // (and to open fileToOpen first, when one is given).
    bool HandOverToRunning(int timeoutMs = 1000, const QString& fileToOpen = QString());
    // Starts listening; clears a socket left behind by a crashed instance.
    bool Listen();

signals:
    void OpenRequested(const QString& path);
    void ActivateRequested();

private:
    QString m_name;
    QLocalServer* m_pServer = nullptr;
};
