#include "view/CThruPath.h"

#include "midi/MIDIOutDevice.h"
#include "midi/MIDIShortMsg.h"
#include "view/CViewSettings.h"

CThruPath::CThruPath(const CViewSettings& settings, CMIDIOutDevice& outDevice)
    : m_Settings(settings)
    , m_OutDevice(outDevice)
{
}

bool CThruPath::IsFiltered(uint32_t packedMsg) const
{
    const uint8_t s = static_cast<uint8_t>(packedMsg & 0xFF);
    if (m_Settings.m_bFilterSysRealTime && (s & 0xF8) == 0xF8)
        return true;
    if (m_Settings.m_bFilterActiveSensing && (s & 0xFE) == 0xFE)
        return true;
    return false;
}

uint32_t CThruPath::ToChannel(uint32_t packedMsg, int channel)
{
    MIDIShortMsg msg = UnpackShortMsg(packedMsg);
    switch (msg.status >> 4) {
    case 0x8: case 0x9: case 0xA: case 0xB: case 0xD: case 0xE:
        msg.status = static_cast<uint8_t>((msg.status & 0xF0) + channel);
        return PackShortMsg(msg);
    default:
        return packedMsg;
    }
}

CThruPath::Route CThruPath::RouteIncoming(uint32_t packedMsg)
{
    Route r;
    r.log = !IsFiltered(packedMsg);
    const uint32_t m = m_Settings.m_bUseMIDIIn ? packedMsg : ToChannel(packedMsg, m_Settings.m_nChannel);
    if (!IsFiltered(m)) {
        r.pass = m;
        m_InputNotes.Track(m);
    }
    return r;
}

uint32_t CThruPath::MakeNoteMessage(uint8_t note, bool on) const
{
    uint8_t status = on ? 0x90 : 0x80;
    if (!m_Settings.m_bUseMIDIIn)
        status = static_cast<uint8_t>(status + m_Settings.m_nChannel);
    MIDIShortMsg msg;
    msg.status = status;
    msg.data1 = note;
    msg.data2 = on ? static_cast<uint8_t>(m_Settings.m_nVelocity) : 0;
    return PackShortMsg(msg);
}

void CThruPath::SendToOutput(uint32_t packedMsg) const
{
    if (m_OutDevice.QueryOpenDeviceID() != MIDI_NO_DEVICE)
        m_OutDevice.SendShortMsg(packedMsg);
}
