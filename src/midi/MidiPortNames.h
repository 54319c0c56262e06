#pragma once
// Ports by their stable names. An index names a port only until the list
// changes; the name (MidiCaps::portName) names it for good, so a device that
// was chosen by index is found again by its name.
#include "platform/MMSystem.h"

#include <QString>

#include <cstdint>

namespace MidiPortNames {

enum class Kind { Input, Output };

// The stable name of the port at id now; empty for none, for the mapper and
// for backends that have no names.
QString NameOf(Kind kind, uint32_t id);

// The index of the port named `name` now, MIDI_NO_DEVICE when none is. Where
// several ports share the name (two keyboards of one make), `hint` wins if it
// is one of them, else the first.
uint32_t Find(Kind kind, const QString& name, uint32_t hint = MIDI_NO_DEVICE);

// The first input that is a real instrument rather than a loop-back port;
// the first input when all are loop-backs; MIDI_NO_DEVICE when there is none.
uint32_t FirstRealInput();

} // namespace MidiPortNames
