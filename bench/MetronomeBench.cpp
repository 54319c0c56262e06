// The metronome's timing on the real periodic timer, idle (with and without
// the beat mark following the pulses) and while the UI thread logs a flood of
// input; the time from a key press to its note-on leaving the output port;
// and what drawing the beat mark costs the UI thread.
//
// The output port is a stand-in that stamps every message with the monotonic
// clock as it arrives, so what is measured is the program up to the port.
#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "midi/MIDIShortMsg.h"
#include "platform/MidiBackend.h"
#include "platform/PeriodicTimer.h"
#include "platform/Profile.h"
#include "view/CBeatMark.h"
#include "view/CMetronome.h"
#include "view/CTessaroView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QThread>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

namespace {

// Allocations made on the metronome's thread once it has sounded its first
// pulse (the port below marks the thread). A pulse must make none.
thread_local bool t_bPulseThread = false;
std::atomic<uint64_t> g_nPulseAllocs{0};

} // namespace

void* operator new(std::size_t size)
{
    if (t_bPulseThread)
        g_nPulseAllocs.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

struct Stamp {
    int64_t ns;
    uint32_t msg;
};

// What reached the port: the metronome's note-ons with their times, the time
// of the last other note-on, and how many messages came in all.
struct StampLog {
    std::mutex mutex;
    std::vector<Stamp> pulses;
    std::atomic<int64_t> lastNoteOnNs{0};
    std::atomic<uint64_t> messages{0};

    void Clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        pulses.clear();
        lastNoteOnNs = 0;
        messages = 0;
    }
    size_t PulseCount()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pulses.size();
    }
};

class CStampOutPort : public IMidiOutPort {
public:
    explicit CStampOutPort(StampLog& log) : m_log(log) {}
    uint32_t DeviceId() const override { return 0; }
    MMRESULT ShortMsg(uint32_t packed) override
    {
        const int64_t now = CPeriodicTimer::NowNs();
        m_log.messages.fetch_add(1, std::memory_order_relaxed);
        if ((packed & 0xFF) == 0x99) {
            t_bPulseThread = true;
            std::lock_guard<std::mutex> lock(m_log.mutex);
            if (m_log.pulses.size() < m_log.pulses.capacity()) // never allocate here
                m_log.pulses.push_back({now, packed});
        } else if ((packed & 0xF0) == 0x90 && (packed >> 16) != 0) {
            m_log.lastNoteOnNs.store(now, std::memory_order_release);
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT Reset() override { return MMSYSERR_NOERROR; }

private:
    StampLog& m_log;
};

class CStampBackend : public IMidiBackend {
public:
    explicit CStampBackend(StampLog& log) : m_log(log) {}
    QString Name() const override { return QStringLiteral("stamp"); }
    unsigned InputCount() override { return 0; }
    unsigned OutputCount() override { return 1; }
    MMRESULT GetInputCaps(uint32_t, MidiCaps&) override { return MMSYSERR_BADDEVICEID; }
    MMRESULT GetOutputCaps(uint32_t id, MidiCaps& caps) override
    {
        if (id != 0)
            return MMSYSERR_BADDEVICEID;
        caps.szPname = QStringLiteral("Stamping port");
        return MMSYSERR_NOERROR;
    }
    MMRESULT OpenInput(uint32_t, MidiInputHandler, MidiPortLostHandler,
                       std::unique_ptr<IMidiInPort>&) override
    {
        return MMSYSERR_BADDEVICEID;
    }
    MMRESULT OpenOutput(uint32_t id, MidiPortLostHandler, std::unique_ptr<IMidiOutPort>& port) override
    {
        if (id != 0)
            return MMSYSERR_BADDEVICEID;
        port = std::make_unique<CStampOutPort>(m_log);
        return MMSYSERR_NOERROR;
    }
    int AddPortsListener(MidiPortsChangedHandler) override { return 1; }
    void RemovePortsListener(int) override {}
    QString OutputProblem(uint32_t) override { return {}; }

private:
    StampLog& m_log;
};

StampLog& Log()
{
    static StampLog log;
    return log;
}

// The program's window on the stamping port, as start-up builds it.
struct Program {
    CTessaroDoc doc;
    CMainFrame* frame = nullptr;
    CTessaroView* view = nullptr;

    explicit Program(int viewMode)
    {
        MidiSystem::Install(std::make_unique<CStampBackend>(Log()));
        Profile::WriteProfileInt("MIDIOut", "DevID", 0);
        Profile::WriteProfileInt("View", "Def", viewMode);
        frame = CTessaroApp::CreateMainWindow(&doc);
        view = frame->GetActiveView();
        frame->show();
        frame->activateWindow();
        QApplication::processEvents();
    }
    ~Program()
    {
        frame->close();
        delete frame;
    }
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(std::ceil(p * v.size())) - 1);
    return v[i];
}

double Median(const std::vector<double>& v)
{
    return Percentile(v, 0.5);
}

// Runs the metronome at MM 140 until `pulses` pulses have sounded; with
// messagesPerSecond > 0 the UI thread meanwhile takes that many input
// messages a second, each logged and passed on to the same port. With
// beatMark the view shows the beat mark, woken by every pulse.
void RunMetronome(benchmark::State& state, int messagesPerSecond, bool beatMark = false)
{
    const int pulses = static_cast<int>(state.range(0));
    // 2: the log pane, the costliest place to log into; 1: the keyboard
    // pane, where the log is kept as text only.
    const int pane = static_cast<int>(state.range(1));
    for (auto _ : state) {
        Program program(pane);
        CTessaroView* view = program.view;
        Log().Clear();
        {
            std::lock_guard<std::mutex> lock(Log().mutex);
            Log().pulses.reserve(static_cast<size_t>(pulses) + 16);
        }
        view->m_nMM = 140;
        view->m_nPPM = 4;
        uint64_t logged = 0;
        g_nPulseAllocs = 0;
        const int64_t t0 = CPeriodicTimer::NowNs();
        view->OnToggleMetronome();
        std::unique_ptr<CBeatMark> mark;
        if (beatMark) {
            mark = std::make_unique<CBeatMark>(view->Metronome(), view);
            mark->Start();
        }
        const CPeriodicTimer& timer = view->Metronome().Timer();

        // Input arrives in bursts of 10 every ms, as a busy controller's does.
        const int64_t burstNs = messagesPerSecond > 0 ? 10'000'000'000LL / messagesPerSecond : 0;
        int64_t nextBurst = CPeriodicTimer::NowNs();
        uint8_t key = 60;
        while (Log().PulseCount() < static_cast<size_t>(pulses)) {
            if (burstNs > 0 && CPeriodicTimer::NowNs() >= nextBurst) {
                for (int i = 0; i < 10; ++i, ++logged) {
                    const bool on = (logged & 1) == 0;
                    view->OnMidiData(on ? MakeNoteOn(0, key, 100) : MakeNoteOff(0, key, 0));
                    if (!on)
                        key = static_cast<uint8_t>(key == 72 ? 60 : key + 1);
                }
                nextBurst += burstNs;
                QApplication::processEvents();
            } else {
                QApplication::processEvents();
                QThread::usleep(burstNs > 0 ? 200 : 5000);
            }
        }
        const int64_t t1 = CPeriodicTimer::NowNs();
        view->OnToggleMetronome();
        if (mark) {
            QApplication::processEvents(); // the last pulse's wake-up
            state.counters["mark_shown_seq"] = static_cast<double>(mark->ShownPulse().nSequence);
            mark->Stop();
        }

        std::vector<Stamp> stamps;
        {
            std::lock_guard<std::mutex> lock(Log().mutex);
            stamps = Log().pulses;
        }
        const int64_t origin = timer.OriginNs();
        const int64_t period = timer.PeriodNs();
        std::vector<double> errorsMs;
        for (const Stamp& s : stamps) {
            // The pulse this one was due as (pulses dropped after a stall are counted apart).
            const int64_t n = (s.ns - origin + period / 2) / period;
            errorsMs.push_back(static_cast<double>(s.ns - (origin + n * period)) / 1e6);
        }
        const size_t k = std::min<size_t>(20, errorsMs.size());
        const std::vector<double> firstK(errorsMs.begin(), errorsMs.begin() + static_cast<long>(k));
        const std::vector<double> lastK(errorsMs.end() - static_cast<long>(k), errorsMs.end());

        state.counters["pulses"] = static_cast<double>(stamps.size());
        state.counters["err_median_ms"] = Median(errorsMs);
        state.counters["err_p99_ms"] = Percentile(errorsMs, 0.99);
        state.counters["err_max_ms"] = errorsMs.empty() ? 0 : *std::max_element(errorsMs.begin(), errorsMs.end());
        state.counters["last_pulse_err_ms"] = errorsMs.empty() ? 0 : errorsMs.back();
        // Median error of the last 20 pulses less that of the first 20.
        state.counters["drift_ms"] = Median(lastK) - Median(firstK);
        state.counters["dropped"] = static_cast<double>(timer.DroppedPulses());
        state.counters["realtime"] = timer.IsRealTime() ? 1 : 0;
        state.counters["pulse_allocs"] = static_cast<double>(g_nPulseAllocs.load());
        state.counters["logged_per_s"] = static_cast<double>(logged) * 1e9 / static_cast<double>(t1 - t0);
    }
}

void BM_MetronomeIdle(benchmark::State& state)
{
    RunMetronome(state, 0);
}

void BM_MetronomeIdleWithBeatMark(benchmark::State& state)
{
    RunMetronome(state, 0, true);
}

void BM_MetronomeWhileLogging10k(benchmark::State& state)
{
    RunMetronome(state, 10'000);
}

// From a key press event to the note-on at the port, through the
// application-wide key filter, the view and the output device.
void BM_KeyPressToNoteOn(benchmark::State& state)
{
    Program program(1);
    QWidget* target = QApplication::focusWidget();
    if (!target || QApplication::activeWindow() != program.frame) {
        state.SkipWithError("the main window did not become active");
        return;
    }
    std::vector<double> latencyUs;
    latencyUs.reserve(100000);
    for (auto _ : state) {
        Log().lastNoteOnNs = 0;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        const int64_t t0 = CPeriodicTimer::NowNs();
        QApplication::sendEvent(target, &press);
        const int64_t t1 = Log().lastNoteOnNs.load(std::memory_order_acquire);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        QApplication::sendEvent(target, &release);
        if (t1 == 0) {
            state.SkipWithError("the press sent no note-on");
            return;
        }
        latencyUs.push_back(static_cast<double>(t1 - t0) / 1e3);
    }
    state.counters["press_to_note_on_median_us"] = Median(latencyUs);
    state.counters["press_to_note_on_p99_us"] = Percentile(latencyUs, 0.99);
    state.counters["press_to_note_on_max_us"] =
        latencyUs.empty() ? 0 : *std::max_element(latencyUs.begin(), latencyUs.end());
}

// One paint of the beat mark, as its paintEvent does it, into an image of its
// size: state 0 the lit accent, 1 a lit weak pulse, 2 dim.
void BM_DrawBeatMark(benchmark::State& state)
{
    const int scale = static_cast<int>(state.range(0));
    const int kind = static_cast<int>(state.range(1));
    const int side = CBeatMark::kSide * scale;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    const MetronomePulse pulse{kind == 1 ? 2u : 1u, kind == 1 ? 2u : 1u, kind != 1, 0};
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(image.rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        CBeatMark::Paint(painter, side, pulse, kind != 2);
    }
    benchmark::DoNotOptimize(image.constBits());
}

} // namespace

BENCHMARK(BM_DrawBeatMark)
    ->ArgNames({"scale", "state"})
    ->ArgsProduct({{1, 2, 4}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MetronomeIdle)
    ->ArgNames({"pulses", "pane"})
    ->Args({200, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_MetronomeIdleWithBeatMark)
    ->ArgNames({"pulses", "pane"})
    ->Args({200, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_MetronomeWhileLogging10k)
    ->ArgNames({"pulses", "pane"})
    ->Args({200, 2})
    ->Args({200, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_KeyPressToNoteOn)->Iterations(5000)->Unit(benchmark::kMicrosecond);
