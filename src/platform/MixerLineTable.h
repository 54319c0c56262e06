#pragma once
// The lines and controls of one mixer device, found the ways the mixer finds
// them (a destination by index, a source by destination and index, any line
// by id, a control by line and type or by id), with the result codes the
// multimedia mixer gives for what is not there. The system mixer and the
// fake both keep their layout in one, so that they answer alike.
#include "platform/MixerBackend.h"

#include <utility>
#include <vector>

class CMixerLineTable {
public:
    // The table keeps each line's dwDestination, dwSource, cConnections,
    // cControls and source flag; the rest (ids, names, component type,
    // channels) is the caller's. Returns the destination's index.
    uint32_t AddDestination(const MIXERLINE& line);
    // A source of an existing destination; returns its index there, or
    // UINT32_MAX when there is no such destination.
    uint32_t AddSource(uint32_t destination, const MIXERLINE& line);
    // A control on the line with that id; false when there is no such line.
    bool AddControl(uint32_t lineId, const MIXERCONTROL& control);

    uint32_t DestinationCount() const;
    MMRESULT GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) const;
    MMRESULT GetLineControl(uint32_t lineId, uint32_t controlType, MIXERCONTROL& control) const;
    // The control with that id, or nullptr.
    const MIXERCONTROL* Control(uint32_t controlId) const;
    // Whether the control can be set to value: MIXERR_INVALCONTROL for no
    // such control, MMSYSERR_INVALPARAM for a meter, MIXERR_INVALVALUE out of
    // bounds.
    MMRESULT CheckSet(uint32_t controlId, uint32_t value) const;

private:
    struct Line {
        MIXERLINE info;
        std::vector<MIXERCONTROL> controls;
    };
    struct Destination {
        Line line;
        std::vector<Line> sources;
    };

    const Line* FindLine(uint32_t lineId) const;
    Line* FindLine(uint32_t lineId);

    std::vector<Destination> m_destinations;
};

// The system mixer as the program knows it: the speakers (the master volume
// and, where there is one, its mute) with the built-in synthesizer on them
// (its volume, mute and peak meter). The fake's standard device has it too.
// A control uniform over its line's channels, with its bounds.
MIXERCONTROL MakeMixerControl(uint32_t id, uint32_t type, uint32_t minimum, uint32_t maximum,
                              const QString& shortName, const QString& name);

namespace SystemMixerLayout {

constexpr uint32_t kSpeakersLine = 0xFFFF0000;
constexpr uint32_t kSynthLine = 0x00010000;
enum : uint32_t {
    kSpeakersVolume = 1,
    kSpeakersMute,
    kSynthVolume,
    kSynthMute,
    kSynthPeak,
};

// The speakers named as the system calls them, with that many channels.
CMixerLineTable Make(const QString& speakersShortName, const QString& speakersName,
                     uint32_t speakersChannels, bool speakersMute);

} // namespace SystemMixerLayout
