#pragma once
// The MIDI port services the program needs, as one small interface with a
// backend per system (ALSA sequencer / JACK through RtMidi, the built-in
// synthesizer, in-process loopback). Device ids are flat indices per kind;
// MIDI_MAPPER (output only) is the built-in synthesizer.
//
// Port lists change while the program runs (a keyboard plugged in or out, a
// synthesizer program started or quit), so an index names a port only for the
// moment. A port's stable name (MidiCaps::portName) names it for good: it is
// the same while the port exists and again when it comes back. An open port
// knows its current index, and the backend tells listeners when its lists
// may have changed.
#include "platform/MMSystem.h"
#include "platform/Service.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

struct MidiCaps {
    uint16_t wMid = 0;            // manufacturer id
    uint16_t wPid = 0;            // product id
    uint32_t vDriverVersion = 0;
    QString szPname;              // product name, whole
    // The port's stable name ("client:port" as the ALSA sequencer or JACK
    // gives it, without numbers that change on a replug); empty when the
    // backend has none, as for the built-in synthesizer.
    QString portName;
    // A port that only passes on what others send it (ALSA's "Midi
    // Through"): listed and selectable, never chosen on the user's behalf.
    bool bLoopback = false;
};

// Called on the backend's own thread with one packed short message.
using MidiInputHandler = std::function<void(uint32_t packedMsg)>;
// Called (on any thread) when an open port's peer goes away.
using MidiPortLostHandler = std::function<void()>;
// Called (on any thread, never blocking) when the lists of inputs or outputs
// may have changed: a port came or went, a server started or stopped.
using MidiPortsChangedHandler = std::function<void()>;

class IMidiInPort {
public:
    virtual ~IMidiInPort() = default;
    // The port's index in the current list: it moves when ports before it
    // come or go. MIDI_NO_DEVICE once the port is no longer listed.
    virtual uint32_t DeviceId() const = 0;
    virtual MMRESULT Start() = 0;
    virtual MMRESULT Stop() = 0;
    virtual MMRESULT Reset() = 0;
    // Messages that arrived but were dropped before reaching the handler,
    // because more came than the port's buffer holds. Any thread.
    virtual uint64_t LostMessages() const { return 0; }
};

class IMidiOutPort {
public:
    virtual ~IMidiOutPort() = default;
    // As for inputs; MIDI_MAPPER for the built-in synthesizer.
    virtual uint32_t DeviceId() const = 0;
    // Thread-safe: the metronome thread and the UI thread may send at once.
    virtual MMRESULT ShortMsg(uint32_t packedMsg) = 0;
    // Silences everything sounding on the port (note-offs for what was sent).
    virtual MMRESULT Reset() = 0;
    // Messages accepted by ShortMsg but dropped before they left, or refused
    // because the port's buffer was full. Any thread.
    virtual uint64_t LostMessages() const { return 0; }
};

class IMidiBackend {
public:
    virtual ~IMidiBackend() = default;
    virtual QString Name() const = 0;
    virtual unsigned InputCount() = 0;
    virtual unsigned OutputCount() = 0;
    virtual MMRESULT GetInputCaps(uint32_t id, MidiCaps& caps) = 0;
    virtual MMRESULT GetOutputCaps(uint32_t id, MidiCaps& caps) = 0;
    virtual MMRESULT OpenInput(uint32_t id, MidiInputHandler onData, MidiPortLostHandler onLost,
                               std::unique_ptr<IMidiInPort>& port) = 0;
    virtual MMRESULT OpenOutput(uint32_t id, MidiPortLostHandler onLost,
                                std::unique_ptr<IMidiOutPort>& port) = 0;

    // Tells onChange whenever the port lists may have changed, until
    // RemovePortsListener(id) returns. Where the system can notify (ALSA
    // announcements, JACK registrations) this costs nothing while nothing
    // changes.
    virtual int AddPortsListener(MidiPortsChangedHandler onChange) = 0;
    virtual void RemovePortsListener(int id) = 0;

    // Why an output cannot sound now, in the user's words ("no SoundFont
    // found ..."); empty when it can, or when nothing is known.
    virtual QString OutputProblem(uint32_t id) = 0;
};

// Until one is configured the backend is a loopback with no devices.
template <>
struct ServiceDefault<IMidiBackend> {
    static std::unique_ptr<IMidiBackend> Make();
};

namespace MidiSystem {

// The backend in use: CService<IMidiBackend>, by the name its many callers know.
inline IMidiBackend& Backend()
{
    return CService<IMidiBackend>::Get();
}

// Replaces the backend (tests install a loopback); the old one ends here.
inline void Install(std::unique_ptr<IMidiBackend> backend)
{
    CService<IMidiBackend>::Install(std::move(backend));
}

// Chooses the backend by name: "auto", "alsa", "jack" or "loopback".
// False with a reason in *error when the name is unknown.
bool Configure(const QString& name, QString* error = nullptr);

// The numbered inputs and outputs as the selection dialogs number them.
QString DescribeDevices();

} // namespace MidiSystem
