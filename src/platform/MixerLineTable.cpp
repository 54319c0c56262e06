#include "platform/MixerLineTable.h"

uint32_t CMixerLineTable::AddDestination(const MIXERLINE& line)
{
    Destination destination;
    destination.line.info = line;
    destination.line.info.dwDestination = static_cast<uint32_t>(m_destinations.size());
    destination.line.info.dwSource = 0;
    destination.line.info.fdwLine &= ~MIXERLINE_LINEF_SOURCE;
    destination.line.info.cConnections = 0;
    destination.line.info.cControls = 0;
    m_destinations.push_back(std::move(destination));
    return m_destinations.back().line.info.dwDestination;
}

uint32_t CMixerLineTable::AddSource(uint32_t destination, const MIXERLINE& line)
{
    if (destination >= m_destinations.size())
        return UINT32_MAX;
    Destination& owner = m_destinations[destination];
    Line source;
    source.info = line;
    source.info.dwDestination = destination;
    source.info.dwSource = static_cast<uint32_t>(owner.sources.size());
    source.info.fdwLine |= MIXERLINE_LINEF_SOURCE;
    source.info.cConnections = 0;
    source.info.cControls = 0;
    owner.sources.push_back(std::move(source));
    owner.line.info.cConnections = static_cast<uint32_t>(owner.sources.size());
    return owner.sources.back().info.dwSource;
}

bool CMixerLineTable::AddControl(uint32_t lineId, const MIXERCONTROL& control)
{
    Line* line = FindLine(lineId);
    if (line == nullptr)
        return false;
    line->controls.push_back(control);
    line->info.cControls = static_cast<uint32_t>(line->controls.size());
    return true;
}

uint32_t CMixerLineTable::DestinationCount() const
{
    return static_cast<uint32_t>(m_destinations.size());
}

MMRESULT CMixerLineTable::GetLineInfo(MIXERLINE& line, uint32_t fdwInfo) const
{
    const Line* found = nullptr;
    switch (fdwInfo) {
    case MIXER_GETLINEINFOF_DESTINATION:
        if (line.dwDestination < m_destinations.size())
            found = &m_destinations[line.dwDestination].line;
        break;
    case MIXER_GETLINEINFOF_SOURCE:
        if (line.dwDestination < m_destinations.size()) {
            const auto& sources = m_destinations[line.dwDestination].sources;
            if (line.dwSource < sources.size())
                found = &sources[line.dwSource];
        }
        break;
    case MIXER_GETLINEINFOF_LINEID:
        found = FindLine(line.dwLineID);
        break;
    default:
        return MMSYSERR_INVALPARAM;
    }
    if (found == nullptr)
        return MIXERR_INVALLINE;
    line = found->info;
    return MMSYSERR_NOERROR;
}

MMRESULT CMixerLineTable::GetLineControl(uint32_t lineId, uint32_t controlType,
                                         MIXERCONTROL& control) const
{
    const Line* line = FindLine(lineId);
    if (line == nullptr)
        return MIXERR_INVALLINE;
    for (const MIXERCONTROL& c : line->controls) {
        if (c.dwControlType == controlType) {
            control = c;
            return MMSYSERR_NOERROR;
        }
    }
    return MIXERR_INVALCONTROL;
}

const MIXERCONTROL* CMixerLineTable::Control(uint32_t controlId) const
{
    auto inLine = [controlId](const Line& line) -> const MIXERCONTROL* {
        for (const MIXERCONTROL& c : line.controls) {
            if (c.dwControlID == controlId)
                return &c;
        }
        return nullptr;
    };
    for (const Destination& d : m_destinations) {
        if (const MIXERCONTROL* c = inLine(d.line))
            return c;
        for (const Line& source : d.sources) {
            if (const MIXERCONTROL* c = inLine(source))
                return c;
        }
    }
    return nullptr;
}

MMRESULT CMixerLineTable::CheckSet(uint32_t controlId, uint32_t value) const
{
    const MIXERCONTROL* control = Control(controlId);
    if (control == nullptr)
        return MIXERR_INVALCONTROL;
    if ((control->dwControlType & MIXERCONTROL_CT_CLASS_MASK) == MIXERCONTROL_CT_CLASS_METER)
        return MMSYSERR_INVALPARAM;
    return MixerValueInBounds(*control, value) ? MMSYSERR_NOERROR : MIXERR_INVALVALUE;
}

const CMixerLineTable::Line* CMixerLineTable::FindLine(uint32_t lineId) const
{
    for (const Destination& d : m_destinations) {
        if (d.line.info.dwLineID == lineId)
            return &d.line;
        for (const Line& source : d.sources) {
            if (source.info.dwLineID == lineId)
                return &source;
        }
    }
    return nullptr;
}

CMixerLineTable::Line* CMixerLineTable::FindLine(uint32_t lineId)
{
    return const_cast<Line*>(std::as_const(*this).FindLine(lineId));
}

MIXERCONTROL MakeMixerControl(uint32_t id, uint32_t type, uint32_t minimum, uint32_t maximum,
                              const QString& shortName, const QString& name)
{
    MIXERCONTROL control;
    control.dwControlID = id;
    control.dwControlType = type;
    control.fdwControl = MIXERCONTROL_CONTROLF_UNIFORM;
    control.szShortName = shortName;
    control.szName = name;
    control.Bounds.dwMinimum = minimum;
    control.Bounds.dwMaximum = maximum;
    return control;
}

namespace SystemMixerLayout {

CMixerLineTable Make(const QString& speakersShortName, const QString& speakersName,
                     uint32_t speakersChannels, bool speakersMute)
{
    CMixerLineTable table;
    MIXERLINE speakers;
    speakers.dwLineID = kSpeakersLine;
    speakers.fdwLine = MIXERLINE_LINEF_ACTIVE;
    speakers.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    speakers.cChannels = speakersChannels;
    speakers.szShortName = speakersShortName;
    speakers.szName = speakersName;
    const uint32_t destination = table.AddDestination(speakers);

    MIXERLINE synth;
    synth.dwLineID = kSynthLine;
    synth.fdwLine = MIXERLINE_LINEF_ACTIVE;
    synth.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
    synth.cChannels = 2;
    synth.szShortName = QStringLiteral("Synth");
    synth.szName = QStringLiteral("Synthesizer");
    table.AddSource(destination, synth);

    table.AddControl(kSpeakersLine,
                     MakeMixerControl(kSpeakersVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535,
                                 QStringLiteral("Volume"), speakersShortName + QStringLiteral(" Volume")));
    if (speakersMute)
        table.AddControl(kSpeakersLine,
                         MakeMixerControl(kSpeakersMute, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1,
                                     QStringLiteral("Mute"), speakersShortName + QStringLiteral(" Mute")));
    table.AddControl(kSynthLine, MakeMixerControl(kSynthVolume, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, 65535,
                                             QStringLiteral("Volume"), QStringLiteral("Synthesizer Volume")));
    table.AddControl(kSynthLine, MakeMixerControl(kSynthMute, MIXERCONTROL_CONTROLTYPE_MUTE, 0, 1,
                                             QStringLiteral("Mute"), QStringLiteral("Synthesizer Mute")));
    table.AddControl(kSynthLine,
                     MakeMixerControl(kSynthPeak, MIXERCONTROL_CONTROLTYPE_PEAKMETER,
                                 static_cast<uint32_t>(-32768), 32767, QStringLiteral("Peak"),
                                 QStringLiteral("Synthesizer Peak")));
    return table;
}

} // namespace SystemMixerLayout
