#pragma once
// The program's MIDI ports. A device object holds the id of the chosen device
// and, while open, the port. See MIDIInDevice.h / MIDIOutDevice.h.
#include "platform/MMSystem.h"

#include <QEvent>
#include <QString>

#include <cstdint>

class QObject;
class QWidget;

// Posted to the notify object of an input port for each short message, in
// arrival order, on the UI thread.
class CMidiDataEvent : public QEvent {
public:
    static constexpr QEvent::Type MM_MIM_DATA = static_cast<QEvent::Type>(QEvent::User + 0x3C3);
    explicit CMidiDataEvent(uint32_t packedMsg) : QEvent(MM_MIM_DATA), m_dwMsg(packedMsg) {}
    uint32_t m_dwMsg;
};

// Posted to the notify object when an open port's peer vanished and the port
// was closed. The device stays chosen and waits for the port to come back.
class CMidiPortLostEvent : public QEvent {
public:
    static constexpr QEvent::Type MM_PORT_LOST = static_cast<QEvent::Type>(QEvent::User + 0x3C4);
    explicit CMidiPortLostEvent(bool bOutput = false) : QEvent(MM_PORT_LOST), m_bOutput(bOutput) {}
    bool m_bOutput; // an output device's port, else an input's
};

// Posted to the notify object when a device reopened its port by itself: the
// port it waited for came back.
class CMidiPortBackEvent : public QEvent {
public:
    static constexpr QEvent::Type MM_PORT_BACK = static_cast<QEvent::Type>(QEvent::User + 0x3C6);
    explicit CMidiPortBackEvent(bool bOutput) : QEvent(MM_PORT_BACK), m_bOutput(bOutput) {}
    bool m_bOutput;
};

class CMIDIDevice {
public:
    virtual ~CMIDIDevice() = default;
    // The chosen device: its index when it was chosen or last seen.
    uint32_t m_nDeviceID = MIDI_NO_DEVICE;
    // The chosen port's stable name (MidiCaps::portName); empty when the
    // backend has none. Opening the stored choice finds the port by it.
    QString m_strDeviceName;
};
