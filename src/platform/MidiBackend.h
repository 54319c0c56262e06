#pragma once
// The MIDI port services the program needs, as one small interface with a
// backend per system (ALSA sequencer / JACK through RtMidi, the built-in
// synthesizer, in-process loopback). Device ids are flat indices per kind;
// MIDI_MAPPER (output only) is the built-in synthesizer.
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
};

// Called on the backend's own thread with one packed short message.
using MidiInputHandler = std::function<void(uint32_t packedMsg)>;
// Called (on any thread) when an open port's peer goes away.
using MidiPortLostHandler = std::function<void()>;

class IMidiInPort {
public:
    virtual ~IMidiInPort() = default;
    virtual uint32_t DeviceId() const = 0;
    virtual MMRESULT Start() = 0;
    virtual MMRESULT Stop() = 0;
    virtual MMRESULT Reset() = 0;
};

class IMidiOutPort {
public:
    virtual ~IMidiOutPort() = default;
    virtual uint32_t DeviceId() const = 0;
    // Thread-safe: the metronome thread and the UI thread may send at once.
    virtual MMRESULT ShortMsg(uint32_t packedMsg) = 0;
    // Silences everything sounding on the port (note-offs for what was sent).
    virtual MMRESULT Reset() = 0;
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
