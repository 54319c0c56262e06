#pragma once
// A PulseAudio server of the test's own: a null sink (no sound card needed)
// under a private runtime folder, started and torn down by the test. While it
// runs, this process's libpulse, and through it ALSA's pulse plugin and
// FluidSynth's PulseAudio output, talk to it and to nothing else, and so do
// the tools we start.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class PulseTestServer {
public:
    PulseTestServer() = default;
    ~PulseTestServer();
    PulseTestServer(const PulseTestServer&) = delete;
    PulseTestServer& operator=(const PulseTestServer&) = delete;

    // The server, its tools and ALSA's pulse plugin are installed.
    static bool Available();

    // Starts the server and waits until it answers; points this process at it.
    bool Start();
    // Ends the server and gives the process its environment back.
    void Stop();
    QString Log() const; // what the server printed, to explain a failed start

    // Where clients find the server (PULSE_SERVER), and a socket nobody
    // listens on, for a server that is not there.
    QString ServerAddress() const;
    QString DeadAddress() const;
    static constexpr const char* kSink = "kelvora_test";

    // The sink, through pactl as another program would change it. Volumes in
    // PulseAudio's own units (65536 = 100 %), the first channel's.
    bool SetSinkMute(bool mute) const;
    std::optional<bool> SinkMute() const;
    bool SetSinkVolume(uint32_t volume) const;
    std::optional<uint32_t> SinkVolume() const;

    // What the sink plays during the next `ms`, recorded from its monitor
    // (frames counted from the first that arrives; fewer if it stalls).
    struct Level {
        float peak = 0;
        int frames = 0;
    };
    Level Record(int ms) const;

    // Polls until the condition holds; false when it never did in time.
    static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 3000);

private:
    std::optional<QString> Pactl(const QStringList& args) const;
    void SetProcessVariable(const char* name, const QString& value);

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<QProcess> m_pServer;
    std::unique_ptr<QProcess> m_pKeepShort; // keeps the sink rendering in small steps
    // What the process's variables were before Start, to put back at Stop.
    std::vector<std::pair<const char*, std::optional<QByteArray>>> m_saved;
};
