#pragma once
// A JACK server of the test's own (dummy driver, no sound card), started and
// torn down by the test, with a unique name so no test meets another server.
// Start() points this process at it (JACK_DEFAULT_SERVER), and so every
// client we open or start.
#include "ChildProcess.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class JackTestServer {
public:
    JackTestServer() = default;
    ~JackTestServer();
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    static bool Available(); // jackd and its example clients are installed

    // Starts the server and waits until it answers. Synchronous delays MIDI on
    // a loaded machine rather than dropping it; killing peers mid-cycle stalls it.
    bool Start(int periodFrames = 256, bool synchronous = true);
    void Stop();
    QString Log() const; // what jackd printed, to explain a failed start

    // Starts one of JACK's example clients, killed at Stop() at the latest.
    ChildProcess* StartClient(const QString& program, const QStringList& args);
    // Kills a client at once, as a crash would.
    static void Kill(ChildProcess* client);

    QStringList Ports() const; // jack_lsp
    bool WaitForPort(const QString& port, int timeoutMs = 5000) const;

private:
    QString TempFile(const char* suffix) const;

    QString m_strName;
    std::unique_ptr<ChildProcess> m_pServer;
    std::vector<std::unique_ptr<ChildProcess>> m_clients;
};
