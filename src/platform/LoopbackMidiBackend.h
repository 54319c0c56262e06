#pragma once
// In-process MIDI devices for tests and benchmarks: counts, names and failures are
// set from outside, input is injected from any thread as if a backend thread
// delivered it, and everything sent to an output is recorded.
//
// Like a desktop's ports, each input and output is a port of its own in an
// ordered list: ports come and go while others are open, the ones after them
// move, and a port's setup, counters and record stay with the port, not with
// the index it happened to have. Index-based calls act on the port at that
// index now; an index no port has is ignored (queries give zero or empty).
// The mapper (MIDI_MAPPER) is one fixed output that never goes away.
#include "platform/MidiBackend.h"

#include <climits>
#include <memory>
#include <vector>

class CLoopbackMidiBackend : public IMidiBackend {
public:
    explicit CLoopbackMidiBackend(unsigned inputCount = 0, unsigned outputCount = 0);
    ~CLoopbackMidiBackend() override;

    // ---- ports coming and going; each change tells the ports listeners on
    // the calling thread once the change is complete.
    // A port appears at index (at the end by default) and its index is
    // returned. An empty name gives the default one ("Loopback MIDI In 3",
    // numbered by the order the ports were made). A name given before is a
    // new port all the same, with fresh counters and record, as a replugged
    // device is.
    unsigned AddInput(const QString& name, unsigned index = UINT_MAX);
    unsigned AddOutput(const QString& name, unsigned index = UINT_MAX);
    // A port goes away (unplugged, its program quit): the ports after it move
    // down one, a port open on it is lost (its lost handler runs on the calling
    // thread) and reports MIDI_NO_DEVICE. False when no port has that index;
    // the mapper cannot be removed.
    bool RemoveInput(unsigned index);
    bool RemoveOutput(uint32_t id);
    // Grows the list with default-named ports or removes ports from its end.
    void SetInputCount(unsigned count);
    void SetOutputCount(unsigned count);
    // Tells the listeners without changing anything, as a backend does that
    // cannot say what changed (a server restarted).
    void NotifyPortsChanged();

    // ---- set-up of the port at an index (takes effect for later queries and opens)
    // An empty caps.portName takes caps.szPname, except for the mapper, which
    // has no port name.
    void SetInputCaps(unsigned index, const MidiCaps& caps);
    void SetOutputCaps(uint32_t id, const MidiCaps& caps); // MIDI_MAPPER too
    // Names the port: its product name and its port name alike.
    void SetInputName(unsigned index, const QString& name);
    void SetOutputName(uint32_t id, const QString& name);
    void SetInputLoopback(unsigned index, bool loopback = true);
    void SetOutputLoopback(uint32_t id, bool loopback = true);
    // A device whose driver does not answer: caps and open give MMSYSERR_NODRIVER.
    void SetInputNoDriver(unsigned index, bool noDriver = true);
    void SetOutputNoDriver(uint32_t id, bool noDriver = true);
    // Open fails with this result (MMSYSERR_NOERROR again to let it open).
    void SetInputOpenResult(unsigned index, MMRESULT result);
    void SetOutputOpenResult(uint32_t id, MMRESULT result);
    // What OutputProblem reports for the output (empty: none).
    void SetOutputProblem(uint32_t id, const QString& problem);
    // What the port's open ports report as LostMessages() from now on.
    void SetInputLost(unsigned index, uint64_t lost);
    void SetOutputLost(uint32_t id, uint64_t lost);

    // ---- input
    // Delivers one message through the open, started input's handler on the
    // calling thread. False when the input is not open, not started or gone.
    bool Inject(unsigned index, uint32_t packed);
    bool IsInputOpen(unsigned index) const;
    bool IsInputStarted(unsigned index) const;
    unsigned InputOpenCount(unsigned index) const;  // successful opens so far
    // The same for the last port made with that port name, listed or gone.
    unsigned InputOpenCount(const QString& portName) const;
    unsigned InputResetCount(unsigned index) const;

    // ---- output
    // Every message that reached the device, in order, including the silencing
    // messages of a reset. Messages refused as malformed are not recorded.
    std::vector<uint32_t> Sent(uint32_t id) const;
    // What the last port made with that port name received, listed or gone.
    std::vector<uint32_t> SentTo(const QString& portName) const;
    void ClearSent(); // of every port, gone ones too
    unsigned OpenOutputs(uint32_t id) const;        // ports open on it now
    unsigned OutputOpenCount(uint32_t id) const;    // successful opens so far
    unsigned OutputOpenCount(const QString& portName) const;
    unsigned OutputResetCount(uint32_t id) const;

    // ---- a peer that breaks while its port stays listed: the open port stops
    // working and its lost handler runs on the calling thread. False when
    // nothing was open.
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
    int AddPortsListener(MidiPortsChangedHandler onChange) override;
    void RemovePortsListener(int id) override;
    QString OutputProblem(uint32_t id) override;

    struct State; // shared with the open ports, which may outlive the backend object

private:
    std::shared_ptr<State> m_pState;
};
