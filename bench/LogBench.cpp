// How fast the log takes lines, how long the program takes to show its window,
// and a large opened log: shown, the next message after it, saved whole.
#include "BenchWindow.h"
#include "res/ResourceIds.h"
#include "view/CTessaroView.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>

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
// Times whole-process start-ups with these arguments, each until the first
// window is shown.
void TimeStartUps(benchmark::State& state, const QStringList& args)
{
    for (auto _ : state) {
        QProcess proc;
        proc.setProgram(QStringLiteral(KELVORA_EXE));
        proc.setArguments(QStringList{QStringLiteral("--exit-when-shown")} + args);
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

void BM_StartupToFirstWindow(benchmark::State& state, const char* backend)
{
    TimeStartUps(state, {QStringLiteral("--midi-backend=%1").arg(backend)});
}
BENCHMARK_CAPTURE(BM_StartupToFirstWindow, loopback, "loopback")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(BM_StartupToFirstWindow, auto_with_synth, "auto")
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// A 10 MB log of 270,000 dump lines with the time, written once.
const QString& BigLogPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("big.kvf"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        QByteArray bytes;
        for (int i = 0; i < 270000; ++i) {
            const int cs = i % 360000;
            char line[64];
            std::snprintf(line, sizeof line, "%02d:%02d:%02d.%02d\t[Note On] Ch 01  %2d 100\r\n",
                          10 + cs / 36000, cs / 600 % 60, cs / 10 % 60, cs % 100, 36 + i % 60);
            bytes += line;
        }
        f.write(bytes);
        return p;
    }();
    return path;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// File > Open of the big log with the log pane shown, until the edit has painted it.
void BM_OpenBigLogToShown(benchmark::State& state)
{
    const QString path = BigLogPath();
    BenchWindow w(1, 1);
    w.frame->show();
    w.frame->Action(ID_VIEW_MIDI_INPUT)->trigger();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!w.frame->OpenDocumentFile(path)) {
            state.SkipWithError("the log did not open");
            break;
        }
        QCoreApplication::processEvents();
        w.view->m_pLogEdit->viewport()->repaint();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
    state.counters["file_MB"] = double(QFile(path).size()) / 1e6;
}
BENCHMARK(BM_OpenBigLogToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The program started with the big log named, the log pane shown, to its first window.
void BM_StartupWithBigLogToShown(benchmark::State& state)
{
    const QString path = BigLogPath();
    QSettings().setValue(QStringLiteral("View/Def"), 2);
    QSettings().sync();
    TimeStartUps(state, {QStringLiteral("--midi-backend=loopback"), path});
    QSettings().remove(QStringLiteral("View"));
}
BENCHMARK(BM_StartupWithBigLogToShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Right after the big log is opened (the log pane shown or not), one message
// arrives at the input: until it is logged and passed on to the output.
void BM_NextMessageAfterBigOpen(benchmark::State& state, unsigned mode)
{
    const QString path = BigLogPath();
    auto backend = std::make_unique<CLoopbackMidiBackend>(1, 1);
    CLoopbackMidiBackend* midi = backend.get();
    BenchWindow w(std::move(backend));
    w.frame->show();
    w.frame->Action(mode)->trigger();
    const uint32_t msg = 0x00403C90;
    for (auto _ : state) {
        w.frame->OpenDocumentFile(path);
        QCoreApplication::processEvents();
        midi->ClearSent();
        const QString before = w.view->CurrentLogText();
        QElapsedTimer timer;
        timer.start();
        midi->Inject(0, msg);
        bool passedOn = false;
        bool logged = false;
        while (!(passedOn && logged) && timer.elapsed() < 10000) {
            QCoreApplication::processEvents();
            passedOn = !midi->Sent(MIDI_MAPPER).empty();
            logged = mode == ID_VIEW_MIDI_INPUT
                         ? w.view->m_pLogEdit->toPlainText().endsWith(QStringLiteral("60 64\n"))
                         : w.view->GetDocument()->m_strLog.endsWith(QStringLiteral("60 64\r\n"));
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (!(passedOn && logged)) {
            state.SkipWithError("the message was not logged and passed on");
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_NextMessageAfterBigOpen, log_shown, ID_VIEW_MIDI_INPUT)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_NextMessageAfterBigOpen, log_hidden, ID_VIEW_KEYBOARD)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Saving the big log after 500 messages were logged onto it: every line of the
// file, then the last of the 500 as the log's limits keep them.
void BM_SaveAfterBigOpen(benchmark::State& state)
{
    const QString path = BigLogPath();
    const QByteArray original = ReadAll(path);
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("saved.kvf"));
    BenchWindow w(1, 1);
    w.frame->Action(ID_VIEW_MIDI_INPUT)->trigger();
    w.frame->OpenDocumentFile(path);
    for (int i = 0; i < 500; ++i)
        w.view->AppendDumpLine(0x00400090u | ((i & 0x7F) << 8));
    w.view->FlushLog();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = w.frame->SaveDocument(saved);
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (!ok) {
            state.SkipWithError("the save failed");
            break;
        }
    }
    const QByteArray written = ReadAll(saved);
    const QByteArray logged = written.mid(original.size());
    int kept = 0; // one at a time: past 300 lines the oldest 99 go
    for (int i = 0; i < 500; ++i)
        kept = (kept + 1 > 300 ? kept - 99 : kept) + 1;
    if (!written.startsWith(original) || logged.count("\r\n") != kept)
        state.SkipWithError("the saved file is not the opened one and the kept lines");
    state.counters["saved_MB"] = double(written.size()) / 1e6;
    state.counters["logged_lines_kept"] = double(logged.count("\r\n"));
}
BENCHMARK(BM_SaveAfterBigOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
