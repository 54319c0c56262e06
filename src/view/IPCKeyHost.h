#pragma once
// What the PC keyboard instrument needs of its host: the slots of the held
// keys, the two calls that start and end a key's note, and the window whose
// keys it takes.
#include "view/CMIDIPCKeySlot.h"

#include <array>
#include <cstdint>

class QWidget;

using PCKeySlots = std::array<CMIDIPCKeySlot, 19>;

class IPCKeyHost {
public:
    // One slot per playable key; the instrument frees a slot when it ends its note.
    virtual PCKeySlots& GetPCKeySlots() = 0;
    // A key of slot `index` went down (the host starts the note and fills the slot).
    virtual void OnPCKeyNote(unsigned index, uint32_t nVirtKey) = 0;
    // The key holding a slot came up; `note` is what its press started.
    virtual void OnPCKeyReleased(uint32_t nVirtKey, uint32_t note) = 0;
    // The top-level window the keys are played in.
    virtual QWidget* KeyWindow() const = 0;

protected:
    ~IPCKeyHost() = default;
};
