#pragma once
// An X server of the test's own, and the programs a test starts on it: Xvfb
// picks a free display itself and tells its number, so tests never take a
// display another program holds.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace kvtest {

class XSession {
public:
    // `user`: one instance per user is the program's rule, so a user of our
    // own keeps other tests' instances (and a developer's Kelvora) out of the way.
    explicit XSession(const QString& user) : env(QProcessEnvironment::systemEnvironment())
    {
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("USER", QStringLiteral("%1-%2").arg(user).arg(QCoreApplication::applicationPid()));
    }
    // The programs end in the reverse order of their starts, the X server last.
    ~XSession()
    {
        for (auto p = m_processes.rbegin(); p != m_processes.rend(); ++p) {
            if ((*p)->state() != QProcess::NotRunning) {
                (*p)->terminate();
                if (!(*p)->waitForFinished(5000))
                    (*p)->kill();
                (*p)->waitForFinished(2000);
            }
        }
    }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Xvfb, its display put in env; false when it did not come up within ten seconds.
    bool Start()
    {
        QProcess& x = Launch("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
                             false);
        if (!config.isValid() || !x.waitForStarted(5000))
            return false;
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < 10000 && !out.contains('\n')) {
            x.waitForReadyRead(100);
            out += x.readAllStandardOutput();
        }
        const QString number = QString::fromLatin1(out).trimmed();
        env.insert("DISPLAY", QLatin1Char(':') + number);
        return !number.isEmpty();
    }

    // A program left running, its output dropped (kept when not `quiet`) and its errors shown.
    QProcess& Launch(const QString& program, const QStringList& args, bool quiet = true)
    {
        auto& p = *m_processes.emplace_back(std::make_unique<QProcess>());
        p.setProcessEnvironment(env);
        if (quiet) {
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.setStandardOutputFile(QProcess::nullDevice());
        }
        p.start(program, args);
        return p;
    }

    // A tool run to its end: what it printed.
    QString Run(const QString& program, const QStringList& args) const
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!p.waitForFinished(15000))
            p.kill();
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir config;
    QProcessEnvironment env;

private:
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace kvtest
