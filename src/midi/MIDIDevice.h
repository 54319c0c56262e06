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

// Posted to the notify object when an open port's peer vanished and the port was closed.
class CMidiPortLostEvent : public QEvent {
public:
    static constexpr QEvent::Type MM_PORT_LOST = static_cast<QEvent::Type>(QEvent::User + 0x3C4);
    CMidiPortLostEvent() : QEvent(MM_PORT_LOST) {}
};

class CMIDIDevice {
public:
    virtual ~CMIDIDevice() = default;
    uint32_t m_nDeviceID = MIDI_NO_DEVICE;
};
