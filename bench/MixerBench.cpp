// What the level meter costs: the CPU time of timer 2003's work in the view
// (the read through the mixer, the bar set and repainted) and of the audio
// thread's peak measurement on the synthesizer's line, per minute, beside
// what the program costs sitting idle with its keyboard pane shown.
//
// The window is the real one, shown, on the built-in synthesizer. Its audio
// output is stood in for by a thread that renders the synthesizer in blocks
// of 128 frames at the pace of 48 kHz, as FluidSynth's PulseAudio output
// asks for them, so that no sound server is needed. The mixer is the system
// mixer's layout with the synthesizer's controls on the line, as on a
// desktop, and the master kept in memory.
#include "BenchWindow.h"

#include "platform/BuiltinSynth.h"
#include "platform/MixerBackend.h"
#include "platform/MixerLineTable.h"
#include "platform/RtMidiBackend.h"
#include "platform/SynthLine.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <optional>
#include <thread>

namespace {

using namespace SystemMixerLayout;

constexpr double kRate = 48000;
constexpr int kBlockFrames = 128;
constexpr double kBlocksPerMinute = kRate * 60 / kBlockFrames; // 22,500
constexpr double kTicksPerMinute = 60000.0 / 270;              // timer 2003
constexpr int kRunMs = 4000; // each window row; the whole file stays well under 30 s

double CpuMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU time per minute while the event loop runs for ms: the whole process's,
// and the UI thread's (where timer 2003's work is done).
struct CpuPerMinute {
    double process = 0, uiThread = 0;
};
CpuPerMinute RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    const auto wall0 = std::chrono::steady_clock::now();
    const double process0 = CpuMs(CLOCK_PROCESS_CPUTIME_ID), ui0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    loop.exec();
    const double process = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0, ui = CpuMs(CLOCK_THREAD_CPUTIME_ID) - ui0;
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall0).count();
    return {process * 60000.0 / wall, ui * 60000.0 / wall};
}

// The system mixer as CAlsaMixerDevice lays it out, the synthesizer's
// controls on the line, the master in memory.
class CLineMixerDevice : public IMixerDevice {
public:
    MMRESULT GetDevCaps(MIXERCAPS& caps) override
    {
        caps = MIXERCAPS();
        caps.szPname = QStringLiteral("Bench Mixer");
        caps.cDestinations = m_table.DestinationCount();
        return MMSYSERR_NOERROR;
    }
    MMRESULT GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) override { return m_table.GetLineInfo(line, fdwInfo); }
    MMRESULT GetLineControl(uint32_t lineId, uint32_t type, MIXERCONTROL& control) override
    {
        return m_table.GetLineControl(lineId, type, control);
    }
    MMRESULT GetControlValue(uint32_t id, uint32_t& value) override
    {
        if (m_table.Control(id) == nullptr)
            return MIXERR_INVALCONTROL;
        CSynthLine& line = CSynthLine::Instance();
        switch (id) {
        case kSpeakersVolume: value = m_nMasterVolume; break;
        case kSpeakersMute: value = m_nMasterMute; break;
        case kSynthVolume: value = line.Volume(); break;
        case kSynthMute: value = line.Mute() ? 1 : 0; break;
        case kSynthPeak: value = static_cast<uint32_t>(line.Peak()); break;
        default: return MIXERR_INVALCONTROL;
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT SetControlValue(uint32_t id, uint32_t value) override
    {
        if (const MMRESULT refused = m_table.CheckSet(id, value); refused != MMSYSERR_NOERROR)
            return refused;
        CSynthLine& line = CSynthLine::Instance();
        switch (id) {
        case kSpeakersVolume: m_nMasterVolume = value; break;
        case kSpeakersMute: m_nMasterMute = value; break;
        case kSynthVolume: line.SetVolume(value); break;
        case kSynthMute: line.SetMute(value != 0); break;
        default: return MIXERR_INVALCONTROL;
        }
        return MMSYSERR_NOERROR;
    }

private:
    CMixerLineTable m_table = Make(QStringLiteral("Master"), QStringLiteral("Master"), 2, true);
    uint32_t m_nMasterVolume = 65535;
    uint32_t m_nMasterMute = 0;
};

class CLineMixerBackend : public IMixerBackend {
public:
    unsigned DeviceCount() override { return 1; }
    MMRESULT Open(uint32_t id, uint32_t, std::unique_ptr<IMixerDevice>& device) override
    {
        device.reset();
        if (id != 0)
            return MMSYSERR_BADDEVICEID;
        device = std::make_unique<CLineMixerDevice>();
        return MMSYSERR_NOERROR;
    }
};

// The synthesizer's audio output: blocks rendered at 48 kHz's pace, on
// absolute deadlines, through the line as the real output renders them.
class CPacedOutput {
public:
    explicit CPacedOutput(CBuiltinSynth& synth)
        : m_thread([this, &synth] {
              float left[kBlockFrames], right[kBlockFrames];
              const auto period = std::chrono::nanoseconds(static_cast<int64_t>(1e9 * kBlockFrames / kRate));
              auto next = std::chrono::steady_clock::now();
              while (!m_bStop.load(std::memory_order_relaxed)) {
                  synth.Render(left, right, kBlockFrames);
                  next += period;
                  std::this_thread::sleep_until(next);
              }
          })
    {
    }
    ~CPacedOutput()
    {
        m_bStop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

// The window shown in its keyboard pane, its output the built-in synthesizer
// rendered by the paced output, the mixer set up (timer 2003 running).
struct SynthWindow {
    SynthWindow()
        : mixer(std::make_unique<CLineMixerBackend>()), synth(MakeSynth()),
          window(std::make_unique<CRtMidiBackend>(0u, synth))
    {
        CSynthLine::Instance().SetVolume(CSynthLine::kMaxVolume);
        window.view->m_MixerCheckTimer.stop();
        window.view->OnMixerCheckTimer();
        window.frame->show();
        for (int i = 0; i < 20 && !window.frame->windowHandle()->isExposed(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        output.emplace(*synth);
    }
    ~SynthWindow() { output.reset(); }
    bool Ready() const
    {
        return window.frame->windowHandle()->isExposed() && window.view->m_LevelMeterTimer.isActive()
               && window.view->m_OutDevice.QueryOpenDeviceID() == MIDI_MAPPER;
    }
    static std::shared_ptr<CBuiltinSynth> MakeSynth()
    {
        auto s = std::make_shared<CBuiltinSynth>();
        s->SetOffline(true);
        return s;
    }

    CScopedService<IMixerBackend> mixer;
    std::shared_ptr<CBuiltinSynth> synth;
    BenchWindow window;
    std::optional<CPacedOutput> output;
};

// The figures the last row puts side by side.
struct Figures {
    double idle = 0, uiMeterOn = 0, uiMeterOff = 0, tickMs = 0, blockMs = 0;
};
Figures g_figures;

// The whole process for kRunMs: idle (the synthesizer's output running, no
// note), or with middle C played on the window's note path (on 700 ms, off
// 300 ms, the piano's level falling all the while) with the meter's timer
// running or stopped.
void BM_WindowCpu(benchmark::State& state, int scenario)
{
    enum { Idle, MeterRunning, MeterStopped };
    SynthWindow w;
    if (!w.Ready()) {
        state.SkipWithError("window not shown, synthesizer not open or mixer not set up");
        return;
    }
    CTessaroView* view = w.window.view;
    if (scenario == MeterStopped)
        view->m_LevelMeterTimer.stop();
    QTimer notes;
    int step = 0;
    QObject::connect(&notes, &QTimer::timeout, [&] {
        view->SendAndAnimate(view->MakeNoteMessage(60, step % 10 == 0));
        notes.setInterval(step % 10 == 0 ? 700 : 300);
        step = step % 10 == 0 ? 1 : 0;
    });
    if (scenario != Idle)
        notes.start(0);
    CpuPerMinute cpu;
    for (auto _ : state)
        cpu = RunEventLoop(kRunMs);
    view->SendAndAnimate(view->MakeNoteMessage(60, false));
    state.counters["cpu_ms_per_min"] = cpu.process;
    state.counters["ui_thread_ms_per_min"] = cpu.uiThread;
    if (scenario == Idle)
        g_figures.idle = cpu.process;
    else
        (scenario == MeterRunning ? g_figures.uiMeterOn : g_figures.uiMeterOff) = cpu.uiThread;
}
BENCHMARK_CAPTURE(BM_WindowCpu, idle_keyboard_pane, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowCpu, note_meter_running, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WindowCpu, note_meter_stopped, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

// One tick of timer 2003 while a note sounds: the level read through the
// mixer, the bar set, and the bar repainted (a sounding note changes it every
// tick, so every tick is taken to repaint).
void BM_LevelMeterTick(benchmark::State& state)
{
    SynthWindow w;
    w.output.reset(); // the level is set here, not by the synthesizer
    if (!w.window.view->m_LevelMeterTimer.isActive()) {
        state.SkipWithError("mixer not set up");
        return;
    }
    CTessaroView* view = w.window.view;
    view->m_LevelMeterTimer.stop(); // ticked by hand
    QProgressBar* meter = view->m_pLevelMeter;
    CSynthLine& line = CSynthLine::Instance();
    float loud[16], quiet[16];
    std::fill(std::begin(loud), std::end(loud), 0.5f);
    std::fill(std::begin(quiet), std::end(quiet), 0.25f);
    const double cpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    int64_t i = 0;
    for (auto _ : state) {
        float* block = (i++ & 1) ? quiet : loud;
        line.Process(block, block, 16);
        view->OnLevelMeterTimer();
        meter->repaint();
    }
    const double perTick = (CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0) / double(state.iterations());
    g_figures.tickMs = perTick * kTicksPerMinute;
    state.counters["cpu_ms_per_min"] = g_figures.tickMs;
}
BENCHMARK(BM_LevelMeterTick)->Unit(benchmark::kMicrosecond);

// The audio thread's work on the line for one block of a sounding note: the
// gain (which the volume needs anyway) and the peak measured for the meter,
// so an upper bound of the meter's part.
void BM_SynthLineBlock(benchmark::State& state)
{
    CSynthLine line;
    float left[kBlockFrames], right[kBlockFrames];
    for (int i = 0; i < kBlockFrames; ++i)
        left[i] = right[i] = 0.3f * std::sin(2 * M_PI * 261.63 * i / kRate);
    line.Process(left, right, kBlockFrames); // at full gain: the block stays as it is
    const double cpu0 = CpuMs(CLOCK_THREAD_CPUTIME_ID);
    for (auto _ : state) {
        line.Process(left, right, kBlockFrames);
        benchmark::DoNotOptimize(left);
    }
    const double perBlock = (CpuMs(CLOCK_THREAD_CPUTIME_ID) - cpu0) / double(state.iterations());
    g_figures.blockMs = perBlock * kBlocksPerMinute;
    state.counters["cpu_ms_per_min"] = g_figures.blockMs;
}
BENCHMARK(BM_SynthLineBlock);

// The rows above side by side: the meter's CPU per minute (timer 2003's ticks
// and the peak of every block) against the idle program's.
void BM_MeterVsIdle(benchmark::State& state)
{
    for (auto _ : state) {
    }
    const Figures& f = g_figures;
    if (f.idle <= 0 || f.tickMs <= 0 || f.blockMs <= 0) {
        state.SkipWithError("needs the idle, tick and block rows of this file in the same run");
        return;
    }
    const double meter = f.tickMs + f.blockMs;
    state.counters["idle_ms_per_min"] = f.idle;
    state.counters["meter_ms_per_min"] = meter;
    state.counters["ratio"] = meter / f.idle;
    // The timer's share as the running window shows it: the UI thread with the
    // meter's timer running less without (noisier: two runs apart).
    if (f.uiMeterOn > 0 && f.uiMeterOff > 0)
        state.counters["window_timer_ms_per_min"] = f.uiMeterOn - f.uiMeterOff;
}
BENCHMARK(BM_MeterVsIdle)->Iterations(1);

} // namespace
