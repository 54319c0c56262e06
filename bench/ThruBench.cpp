// Thru latency: a message arriving at the input (on a foreign thread, as a backend
// delivers it) until the view has passed it on to the output port. Idle, and
// while 10,000 messages a second arrive with the log shown.
#include "BenchWindow.h"
#include "res/ResourceIds.h"
#include "view/CTessaroView.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The message for sequence number i: a note-on whose two data bytes carry i.
uint32_t SeqMsg(uint32_t i)
{
    return 0x90u | ((i & 0x7F) << 8) | (((i >> 7) & 0x7F) << 16);
}
uint32_t SeqOf(uint32_t msg)
{
    return ((msg >> 8) & 0x7F) | (((msg >> 16) & 0x7F) << 7);
}

// Records when each message reaches an output port.
struct Arrivals {
    std::vector<Clock::time_point> at;
    std::atomic<uint32_t> count{0};
};

class TimedOutPort : public IMidiOutPort {
public:
    TimedOutPort(std::unique_ptr<IMidiOutPort> inner, Arrivals* arrivals)
        : m_inner(std::move(inner)), m_arrivals(arrivals) {}
    uint32_t DeviceId() const override { return m_inner->DeviceId(); }
    MMRESULT ShortMsg(uint32_t msg) override
    {
        const auto now = Clock::now();
        if ((msg & 0xF0) == 0x90) {
            const uint32_t seq = SeqOf(msg);
            if (seq < m_arrivals->at.size()) {
                m_arrivals->at[seq] = now;
                m_arrivals->count.fetch_add(1, std::memory_order_relaxed);
            }
        }
        return MMSYSERR_NOERROR; // nothing recorded: memory stays flat
    }
    MMRESULT Reset() override { return m_inner->Reset(); }

private:
    std::unique_ptr<IMidiOutPort> m_inner;
    Arrivals* m_arrivals;
};

class TimedBackend : public CLoopbackMidiBackend {
public:
    explicit TimedBackend(Arrivals* arrivals) : CLoopbackMidiBackend(1, 1), m_arrivals(arrivals) {}
    MMRESULT OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                        std::unique_ptr<IMidiOutPort>& port) override
    {
        std::unique_ptr<IMidiOutPort> inner;
        const MMRESULT r = CLoopbackMidiBackend::OpenOutput(id, std::move(onLost), inner);
        if (r == MMSYSERR_NOERROR)
            port = std::make_unique<TimedOutPort>(std::move(inner), m_arrivals);
        return r;
    }

private:
    Arrivals* m_arrivals;
};

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void RunThru(benchmark::State& state, int ratePerSecond, unsigned mode)
{
    const uint32_t count = static_cast<uint32_t>(state.range(0));
    Arrivals arrivals;
    arrivals.at.assign(count, Clock::time_point{});
    auto backend = std::make_unique<TimedBackend>(&arrivals);
    TimedBackend* midi = backend.get();
    BenchWindow window(std::move(backend));
    window.frame->Action(mode)->trigger();
    QCoreApplication::processEvents();
    const long rssBefore = RssKiB();

    std::vector<Clock::time_point> sentAt(count);
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread injector([&] {
            const auto start = Clock::now();
            const auto period = std::chrono::nanoseconds(1000000000LL / ratePerSecond);
            for (uint32_t i = 0; i < count; ++i) {
                std::this_thread::sleep_until(start + period * i);
                sentAt[i] = Clock::now();
                midi->Inject(0, SeqMsg(i));
            }
            done = true;
        });
        // A real event loop, sleeping until the input's events wake it, as in the program.
        QEventLoop loop;
        QTimer check;
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if ((done && arrivals.count.load() >= count) || Clock::now() > deadline)
                loop.quit();
        });
        check.start(20);
        loop.exec();
        injector.join();
    }

    std::vector<double> us;
    us.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        if (arrivals.at[i] != Clock::time_point{})
            us.push_back(std::chrono::duration<double, std::micro>(arrivals.at[i] - sentAt[i]).count());
    std::sort(us.begin(), us.end());
    auto pct = [&](double p) { return us.empty() ? 0.0 : us[std::min(us.size() - 1, size_t(p * us.size()))]; };
    state.counters["median_us"] = pct(0.5);
    state.counters["p99_us"] = pct(0.99);
    state.counters["max_us"] = us.empty() ? 0.0 : us.back();
    state.counters["lost"] = double(count - us.size());
    state.counters["rss_growth_KiB"] = double(RssKiB() - rssBefore);
}

void BM_ThruIdle(benchmark::State& state) { RunThru(state, 500, ID_VIEW_KEYBOARD); }
void BM_ThruLoadedLogShown(benchmark::State& state) { RunThru(state, 10000, ID_VIEW_MIDI_INPUT); }
void BM_ThruLoadedLogHidden(benchmark::State& state) { RunThru(state, 10000, ID_VIEW_KEYBOARD); }

BENCHMARK(BM_ThruIdle)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThruLoadedLogShown)->Arg(16000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ThruLoadedLogHidden)->Arg(16000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
