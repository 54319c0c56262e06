#include "midi/MIDICaps.h"

#include "midi/MIDIShortMsg.h"

namespace {

template <typename Caps, typename Query>
MMRESULT QueryInto(Caps& record, uint32_t id, Query query)
{
    if (id == MIDI_NO_DEVICE)
        id = record.m_nDeviceID;
    // MIDI_NO_DEVICE is beyond every device count, so the backend refuses it
    // as a bad device id.
    const MMRESULT result = query(id, static_cast<MidiCaps&>(record));
    if (result == MMSYSERR_BADDEVICEID || result == MMSYSERR_NODRIVER) {
        record.wMid = 0;
        record.wPid = 0;
        record.szPname.clear();
    }
    return result;
}

} // namespace

MMRESULT CMIDIInCaps::Query(uint32_t id)
{
    return QueryInto(*this, id, [](uint32_t dev, MidiCaps& caps) {
        return MidiSystem::Backend().GetInputCaps(dev, caps);
    });
}

void CMIDIInCaps::GetManufacturerName(QString& text, uint16_t mid) const
{
    text = ManufacturerName(mid, wMid);
}

MMRESULT CMIDIOutCaps::Query(uint32_t id)
{
    return QueryInto(*this, id, [](uint32_t dev, MidiCaps& caps) {
        return MidiSystem::Backend().GetOutputCaps(dev, caps);
    });
}

void CMIDIOutCaps::GetManufacturerName(QString& text, uint16_t mid) const
{
    text = ManufacturerName(mid, wMid);
}
