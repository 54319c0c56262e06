#include "mixer/CMixer.h"

#include <QWidget>

bool CMixer::Open(uint32_t deviceId, QWidget* callbackWindow)
{
    Close();
    // A window of ours that still exists; changes it might be told of are not
    // acted on (the controls show what the set-up read and the user set).
    const uint32_t flags = callbackWindow ? CALLBACK_WINDOW : 0;
    return Done(MixerSystem::Backend().Open(deviceId, flags, m_pDevice)) && m_pDevice;
}

void CMixer::Close()
{
    m_pDevice.reset();
}

bool CMixer::GetDestinationLine(uint32_t componentType, MIXERLINE& line, uint32_t index)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    MIXERCAPS caps;
    if (!Done(m_pDevice->GetDevCaps(caps)))
        return false;
    if (componentType == 0) {
        if (index == 0xFFFFFFFFu || index >= caps.cDestinations)
            return Done(MIXERR_INVALLINE);
        line = MIXERLINE{};
        line.dwDestination = index;
        return Done(m_pDevice->GetLineInfo(line, MIXER_GETLINEINFOF_DESTINATION));
    }
    for (uint32_t i = caps.cDestinations; i-- > 0;) {
        MIXERLINE candidate;
        candidate.dwDestination = i;
        if (!Done(m_pDevice->GetLineInfo(candidate, MIXER_GETLINEINFOF_DESTINATION)))
            continue; // a destination that cannot be read is passed over
        if (candidate.dwComponentType == componentType) {
            line = candidate;
            return true;
        }
    }
    return Done(MIXERR_INVALLINE);
}

bool CMixer::GetSourceLine(uint32_t componentType, MIXERLINE& line, uint32_t destinationIndex)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    if (componentType == 0)
        return Done(MMSYSERR_INVALPARAM);
    MIXERLINE destination;
    destination.dwDestination = destinationIndex;
    if (!Done(m_pDevice->GetLineInfo(destination, MIXER_GETLINEINFOF_DESTINATION)))
        return false;
    for (uint32_t i = destination.cConnections; i-- > 0;) {
        MIXERLINE candidate;
        candidate.dwDestination = destinationIndex;
        candidate.dwSource = i;
        if (!Done(m_pDevice->GetLineInfo(candidate, MIXER_GETLINEINFOF_SOURCE)))
            return false;
        if (candidate.dwComponentType == componentType) {
            line = candidate;
            return true;
        }
    }
    return Done(MIXERR_INVALLINE);
}

bool CMixer::GetLineInfoById(uint32_t lineId, MIXERLINE& line)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    MIXERLINE found;
    found.dwLineID = lineId;
    if (!Done(m_pDevice->GetLineInfo(found, MIXER_GETLINEINFOF_LINEID)))
        return false;
    line = found;
    return true;
}

bool CMixer::GetLineControl(uint32_t lineId, uint32_t controlType, MIXERCONTROL& control)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    MIXERCONTROL found;
    if (!Done(m_pDevice->GetLineControl(lineId, controlType, found)))
        return false;
    control = found;
    return true;
}

bool CMixer::GetControlValue(uint32_t controlId, uint32_t& value)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    uint32_t read = 0;
    if (!Done(m_pDevice->GetControlValue(controlId, read)))
        return false;
    value = read;
    return true;
}

bool CMixer::GetControlValueOrZero(uint32_t controlId, uint32_t& value)
{
    value = 0;
    return GetControlValue(controlId, value);
}

bool CMixer::SetControlValue(uint32_t controlId, uint32_t value)
{
    if (!m_pDevice)
        return Done(MMSYSERR_INVALHANDLE);
    return Done(m_pDevice->SetControlValue(controlId, value));
}
