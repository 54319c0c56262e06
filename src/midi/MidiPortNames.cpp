#include "midi/MidiPortNames.h"

#include "platform/MidiBackend.h"

namespace MidiPortNames {

namespace {

unsigned Count(IMidiBackend& backend, Kind kind)
{
    return kind == Kind::Input ? backend.InputCount() : backend.OutputCount();
}

bool Caps(IMidiBackend& backend, Kind kind, uint32_t id, MidiCaps& caps)
{
    const MMRESULT r =
        kind == Kind::Input ? backend.GetInputCaps(id, caps) : backend.GetOutputCaps(id, caps);
    return r == MMSYSERR_NOERROR;
}

} // namespace

QString NameOf(Kind kind, uint32_t id)
{
    if (id == MIDI_NO_DEVICE || id == MIDI_MAPPER)
        return QString();
    MidiCaps caps;
    return Caps(MidiSystem::Backend(), kind, id, caps) ? caps.portName : QString();
}

uint32_t Find(Kind kind, const QString& name, uint32_t hint)
{
    if (name.isEmpty())
        return MIDI_NO_DEVICE;
    IMidiBackend& backend = MidiSystem::Backend();
    const unsigned count = Count(backend, kind);
    MidiCaps caps;
    if (hint < count && Caps(backend, kind, hint, caps) && caps.portName == name)
        return hint;
    for (uint32_t i = 0; i < count; ++i) {
        if (Caps(backend, kind, i, caps) && caps.portName == name)
            return i;
    }
    return MIDI_NO_DEVICE;
}

uint32_t FirstRealInput()
{
    IMidiBackend& backend = MidiSystem::Backend();
    const unsigned count = backend.InputCount();
    for (uint32_t i = 0; i < count; ++i) {
        MidiCaps caps;
        if (backend.GetInputCaps(i, caps) == MMSYSERR_NOERROR && !caps.bLoopback)
            return i;
    }
    return count > 0 ? 0 : MIDI_NO_DEVICE;
}

} // namespace MidiPortNames
