#pragma once
// The built-in synthesizer's sound as a PulseAudio (or PipeWire) playback
// stream of our own, so that the desktop's volume control lists it under the
// program's name and icon rather than as "FluidSynth output". It plays what
// the render callback makes, a period at a time, on a thread of its own.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct pa_simple;

class CPulseStream {
public:
    // FluidSynth's audio callback: fills out[0] and out[1] with frames samples.
    using Render = int (*)(void* data, int frames, int nfx, float* fx[], int nout, float* out[]);

    struct Format {
        std::string name;   // the application's and the stream's name
        int sampleRate = 44100;
        int periodFrames = 64;
        int periods = 2;    // the server keeps about this many periods queued
    };

    // Connects to the default server; null (with the server's reason in
    // *error) when there is none to play to.
    static std::unique_ptr<CPulseStream> Open(const Format& format, Render render, void* data,
                                              std::string* error = nullptr);
    ~CPulseStream();
    CPulseStream(const CPulseStream&) = delete;
    CPulseStream& operator=(const CPulseStream&) = delete;

    // False once a write has failed: the server went away.
    bool Alive() const { return !m_bFailed.load(std::memory_order_acquire); }

private:
    CPulseStream(pa_simple* stream, const Format& format, Render render, void* data);
    void Run();

    pa_simple* m_pStream;
    const int m_nFrames;
    Render m_render;
    void* m_pData;
    std::vector<float> m_left, m_right, m_interleaved;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bFailed{false};
    std::thread m_thread;
};
