#include "PulseTestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <signal.h>
#include <sys/prctl.h>

namespace {

constexpr int kRate = 48000;

QStringList RecorderArguments(int latencyMs)
{
    return {"--raw", QStringLiteral("--device=%1.monitor").arg(PulseTestServer::kSink), "--format=float32le",
            QStringLiteral("--rate=%1").arg(kRate), "--channels=2",
            QStringLiteral("--latency-msec=%1").arg(latencyMs)};
}

} // namespace

PulseTestServer::~PulseTestServer()
{
    Stop();
}

bool PulseTestServer::Available()
{
    for (const char* tool : {"pulseaudio", "pactl", "parecord"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    }
    // ALSA's pulse plugin, in a multiarch folder or not.
    QStringList folders{QStringLiteral("/usr/lib")};
    for (const QString& arch : QDir(QStringLiteral("/usr/lib")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        folders << QStringLiteral("/usr/lib/") + arch;
    return std::any_of(folders.begin(), folders.end(), [](const QString& folder) {
        return QFileInfo::exists(folder + QStringLiteral("/alsa-lib/libasound_module_ctl_pulse.so"));
    });
}

QString PulseTestServer::ServerAddress() const
{
    return m_pDir ? QStringLiteral("unix:") + m_pDir->filePath(QStringLiteral("run/pulse/native")) : QString();
}

QString PulseTestServer::DeadAddress() const
{
    return m_pDir ? QStringLiteral("unix:") + m_pDir->filePath(QStringLiteral("nobody-listens"))
                  : QStringLiteral("unix:/nonexistent/kelvora/native");
}

void PulseTestServer::SetProcessVariable(const char* name, const QString& value)
{
    m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    qputenv(name, value.toLocal8Bit());
}

bool PulseTestServer::Start()
{
    Stop();
    m_pDir = std::make_unique<QTemporaryDir>(); // made 0700, as libpulse insists
    if (!m_pDir->isValid())
        return false;
    const QString runtime = m_pDir->filePath(QStringLiteral("run"));
    if (!QDir().mkpath(runtime + QStringLiteral("/pulse"))
        || !QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return false;

    // The server keeps its cookie and state in a home of its own; no client
    // needs the cookie (anonymous access on a socket only we can reach).
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_pDir->path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_pDir->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_pServer = std::make_unique<QProcess>();
    m_pServer->setProcessEnvironment(env);
    m_pServer->setProcessChannelMode(QProcess::MergedChannels);
    m_pServer->setStandardOutputFile(m_pDir->filePath(QStringLiteral("server.log")));
    // Should the test die, the server follows.
    m_pServer->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_pServer->start(QStringLiteral("pulseaudio"),
                     {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                      "--realtime=no", "--high-priority=no", "--log-target=stderr",
                      QStringLiteral("--load=module-null-sink sink_name=%1 rate=%2").arg(kSink).arg(kRate),
                      QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=%1")
                          .arg(runtime + QStringLiteral("/pulse/native"))});
    if (!m_pServer->waitForStarted(5000))
        return false;

    // This process and what it starts: libpulse reads these when it connects
    // (ALSA's pulse plugin and hook, FluidSynth's output, pactl); the cookie
    // it would otherwise create goes to our folder, not the user's home.
    SetProcessVariable("PULSE_SERVER", ServerAddress());
    SetProcessVariable("PULSE_COOKIE", m_pDir->filePath(QStringLiteral("cookie")));
    if (!WaitFor([this] { return m_pServer->state() != QProcess::Running || Pactl({"info"}).has_value(); },
                 15000)
        || m_pServer->state() != QProcess::Running)
        return false;

    // With nothing asking for less, a null sink renders (and feeds its
    // monitor) in blocks of up to two seconds: recordings would start late
    // and by chance. A listener that asks for a short latency all along
    // keeps it rendering in small steps.
    m_pKeepShort = std::make_unique<QProcess>();
    m_pKeepShort->setStandardOutputFile(QProcess::nullDevice());
    m_pKeepShort->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    m_pKeepShort->start(QStringLiteral("parecord"), RecorderArguments(10));
    return m_pKeepShort->waitForStarted(5000) && WaitFor([this] { return Record(50).frames > 0; }, 10000);
}

void PulseTestServer::Stop()
{
    for (QProcess* process : {m_pKeepShort.get(), m_pServer.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }
    m_pKeepShort.reset();
    m_pServer.reset();
    for (const auto& [name, value] : m_saved)
        value ? qputenv(name, *value) : qunsetenv(name);
    m_saved.clear();
    m_pDir.reset();
}

QString PulseTestServer::Log() const
{
    QFile file(m_pDir ? m_pDir->filePath(QStringLiteral("server.log")) : QString());
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

std::optional<QString> PulseTestServer::Pactl(const QStringList& args) const
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), args);
    if (!pactl.waitForFinished(10000) || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(pactl.readAllStandardOutput());
}

bool PulseTestServer::SetSinkMute(bool mute) const
{
    return Pactl({"set-sink-mute", kSink, mute ? "1" : "0"}).has_value();
}

std::optional<bool> PulseTestServer::SinkMute() const
{
    const std::optional<QString> out = Pactl({"get-sink-mute", kSink}); // "Mute: yes"
    if (!out || !out->contains(QLatin1String("Mute:")))
        return std::nullopt;
    return out->contains(QLatin1String("yes"));
}

bool PulseTestServer::SetSinkVolume(uint32_t volume) const
{
    return Pactl({"set-sink-volume", kSink, QString::number(volume)}).has_value();
}

std::optional<uint32_t> PulseTestServer::SinkVolume() const
{
    // "Volume: front-left: 32768 /  50% / -18.06 dB,   front-right: ..."
    static const QRegularExpression first(QStringLiteral(R"(:\s*(\d+)\s*/)"));
    const auto match = first.match(Pactl({"get-sink-volume", kSink}).value_or(QString()));
    return match.hasMatch() ? std::optional(match.captured(1).toUInt()) : std::nullopt;
}

PulseTestServer::Level PulseTestServer::Record(int ms) const
{
    QProcess recorder;
    recorder.start(QStringLiteral("parecord"), RecorderArguments(20));
    Level level;
    if (!recorder.waitForStarted(5000))
        return level;
    // Counted in frames from the first that arrives (the stream takes a
    // moment to start), read as they come: a full pipe would stall the
    // recorder and lose sound.
    const qsizetype wanted = qsizetype(kRate) * ms / 1000 * 2 * qsizetype(sizeof(float));
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (data.size() < wanted && timer.elapsed() < ms + 5000 && recorder.state() == QProcess::Running) {
        recorder.waitForReadyRead(20);
        data += recorder.readAllStandardOutput();
    }
    recorder.kill();
    recorder.waitForFinished(5000);
    data.truncate(std::min(data.size(), wanted));
    const auto samples = static_cast<int>(data.size() / qsizetype(sizeof(float)));
    for (int i = 0; i < samples; ++i) {
        float s;
        std::memcpy(&s, data.constData() + i * sizeof(float), sizeof s);
        level.peak = std::max(level.peak, std::fabs(s));
    }
    level.frames = samples / 2;
    return level;
}

bool PulseTestServer::WaitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}
