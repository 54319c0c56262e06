// MIDI device costs, side by side: a send through the device layer on the
// loopback backend (our own overhead: lock, checks, note tracking), input
// delivery to a QObject, and the round trip through a real JACK server from our
// output port to our input port (one JACK period plus ours).
#include "midi/MIDIInDevice.h"
#include "midi/MIDIOutDevice.h"
#include "platform/BuiltinSynth.h"
#include "platform/LoopbackMidiBackend.h"
#include "platform/RtMidiBackend.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>
#include <sys/prctl.h>

namespace {

void EnsureApplication()
{
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "kelvora_bench";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
}

CLoopbackMidiBackend* InstallLoopback()
{
    auto backend = std::make_unique<CLoopbackMidiBackend>(1, 1);
    CLoopbackMidiBackend* raw = backend.get();
    MidiSystem::Install(std::move(backend));
    return raw;
}

// ---- sending: the metronome's and the keyboard's path

void BM_LoopbackSendShortMsg(benchmark::State& state)
{
    static CMIDIOutDevice* out = nullptr;
    static CLoopbackMidiBackend* loop = nullptr;
    if (state.thread_index() == 0) {
        EnsureApplication();
        loop = InstallLoopback();
        out = new CMIDIOutDevice;
        out->SetDeviceID(0);
        out->Open();
    }
    uint32_t n = 0;
    for (auto _ : state) {
        // A note and its end, so the tracking of sounding notes is exercised.
        const uint32_t msg = (n & 1) ? 0x00003C80u : 0x00643C90u;
        benchmark::DoNotOptimize(out->SendShortMsg(msg));
        ++n;
        if ((n & 0xFFFFF) == 0 && state.thread_index() == 0) {
            state.PauseTiming();
            loop->ClearSent();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        delete out;
        out = nullptr;
        MidiSystem::Install(nullptr);
    }
}
BENCHMARK(BM_LoopbackSendShortMsg)->Threads(1)->Threads(2);

// The same send refused at once on a closed device: the floor of the path.
void BM_ClosedDeviceSendShortMsg(benchmark::State& state)
{
    CMIDIOutDevice out;
    for (auto _ : state)
        benchmark::DoNotOptimize(out.SendShortMsg(0x00643C90u));
}
BENCHMARK(BM_ClosedDeviceSendShortMsg);

// ---- input: backend thread to the view's event handler

class CountingReceiver : public QObject {
public:
    uint32_t count = 0;
    uint32_t last = 0;
    std::chrono::steady_clock::time_point arrival;
    QEventLoop* waiting = nullptr;
    uint32_t awaited = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() != CMidiDataEvent::MM_MIM_DATA)
            return QObject::event(e);
        ++count;
        last = static_cast<CMidiDataEvent*>(e)->m_dwMsg;
        if (waiting && last == awaited) {
            arrival = std::chrono::steady_clock::now();
            waiting->quit();
        }
        return true;
    }
};

void BM_LoopbackInputDelivery(benchmark::State& state)
{
    EnsureApplication();
    CLoopbackMidiBackend* loop = InstallLoopback();
    CountingReceiver receiver;
    CMIDIInDevice in;
    in.SetDeviceID(0);
    in.Open(&receiver);
    const uint32_t batch = 1000;
    for (auto _ : state) {
        receiver.count = 0;
        for (uint32_t i = 0; i < batch; ++i)
            loop->Inject(0, 0x00643C90u | (i & 0x7F) << 8);
        while (receiver.count < batch)
            QCoreApplication::sendPostedEvents();
    }
    state.SetItemsProcessed(state.iterations() * batch);
    in.Close();
    MidiSystem::Install(nullptr);
}
BENCHMARK(BM_LoopbackInputDelivery);

// ---- round trip through JACK

class BenchJack {
public:
    explicit BenchJack(int period)
    {
        name = QStringLiteral("kelvora-bench-%1").arg(QCoreApplication::applicationPid());
        qputenv("JACK_DEFAULT_SERVER", name.toLocal8Bit());
        env = QProcessEnvironment::systemEnvironment();
        server.setProcessEnvironment(env);
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(QProcess::nullDevice());
        server.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        server.start("jackd", {"--no-realtime", "-n", name, "-d", "dummy", "-r", "48000", "-p",
                               QString::number(period)});
        up = server.waitForStarted(5000) && WaitFor([this] { return !Ports().isEmpty(); });
    }

    ~BenchJack()
    {
        server.terminate();
        if (!server.waitForFinished(5000))
            server.kill();
        for (auto& client : clients) {
            client->kill();
            client->waitForFinished(2000);
        }
    }

    QStringList Ports()
    {
        QProcess lsp;
        lsp.setProcessEnvironment(env);
        lsp.start("jack_lsp", {});
        lsp.waitForFinished(5000);
        if (lsp.exitCode() != 0)
            return {};
        return QString::fromLocal8Bit(lsp.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    void Run(const QString& program, const QStringList& args)
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(env);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(program, args);
        p->waitForStarted(5000);
        clients.push_back(std::move(p));
    }

    bool Connect(const QString& from, const QString& to)
    {
        QProcess c;
        c.setProcessEnvironment(env);
        c.start("jack_connect", {from, to});
        return c.waitForFinished(5000) && c.exitCode() == 0;
    }

    template <typename Pred>
    static bool WaitFor(Pred pred)
    {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > 5000)
                return false;
            QThread::msleep(30);
        }
        return true;
    }

    QString name;
    QProcessEnvironment env;
    QProcess server;
    std::vector<std::unique_ptr<QProcess>> clients;
    bool up = false;
};

uint32_t IndexOf(bool input, const QString& portName)
{
    IMidiBackend& backend = MidiSystem::Backend();
    const unsigned count = input ? backend.InputCount() : backend.OutputCount();
    for (unsigned i = 0; i < count; ++i) {
        MidiCaps caps;
        if ((input ? backend.GetInputCaps(i, caps) : backend.GetOutputCaps(i, caps)) == 0
            && caps.szPname == portName)
            return i;
    }
    return MIDI_NO_DEVICE;
}

void BM_JackRoundTrip(benchmark::State& state)
{
    EnsureApplication();
    if (QStandardPaths::findExecutable("jackd").isEmpty()) {
        state.SkipWithError("jackd is not installed");
        return;
    }
    BenchJack jack(static_cast<int>(state.range(0)));
    if (!jack.up) {
        state.SkipWithError("jackd did not start");
        return;
    }
    // Peers to open our two devices on: a sequencer that plays one note at the
    // start of a ten-minute loop, and a sink.
    jack.Run("jack_midiseq", {"kvbsrc", "28800000", "0", "1", "1"});
    jack.Run("jack_midi_dump", {"kvbsink"});
    if (!BenchJack::WaitFor([&] {
            const QStringList ports = jack.Ports();
            return ports.contains("kvbsrc:out") && ports.contains("kvbsink:input");
        })) {
        state.SkipWithError("JACK peers did not start");
        return;
    }
    auto synth = std::make_shared<CBuiltinSynth>();
    synth->SetOffline(true);
    MidiSystem::Install(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
    {
        CountingReceiver receiver;
        CMIDIInDevice in;
        CMIDIOutDevice out;
        in.SetDeviceID(IndexOf(true, "kvbsrc:out"));
        out.SetDeviceID(IndexOf(false, "kvbsink:input"));
        QString ourIn, ourOut;
        if (in.Open(&receiver) == MMSYSERR_NOERROR && out.Open() == MMSYSERR_NOERROR) {
            for (const QString& port : jack.Ports()) {
                if (port.startsWith("Kelvora") && port.endsWith(":MIDI In"))
                    ourIn = port;
                if (port.startsWith("Kelvora") && port.endsWith(":MIDI Out"))
                    ourOut = port;
            }
        }
        if (ourIn.isEmpty() || ourOut.isEmpty() || !jack.Connect(ourOut, ourIn)) {
            state.SkipWithError("could not connect our ports");
        } else {
            std::vector<double> samples;
            QEventLoop loop;
            QTimer timeout;
            timeout.setSingleShot(true);
            QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
            uint32_t n = 0;
            std::mt19937 rng(12345);
            std::uniform_int_distribution<int> phase(0, static_cast<int>(state.range(0) * 1000000 / 48000));
            for (auto _ : state) {
                // Control change 127 on channel 16 with a running number: ours alone.
                const uint32_t msg = 0xBFu | 0x7Fu << 8 | (++n & 0x7F) << 16;
                receiver.waiting = &loop;
                receiver.awaited = msg;
                receiver.arrival = {};
                // Each send at a random point of the JACK cycle, as a player's
                // would be; otherwise every send follows the last arrival in lock
                // step and always waits exactly one period.
                std::this_thread::sleep_for(std::chrono::microseconds(phase(rng)));
                timeout.start(1000);
                const auto start = std::chrono::steady_clock::now();
                out.SendShortMsg(msg);
                loop.exec();
                timeout.stop();
                receiver.waiting = nullptr;
                if (receiver.arrival == std::chrono::steady_clock::time_point{}) {
                    state.SkipWithError("a message did not come back");
                    break;
                }
                const double seconds =
                    std::chrono::duration<double>(receiver.arrival - start).count();
                state.SetIterationTime(seconds);
                samples.push_back(seconds * 1000.0);
            }
            if (!samples.empty()) {
                std::sort(samples.begin(), samples.end());
                state.counters["median_ms"] = samples[samples.size() / 2];
                state.counters["p99_ms"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
                state.counters["period_ms"] = state.range(0) * 1000.0 / 48000.0;
            }
        }
        in.Close();
        out.Close();
    }
    MidiSystem::Install(nullptr);
}
BENCHMARK(BM_JackRoundTrip)->Arg(64)->Arg(256)->Iterations(400)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
