#pragma once
// The system's mixer through the ALSA simple mixer on a control device
// ("default": on a desktop the sound server's default sink through the ALSA
// pulse plugin, on plain ALSA the first card). One mixer device when the
// control device opens and has a master element with a playback volume; none
// otherwise (no ALSA, no card, no sound server), found out without waiting.
//
// Device 0 has one destination, the speakers: the master's volume (0..65535
// over the element's range, the same on every channel) and, when the
// element has a playback switch, its mute. On it one source, the built-in
// synthesizer: its volume, mute and peak meter act on CSynthLine.
//
// Every DeviceCount() and Open() reads the ALSA configuration afresh, so a
// sound server started after the program is found (ALSA's shared
// configuration would keep what it found first).
#include "platform/MixerBackend.h"

#include <QByteArray>

class CAlsaMixerBackend : public IMixerBackend {
public:
    explicit CAlsaMixerBackend(QByteArray controlDevice = "default");

    unsigned DeviceCount() override;
    MMRESULT Open(uint32_t id, uint32_t fdwOpen, std::unique_ptr<IMixerDevice>& device) override;

private:
    QByteArray m_controlDevice;
};
