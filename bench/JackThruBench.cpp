// Thru over a real JACK server, counted by sequence number: numbered note-ons
// from a sender peer at a fixed rate to a recorder peer, once connected
// directly and once through the program's window (log shown and hidden),
// idle and with both cores busy, side by side in one run. The direct rows are
// what the server itself carries; the program's rows should match them.
// How to run it and read the table: bench/jack-thru.sh.
#include "BenchWindow.h"
#include "../tests/real/JackSequencePeers.h"
#include "../tests/real/JackTestServer.h"

#include "platform/BuiltinSynth.h"
#include "platform/Profile.h"
#include "platform/RtMidiBackend.h"
#include "res/ResourceIds.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <string>

namespace {

constexpr uint32_t kSeconds = 3;

enum class Path { Direct, LogShown, LogHidden };

// One server for the whole run, stopped while the application still exists.
// Synchronous, as in the flood test: without realtime threads an asynchronous
// server drops the cycles that busy cores make the peers miss, direct or not.
std::unique_ptr<JackTestServer> g_server;

JackTestServer* Server()
{
    if (!g_server) {
        g_server = std::make_unique<JackTestServer>();
        if (!g_server->Start(256, true)) {
            g_server.reset();
            return nullptr;
        }
        qAddPostRoutine([] { g_server.reset(); });
    }
    return g_server.get();
}

void Settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_JackThru(benchmark::State& state, Path path, uint32_t rate, bool busy)
{
    if (!JackTestServer::Available()) {
        state.SkipWithError("jackd or its example clients are not installed");
        return;
    }
    if (!Server()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    const uint32_t count = rate * kSeconds;
    kvseq::Sender sender;
    kvseq::Recorder recorder(2 * count + 1024);
    if (!sender.Ok() || !recorder.Ok()) {
        state.SkipWithError("the JACK peers did not start");
        return;
    }
    std::optional<kvseq::BusyLoops> load;
    if (busy)
        load.emplace(2);

    std::unique_ptr<BenchWindow> window;
    if (path == Path::Direct) {
        if (!kvseq::Connect(sender, sender.Port(), recorder.Port())) {
            state.SkipWithError("could not connect the peers");
            return;
        }
    } else {
        Profile::WriteProfileString("MIDIIn", "DevName", QString::fromStdString(sender.Port()));
        Profile::WriteProfileString("MIDIOut", "DevName", QString::fromStdString(recorder.Port()));
        auto synth = std::make_shared<CBuiltinSynth>();
        synth->SetOffline(true);
        window = std::make_unique<BenchWindow>(std::make_unique<CRtMidiBackend>(CRtMidiBackend::Jack, synth));
        window->frame->Action(path == Path::LogShown ? ID_VIEW_MIDI_INPUT : ID_VIEW_KEYBOARD)->trigger();
        window->frame->show();
        if (!window->view->m_InDevice.IsOpen() || !window->view->m_OutDevice.GetHandle()) {
            state.SkipWithError("the program did not open the peers' ports");
            window.reset();
            MidiSystem::Install(nullptr);
            return;
        }
        Settle(300); // the set-up sent on opening goes first
    }

    kvseq::Report r;
    for (auto _ : state)
        r = kvseq::Run(sender, recorder, count, rate);

    state.counters["sent"] = r.sent;
    state.counters["delivered"] = r.delivered;
    state.counters["lost"] = r.lost;
    state.counters["doubled"] = r.doubled;
    state.counters["reordered"] = r.reordered;
    state.counters["stray"] = r.stray + recorder.Overflow();
    state.counters["late_at_sender"] = r.late;
    state.counters["median_ms"] = r.medianMs;
    state.counters["p99_ms"] = r.p99Ms;
    state.counters["period_ms"] = r.periodMs;

    if (window) {
        window.reset();
        MidiSystem::Install(nullptr); // our clients leave before the peers do
    }
}

// Rows grouped by load and rate, so the direct row sits above the program's.
const bool g_registered = [] {
    for (bool busy : {false, true}) {
        for (uint32_t rate : {1000u, 10000u, 30000u, 100000u}) {
            for (Path path : {Path::Direct, Path::LogShown, Path::LogHidden}) {
                const char* via = path == Path::Direct     ? "direct"
                                  : path == Path::LogShown ? "kelvora_log_shown"
                                                           : "kelvora_log_hidden";
                const std::string name = std::string("BM_JackThru/") + (busy ? "busy/" : "idle/") +
                                         std::to_string(rate) + "/" + via;
                benchmark::RegisterBenchmark(name.c_str(), BM_JackThru, path, rate, busy)
                    ->Iterations(1)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
    return true;
}();

} // namespace
