// How fast the log takes lines, and how long the program takes to show its window.
#include "BenchWindow.h"
#include "res/ResourceIds.h"
#include "view/CTessaroView.h"

#include <QAction>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

namespace {


// Lines appended per second; with the log shown, the edit is brought up to date
// after every `batch` lines (1: each line on its own, the slowest case).
void BM_AppendDumpLine(benchmark::State& state, unsigned mode)
{
    BenchWindow w(1, 1);
    w.frame->Action(mode)->trigger();
    const int64_t batch = state.range(0);
    uint32_t key = 0;
    for (auto _ : state) {
        w.view->AppendDumpLine(0x00400090u | ((key++ & 0x7F) << 8));
        if (key % batch == 0)
            w.view->FlushLog();
    }
    w.view->FlushLog();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_AppendDumpLine, log_shown, ID_VIEW_MIDI_INPUT)->Arg(1)->Arg(10)->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_AppendDumpLine, log_hidden, ID_VIEW_KEYBOARD)->Arg(1)->Unit(benchmark::kMicrosecond);

// The whole process, from start to its first shown window. With the synthesizer
// its SoundFont is still loading then, on a thread of its own: what is timed is
// what the user waits for before the window is there.
void BM_StartupToFirstWindow(benchmark::State& state, const char* backend)
{
    for (auto _ : state) {
        QProcess proc;
        proc.setProgram(QStringLiteral(KELVORA_EXE));
        proc.setArguments({QStringLiteral("--midi-backend=%1").arg(backend),
                           QStringLiteral("--exit-when-shown")});
        QElapsedTimer timer;
        timer.start();
        proc.start();
        bool shown = false;
        while (!shown && proc.waitForReadyRead(10000))
            shown = proc.readAllStandardOutput().contains("shown");
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        proc.waitForFinished(10000);
        if (!shown) {
            state.SkipWithError("the window was never shown");
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_StartupToFirstWindow, loopback, "loopback")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_StartupToFirstWindow, auto_with_synth, "auto")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
