#pragma once
// A JACK port buffer is shared memory that the process threads of connected
// clients take turns at, in the order of the server's graph: the server wakes
// each client in turn through futexes in shared memory, which the thread
// sanitizer cannot see. Held over a process callback's use of a buffer, a
// turn tells the sanitizer of that hand-over (the turn before ours ended
// before ours begins); in every other build it is nothing.
//
// Real-time safe: no allocation, no lock, no system call.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

class CJackBufferTurn {
public:
    explicit CJackBufferTurn(void* buffer) noexcept : m_pBuffer(buffer)
    {
#if defined(__SANITIZE_THREAD__)
        if (m_pBuffer)
            __tsan_acquire(m_pBuffer);
#endif
    }
    ~CJackBufferTurn()
    {
#if defined(__SANITIZE_THREAD__)
        if (m_pBuffer)
            __tsan_release(m_pBuffer);
#endif
    }
    CJackBufferTurn(const CJackBufferTurn&) = delete;
    CJackBufferTurn& operator=(const CJackBufferTurn&) = delete;

private:
    [[maybe_unused]] void* const m_pBuffer;
};
