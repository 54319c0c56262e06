// The view's side of the PC keyboard instrument: a key's note goes on and off.
#include "view/CTessaroView.h"

#include "view/CPCKeyboard.h"

void CTessaroView::OnPCKeyNote(unsigned index, uint32_t nVirtKey)
{
    if (index >= m_PCKeySlots.size())
        return;
    CMIDIPCKeySlot& slot = m_PCKeySlots[index];
    // Auto-repeat of the held key, or a second key of a shared slot.
    if (slot.IsHeld())
        return;
    const int note = ToVoiceNote(CPCKeyboard::kFirstNote + static_cast<int>(index));
    slot.Set(nVirtKey, static_cast<uint32_t>(note));
    const uint32_t msg = MakeNoteMessage(static_cast<uint8_t>(note), true);
    // The key is shown down before the note goes out.
    AnimateMessage(msg);
    SendToOutput(msg);
}

void CTessaroView::OnPCKeyReleased(uint32_t /*nVirtKey*/, uint32_t note)
{
    const uint32_t msg = MakeNoteMessage(static_cast<uint8_t>(note), false);
    AnimateMessage(msg);
    SendToOutput(msg);
}

void CTessaroView::EndHeldPCKeys()
{
    if (m_pPCKeyboard)
        m_pPCKeyboard->ReleaseHeldKeys();
}
