#pragma once
#include "midi/MIDIDevice.h"
#include "platform/MidiBackend.h"

#include <QObject>

#include <memory>

class CMIDIOutDevice : public CMIDIDevice {
public:
    CMIDIOutDevice();
    ~CMIDIOutDevice() override;
    CMIDIOutDevice(const CMIDIOutDevice&) = delete;
    CMIDIOutDevice& operator=(const CMIDIOutDevice&) = delete;

    void SetDeviceID(uint32_t id);
    void LoadDeviceID(const QString& section = QString());
    // Runs dialog 203 (the IMidiDeviceDialogs service); on OK stores (and with
    // save, writes) the choice. Returns the id.
    uint32_t SelectDevice(bool save, QWidget* parent = nullptr);

    // If the device goes away while open, the port closes and pNotify (when
    // given) receives a CMidiPortLostEvent.
    MMRESULT Open(QObject* pNotify = nullptr, uint32_t id = MIDI_NO_DEVICE);
    // Ends every note this port left sounding, then closes.
    MMRESULT Close();
    // Safe from any thread, concurrently with Open and Close.
    MMRESULT SendShortMsg(uint32_t packedMsg);
    uint32_t QueryOpenDeviceID() const; // any thread
    bool GetHandle() const; // true while a port is open

private:
    MMRESULT CloseLocked();
    void OnPortLost(uint64_t generation);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
