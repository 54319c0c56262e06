#include "platform/SoundingNotes.h"

void CSoundingNotes::Track(uint32_t packed)
{
    const unsigned status = packed & 0xFF;
    const unsigned ch = status & 0x0F;
    const unsigned data1 = (packed >> 8) & 0x7F;
    const unsigned data2 = (packed >> 16) & 0x7F;
    const uint64_t bit = uint64_t{1} << (data1 & 63);
    uint64_t& word = m_keys[ch][data1 >> 6];

    switch (status & 0xF0) {
    case 0x90:
        if (data2 != 0) {
            word |= bit;
            break;
        }
        [[fallthrough]]; // note-on with velocity 0 ends the note
    case 0x80:
        word &= ~bit;
        break;
    case 0xB0:
        if (data1 == 64) {
            if (data2 >= 64)
                m_nSustained = static_cast<uint16_t>(m_nSustained | (1u << ch));
            else
                m_nSustained = static_cast<uint16_t>(m_nSustained & ~(1u << ch));
        }
        break;
    default:
        break;
    }
}

bool CSoundingNotes::Empty() const
{
    if (m_nSustained)
        return false;
    for (const auto& ch : m_keys) {
        if (ch[0] | ch[1])
            return false;
    }
    return true;
}

void CSoundingNotes::Clear()
{
    m_keys = {};
    m_nSustained = 0;
}
