#pragma once
// In-process MIDI devices for tests and benchmarks: counts, names and failures are
// set from outside, input is injected from any thread as if a backend thread
// delivered it, and everything sent to an output is recorded.
#include "platform/MidiBackend.h"

#include <memory>
#include <vector>

class CLoopbackMidiBackend : public IMidiBackend {
public:
    explicit CLoopbackMidiBackend(unsigned inputCount = 0, unsigned outputCount = 0);
    ~CLoopbackMidiBackend() override;

    // ---- set-up (takes effect for later queries and opens)
    void SetInputCount(unsigned count);
    void SetOutputCount(unsigned count);
    void SetInputCaps(unsigned index, const MidiCaps& caps);
    void SetOutputCaps(uint32_t id, const MidiCaps& caps); // MIDI_MAPPER too
    void SetInputName(unsigned index, const QString& name);
    void SetOutputName(uint32_t id, const QString& name);
    // A device whose driver does not answer: caps and open give MMSYSERR_NODRIVER.
    void SetInputNoDriver(unsigned index, bool noDriver = true);
    void SetOutputNoDriver(uint32_t id, bool noDriver = true);
    // Open fails with this result (MMSYSERR_NOERROR again to let it open).
    void SetInputOpenResult(unsigned index, MMRESULT result);
    void SetOutputOpenResult(uint32_t id, MMRESULT result);

    // ---- input
    // Delivers one message through the open, started input's handler on the
    // calling thread. False when the input is not open, not started or gone.
    bool Inject(unsigned index, uint32_t packed);
    bool IsInputOpen(unsigned index) const;
    bool IsInputStarted(unsigned index) const;
    unsigned InputOpenCount(unsigned index) const;  // successful opens so far
    unsigned InputResetCount(unsigned index) const;

    // ---- output
    // Every message that reached the device, in order, including the silencing
    // messages of a reset. Messages refused as malformed are not recorded.
    std::vector<uint32_t> Sent(uint32_t id) const;
    void ClearSent();
    unsigned OpenOutputs(uint32_t id) const;        // ports open on it now
    unsigned OutputOpenCount(uint32_t id) const;    // successful opens so far
    unsigned OutputResetCount(uint32_t id) const;

    // ---- a peer that goes away: the open port stops working and its lost
    // handler runs on the calling thread. False when nothing was open.
    bool VanishInput(unsigned index);
    bool VanishOutput(uint32_t id);

    // ---- IMidiBackend
    QString Name() const override;
    unsigned InputCount() override;
    unsigned OutputCount() override;
    MMRESULT GetInputCaps(uint32_t id, MidiCaps& caps) override;
    MMRESULT GetOutputCaps(uint32_t id, MidiCaps& caps) override;
    MMRESULT OpenInput(uint32_t id, MidiInputHandler onData, MidiPortLostHandler onLost,
                       std::unique_ptr<IMidiInPort>& port) override;
    MMRESULT OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                        std::unique_ptr<IMidiOutPort>& port) override;

    struct State; // shared with the open ports, which may outlive the backend object

private:
    std::shared_ptr<State> m_pState;
};
