#include "platform/PulseStream.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <pthread.h>
#include <sched.h>

std::unique_ptr<CPulseStream> CPulseStream::Open(const Format& format, Render render, void* data,
                                                 std::string* error)
{
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32NE;
    sampleFormat.channels = 2;
    sampleFormat.rate = static_cast<uint32_t>(format.sampleRate);
    const uint32_t periodBytes = static_cast<uint32_t>(format.periodFrames) * 2 * sizeof(float);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = periodBytes * static_cast<uint32_t>(format.periods);
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = periodBytes;
    attr.fragsize = static_cast<uint32_t>(-1);
    int err = 0;
    pa_simple* stream = pa_simple_new(nullptr, format.name.c_str(), PA_STREAM_PLAYBACK, nullptr,
                                      format.name.c_str(), &sampleFormat, nullptr, &attr, &err);
    if (stream == nullptr) {
        if (error)
            *error = pa_strerror(err);
        return nullptr;
    }
    std::unique_ptr<CPulseStream> out(new CPulseStream(stream, format, render, data));
    try {
        out->m_thread = std::thread([self = out.get()] { self->Run(); });
    } catch (const std::system_error&) {
        if (error)
            *error = "no thread to play on";
        return nullptr;
    }
    return out;
}

CPulseStream::CPulseStream(pa_simple* stream, const Format& format, Render render, void* data)
    : m_pStream(stream), m_nFrames(format.periodFrames), m_render(render), m_pData(data),
      m_left(format.periodFrames), m_right(format.periodFrames), m_interleaved(2 * format.periodFrames)
{
}

CPulseStream::~CPulseStream()
{
    m_bStop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    pa_simple_free(m_pStream);
}

void CPulseStream::Run()
{
    // As an audio thread should be, where the system allows it (it need not).
    sched_param param{};
    param.sched_priority = 60;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    float* out[2] = {m_left.data(), m_right.data()};
    while (!m_bStop.load(std::memory_order_relaxed)) {
        m_render(m_pData, m_nFrames, 0, nullptr, 2, out);
        for (int i = 0; i < m_nFrames; ++i) {
            m_interleaved[2 * i] = m_left[i];
            m_interleaved[2 * i + 1] = m_right[i];
        }
        int err = 0;
        if (pa_simple_write(m_pStream, m_interleaved.data(), m_interleaved.size() * sizeof(float), &err) < 0) {
            m_bFailed.store(true, std::memory_order_release);
            return;
        }
    }
}
