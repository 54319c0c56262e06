#pragma once
// What a port has left sounding: the keys it started and has not ended, and the
// channels whose sustain pedal it pressed. Resetting a port plays back the
// silencing messages, so closing never leaves a stuck note on a synthesizer that
// keeps playing after we are gone.
//
// Not locked: the port that owns it serialises its sends.
#include <array>
#include <cstdint>

class CSoundingNotes {
public:
    // Notes what a message sent on the port starts or ends.
    void Track(uint32_t packed);

    bool Empty() const;

    // Calls send(packed) with each message that silences what is sounding
    // (sustain released first, then a note-off per held key), then forgets it all.
    template <typename Send>
    void Silence(Send&& send)
    {
        for (unsigned ch = 0; ch < 16; ++ch) {
            if (m_nSustained & (1u << ch))
                send(0xB0u | ch | (64u << 8)); // sustain pedal up
        }
        for (unsigned ch = 0; ch < 16; ++ch) {
            for (unsigned word = 0; word < 2; ++word) {
                uint64_t held = m_keys[ch][word];
                while (held) {
                    const unsigned bit = static_cast<unsigned>(__builtin_ctzll(held));
                    held &= held - 1;
                    const unsigned key = word * 64 + bit;
                    send(0x80u | ch | (key << 8));
                }
            }
        }
        Clear();
    }

    void Clear();

private:
    std::array<std::array<uint64_t, 2>, 16> m_keys{}; // one bit per channel and key
    uint16_t m_nSustained = 0;                         // one bit per channel
};
