#pragma once
// The synthesizer line's volume, level and mute, and the master mute check.
// No mixer backend is wired yet: the view shows the slider inactive.
class CMixer {
public:
    bool IsOpen() const { return false; }
    bool HasLevelControl() const { return false; }
    bool HasMuteControl() const { return false; }
};
