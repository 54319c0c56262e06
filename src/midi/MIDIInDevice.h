#pragma once
#include "midi/MIDIDevice.h"
#include "platform/MidiBackend.h"

#include <QObject>

#include <memory>

// The program's MIDI input port. A device is chosen by index and kept by its
// port's stable name, so that it is found again wherever the port list has
// moved it. Once opened it stays wanted until Close(): when its port goes
// away it waits, and reopens by itself when a port of that name comes back.
class CMIDIInDevice : public CMIDIDevice {
public:
    CMIDIInDevice();
    ~CMIDIInDevice() override;
    CMIDIInDevice(const CMIDIInDevice&) = delete;
    CMIDIInDevice& operator=(const CMIDIInDevice&) = delete;

    void SetDeviceID(uint32_t id);
    // The stored choice: a stored name that is present wins over the index;
    // an absent one leaves the index rules of SetDeviceID.
    void LoadDeviceID(const QString& section = QString());
    // Runs dialog 202 (the IMidiDeviceDialogs service); on OK stores (and with
    // save, writes) the choice. Returns the id.
    uint32_t SelectDevice(bool save, QWidget* parent = nullptr);

    // Every short message is posted to pNotify as a CMidiDataEvent (none when
    // null). Without an id, opens the stored choice, by its name where it has
    // one; when that port is missing or fails to open, the device waits for
    // it (see above). If the port goes away while open, it closes and pNotify
    // receives a CMidiPortLostEvent; coming back, a CMidiPortBackEvent.
    MMRESULT Open(QObject* pNotify = nullptr, uint32_t id = MIDI_NO_DEVICE);
    // Closes and stops waiting.
    MMRESULT Close();
    // The open port's current index, MIDI_NO_DEVICE when none is open.
    uint32_t QueryOpenDeviceID() const;
    bool IsOpen() const;
    // Chosen and wanted open, but its port is not there (yet).
    bool IsWaitingForPort() const;
    // Messages that arrived but were lost before they reached the program
    // (a flood beyond what the port's buffer holds), over every port this
    // device has had open.
    uint64_t LostMessages() const;

private:
    MMRESULT OpenPort(QObject* pNotify, uint32_t id);
    uint32_t StoredChoice();
    void WaitForPort(QObject* pNotify);
    void RetryOpen();
    void OnPortLost(uint64_t generation);

    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
