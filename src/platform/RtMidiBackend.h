#pragma once
// MIDI ports of the ALSA sequencer and of JACK through RtMidi, with the built-in
// synthesizer as MIDI_MAPPER. Devices are other clients' ports, numbered ALSA
// first, then JACK; opening one creates our own port (client "Kelvora") and
// connects it, so the connection shows in aconnect -l and JACK patchbays.
//
// Ports listeners are called on a thread of the backend's, with no lock of
// ours held (they may list ports or open one); they must not destroy the
// backend. Removing one from another thread waits for a call in progress;
// the backend's end removes those still there.
#include "platform/MidiBackend.h"

#include <memory>
#include <mutex>
#include <set>

class CBuiltinSynth;
class CRtMidiSystems;

class CRtMidiBackend : public IMidiBackend {
public:
    enum System : unsigned { Alsa = 1, Jack = 2 };

    // JACK devices appear whenever a server runs, also one started later; the
    // synth is made on demand when none is given.
    explicit CRtMidiBackend(unsigned systems, std::shared_ptr<CBuiltinSynth> synth = nullptr);
    ~CRtMidiBackend() override;

    static bool AlsaSequencerPresent();
    CBuiltinSynth& Synth() { return *m_pSynth; }

    QString Name() const override;
    unsigned InputCount() override;
    unsigned OutputCount() override;
    MMRESULT GetInputCaps(uint32_t id, MidiCaps& caps) override;
    MMRESULT GetOutputCaps(uint32_t id, MidiCaps& caps) override;
    MMRESULT OpenInput(uint32_t id, MidiInputHandler onData, MidiPortLostHandler onLost,
                       std::unique_ptr<IMidiInPort>& port) override;
    MMRESULT OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                        std::unique_ptr<IMidiOutPort>& port) override;
    int AddPortsListener(MidiPortsChangedHandler onChange) override;
    void RemovePortsListener(int id) override;
    QString OutputProblem(uint32_t id) override;

private:
    std::shared_ptr<CRtMidiSystems> m_pSystems;
    std::shared_ptr<CBuiltinSynth> m_pSynth;
    std::mutex m_listenerMutex;
    std::set<int> m_listenerIds; // ours among the systems' listeners (open ports may outlive us)
};
