#pragma once
#include "midi/MIDIDevice.h"
#include "platform/MidiBackend.h"

#include <QPointer>
#include <QObject>

#include <memory>
#include <mutex>

class CMIDIInDevice : public CMIDIDevice {
public:
    CMIDIInDevice();
    ~CMIDIInDevice() override;
    CMIDIInDevice(const CMIDIInDevice&) = delete;
    CMIDIInDevice& operator=(const CMIDIInDevice&) = delete;

    void SetDeviceID(uint32_t id);
    void LoadDeviceID(const QString& section = QString());
    // Runs dialog 202 (the IMidiDeviceDialogs service); on OK stores (and with
    // save, writes) the choice. Returns the id.
    uint32_t SelectDevice(bool save, QWidget* parent = nullptr);

    // Every short message is posted to pNotify as a CMidiDataEvent (none when null).
    // If the device goes away while open, the port closes and pNotify receives a
    // CMidiPortLostEvent.
    MMRESULT Open(QObject* pNotify = nullptr, uint32_t id = MIDI_NO_DEVICE);
    MMRESULT Close();
    uint32_t QueryOpenDeviceID() const;
    bool IsOpen() const;

private:
    void OnPortLost(uint64_t generation);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
