#pragma once
// A stand-in for the view: records what an input port posts to it.
#include "midi/MIDIDevice.h"

#include <QEvent>
#include <QObject>

#include <vector>

class MidiTestReceiver : public QObject {
public:
    std::vector<uint32_t> messages;
    int lostEvents = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == CMidiDataEvent::MM_MIM_DATA) {
            messages.push_back(static_cast<CMidiDataEvent*>(e)->m_dwMsg);
            return true;
        }
        if (e->type() == CMidiPortLostEvent::MM_PORT_LOST) {
            ++lostEvents;
            return true;
        }
        return QObject::event(e);
    }
};
