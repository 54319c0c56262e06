#pragma once
// One note of the PC keyboard while its key is down: which key holds it and
// which note its note-on carried. The note-off ends that note, whatever voice
// or settings are in force by the time the key comes up.
#include <cstdint>

class CMIDIPCKeySlot {
public:
    // The key went down and started nNote.
    void Set(uint32_t nVirtKey, uint32_t nNote)
    {
        m_nVirtKey = nVirtKey;
        m_nNote = nNote;
        m_bHeld = true;
    }
    // The key is up (or its note was ended for it): the slot is free again.
    void Reset()
    {
        m_nVirtKey = 0;
        m_nNote = 0;
        m_bHeld = false;
    }
    bool IsHeld() const { return m_bHeld; }

    // The key holding the slot, as CPCKeyboard::KeyIdentity names it; 0 while idle.
    uint32_t m_nVirtKey = 0;
    // The MIDI note sent with the note-on; 0 while idle.
    uint32_t m_nNote = 0;

private:
    bool m_bHeld = false;
};
