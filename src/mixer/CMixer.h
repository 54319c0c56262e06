#pragma once
// A thin wrapper of the platform's mixer: one open mixer device, the lines
// and controls found on it by type, and their values as one 32-bit value
// across the line's channels. Every call keeps the platform's result in
// m_nLastResult; nothing here tells the user anything.
#include "platform/MixerBackend.h"

#include <memory>

class QWidget;

class CMixer {
public:
    CMixer() = default;
    ~CMixer() { Close(); }
    CMixer(const CMixer&) = delete;
    CMixer& operator=(const CMixer&) = delete;

    // Closes a device already open, then opens deviceId; the callback window
    // is named only when it is a live window.
    bool Open(uint32_t deviceId, QWidget* callbackWindow);
    void Close();
    bool IsOpen() const { return m_pDevice != nullptr; }

    // componentType 0: the destination of that index. Otherwise the
    // destination of that type with the highest index (index unused).
    bool GetDestinationLine(uint32_t componentType, MIXERLINE& line, uint32_t index = 0);
    // The source of that type with the highest index on the destination of
    // index destinationIndex; a failing query ends the search.
    bool GetSourceLine(uint32_t componentType, MIXERLINE& line, uint32_t destinationIndex);
    bool GetLineInfoById(uint32_t lineId, MIXERLINE& line);
    bool GetLineControl(uint32_t lineId, uint32_t controlType, MIXERCONTROL& control);
    // value is written only on success.
    bool GetControlValue(uint32_t controlId, uint32_t& value);
    // For switches: a failed read reads as 0.
    bool GetControlValueOrZero(uint32_t controlId, uint32_t& value);
    bool SetControlValue(uint32_t controlId, uint32_t value);

    MMRESULT m_nLastResult = MMSYSERR_NOERROR;

private:
    bool Done(MMRESULT result)
    {
        m_nLastResult = result;
        return result == MMSYSERR_NOERROR;
    }

    std::unique_ptr<IMixerDevice> m_pDevice;
};
