#pragma once
#include "midi/MIDIDevice.h"
#include "platform/MidiBackend.h"

#include <QObject>

#include <memory>

// The program's MIDI output port: a port of the system or the built-in
// synthesizer (MIDI_MAPPER). Chosen and kept as the input device is (see
// MIDIInDevice.h): by its port's stable name, waiting and reopening by itself
// when its port goes and comes back, or when the synthesizer's audio does.
class CMIDIOutDevice : public CMIDIDevice {
public:
    CMIDIOutDevice();
    ~CMIDIOutDevice() override;
    CMIDIOutDevice(const CMIDIOutDevice&) = delete;
    CMIDIOutDevice& operator=(const CMIDIOutDevice&) = delete;

    void SetDeviceID(uint32_t id);
    // The stored choice: a stored name that is present wins over the index.
    void LoadDeviceID(const QString& section = QString());
    // Runs dialog 203 (the IMidiDeviceDialogs service); on OK stores (and with
    // save, writes) the choice. Returns the id.
    uint32_t SelectDevice(bool save, QWidget* parent = nullptr);

    // Without an id, opens the stored choice, by name where it has one; when
    // that port is missing or fails to open, the device waits for it. If the
    // port goes away while open, it closes and pNotify (when given) receives
    // a CMidiPortLostEvent; reopened by itself, a CMidiPortBackEvent.
    MMRESULT Open(QObject* pNotify = nullptr, uint32_t id = MIDI_NO_DEVICE);
    // Ends every note this port left sounding, then closes; stops waiting.
    MMRESULT Close();
    // Safe from any thread, concurrently with Open and Close.
    MMRESULT SendShortMsg(uint32_t packedMsg);
    // The open port's current index; any thread.
    uint32_t QueryOpenDeviceID() const;
    bool GetHandle() const; // true while a port is open; any thread, cheap
    // Chosen and wanted open, but its port is not there (yet).
    bool IsWaitingForPort() const;
    // Messages sent but lost before they left (more than the port's buffer
    // holds), over every port this device has had open.
    uint64_t LostMessages() const;

private:
    MMRESULT OpenPortLocked(QObject* pNotify, uint32_t id);
    MMRESULT CloseLocked();
    uint32_t StoredChoiceLocked();
    void WaitForPortLocked(QObject* pNotify);
    void RetryOpen();
    void OnPortLost(uint64_t generation);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
