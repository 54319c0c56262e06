#pragma once
// Helpers for the port tests: a stand-in for the view that records what an
// input port posts to it, and a fresh loopback backend for each test.
#include "midi/MIDIDevice.h"
#include "platform/LoopbackMidiBackend.h"

#include <QEvent>
#include <QObject>
#include <gtest/gtest.h>

#include <vector>

class MidiTestReceiver : public QObject {
public:
    std::vector<uint32_t> messages;
    int lostEvents = 0;
    int backEvents = 0;

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
        if (e->type() == CMidiPortBackEvent::MM_PORT_BACK) {
            ++backEvents;
            return true;
        }
        return QObject::event(e);
    }
};

template <int Inputs, int Outputs>
class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto backend = std::make_unique<CLoopbackMidiBackend>(Inputs, Outputs);
        loop = backend.get();
        MidiSystem::Install(std::move(backend));
    }

    CLoopbackMidiBackend* loop = nullptr;
};
