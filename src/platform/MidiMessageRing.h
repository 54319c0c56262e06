#pragma once
// The queue between a real-time callback and an ordinary thread: packed
// short messages, one producer and one consumer, fixed capacity, no locks and
// no allocation after construction. A message that does not fit is refused,
// never written over an older one, so what gets through stays in order and the
// caller can count exactly what did not.
//
// Threading: Push() from one thread at a time (the producer), Front()/Pop()
// from one thread at a time (the consumer); Empty() from either. The storage
// is written once here, so the real-time side never takes a page fault on
// first touch.
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

class CMidiMessageRing {
public:
    // What a port's ring holds: over a second at 100,000 messages a second,
    // more than the densest stream a port carries.
    static constexpr std::size_t kPortMessages = 1u << 17;

    // Room for at least minCapacity messages (rounded up to a power of two).
    explicit CMidiMessageRing(std::size_t minCapacity)
        : m_nMask(std::bit_ceil(minCapacity < 2 ? std::size_t{2} : minCapacity) - 1),
          m_pSlots(new uint32_t[m_nMask + 1]())
    {
    }
    CMidiMessageRing(const CMidiMessageRing&) = delete;
    CMidiMessageRing& operator=(const CMidiMessageRing&) = delete;

    std::size_t Capacity() const noexcept { return m_nMask + 1; }

    // Producer: false (nothing written) when full.
    bool Push(uint32_t msg) noexcept
    {
        const std::size_t tail = m_nTail.load(std::memory_order_relaxed);
        if (tail - m_nHead.load(std::memory_order_acquire) > m_nMask)
            return false;
        m_pSlots[tail & m_nMask] = msg;
        m_nTail.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer: the oldest message, left in place; false when empty.
    bool Front(uint32_t& msg) const noexcept
    {
        const std::size_t head = m_nHead.load(std::memory_order_relaxed);
        if (head == m_nTail.load(std::memory_order_acquire))
            return false;
        msg = m_pSlots[head & m_nMask];
        return true;
    }
    // Consumer: drops the message Front() gave.
    void Pop() noexcept
    {
        m_nHead.store(m_nHead.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

    bool Empty() const noexcept
    {
        return m_nHead.load(std::memory_order_acquire) == m_nTail.load(std::memory_order_acquire);
    }

private:
    const std::size_t m_nMask;
    const std::unique_ptr<uint32_t[]> m_pSlots;
    // Apart, so the two sides do not share a cache line.
    alignas(64) std::atomic<std::size_t> m_nHead{0}; // next to read (consumer's)
    alignas(64) std::atomic<std::size_t> m_nTail{0}; // next to write (producer's)
};
