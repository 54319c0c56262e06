#pragma once
// Every entry the program keeps in the user's profile: its section, entry name,
// default and the values a read accepts. Reading and writing both name a row
// of this table, so an entry is spelled once; a new setting is one more row.
//
// A read brings the value into the row's range: anything outside it, or
// anything that is not an integer, gives the default. A row with a mask holds
// a bit set instead: unknown bits are dropped.
#include <QByteArray>
#include <QString>

#include <climits>

struct ProfileSetting {
    const char* section;
    const char* entry;
    int defaultValue;
    int lo = INT_MIN;
    int hi = INT_MAX;
    int mask = 0; // nonzero: a bit set, read as value & mask

    constexpr bool Contains(int v) const { return v >= lo && v <= hi; }
};

namespace Settings {

// The view: display mode (1 keyboard, 2 log, 3 hand sign) and log line attributes.
inline constexpr ProfileSetting ViewMode{"View", "Def", 1, 1, 3};
inline constexpr ProfileSetting DumpAttributes{"View", "EdFmt", 4, INT_MIN, INT_MAX, 1 | 4 | 8};

// The message filter: a set flag disables its message class.
inline constexpr ProfileSetting FilterSysRealTime{"MIDIFlt", "SysRlTm", 1, 0, 1};
inline constexpr ProfileSetting FilterPitchBend{"MIDIFlt", "PchBend", 1, 0, 1};
inline constexpr ProfileSetting FilterCtrlChange{"MIDIFlt", "CtlChng", 1, 0, 1};
inline constexpr ProfileSetting FilterChanPressure{"MIDIFlt", "ChnPres", 1, 0, 1};
inline constexpr ProfileSetting FilterKeyPressure{"MIDIFlt", "KeyPres", 1, 0, 1};
inline constexpr ProfileSetting FilterActiveSensing{"MIDIFlt", "ActSens", 1, 0, 1};

// The output defaults. A channel of 16 would change the message type, a
// velocity above 127 is not a data byte; a patch of -1 means none.
inline constexpr ProfileSetting UseMIDIIn{"MIDICnf", "UseMDIn", 0, 0, 1};
inline constexpr ProfileSetting Channel{"MIDICnf", "Channel", 0, 0, 15};
inline constexpr ProfileSetting Velocity{"MIDICnf", "Velocit", 127, 0, 127};
inline constexpr ProfileSetting Patch{"MIDICnf", "Patch", 0, -1, 127};

// The metronome: tempo in pulses per minute (an MM of 0 would divide by zero)
// and pulses per measure (0: every pulse is a first one).
inline constexpr ProfileSetting MetronomeMM{"Metro", "MM", 100, 35, 140};
inline constexpr ProfileSetting MetronomePPM{"Metro", "PPM", 4, 0, 48};

// The PC keyboard's voice: 1 sounds an octave lower.
inline constexpr ProfileSetting Male{"PCKey", "Male", 0, 0, 1};

// The lesson's settings. The tonic of movable do (0 C .. 11 B; C is fixed
// do), the chromatic signs (0: a note outside the scale shows the blank
// picture), the names on held keys (0 none, 1 letters, 2 syllables) and the
// maximised picture scale (0 twice, 1 the largest that fits).
inline constexpr ProfileSetting Tonic{"View", "Tonic", 0, 0, 11};
inline constexpr ProfileSetting ChromaticSigns{"View", "Chromat", 0, 0, 1};
inline constexpr ProfileSetting KeyNames{"View", "KeyName", 0, 0, 2};
inline constexpr ProfileSetting FitPictures{"View", "FitPict", 0, 0, 1};

// The MIDI ports: a device index, -100 none, -1 (output only) the built-in
// synthesizer. The device itself decides what an index means.
inline constexpr ProfileSetting InDeviceID{"MIDIIn", "DevID", -100};
inline constexpr ProfileSetting OutDeviceID{"MIDIOut", "DevID", -100};
// Beside the index, the port's stable name (text): a port found by its name
// wins over the index, which port lists on Linux move.
inline constexpr ProfileSetting InDeviceName{"MIDIIn", "DevName", 0};
inline constexpr ProfileSetting OutDeviceName{"MIDIOut", "DevName", 0};

// Every setting of the program's own, for checks over the whole table: their
// names are abbreviations of at most seven characters.
inline constexpr const ProfileSetting* kAll[] = {
    &ViewMode, &DumpAttributes, &FilterSysRealTime, &FilterPitchBend, &FilterCtrlChange,
    &FilterChanPressure, &FilterKeyPressure, &FilterActiveSensing, &UseMIDIIn, &Channel,
    &Velocity, &Patch, &MetronomeMM, &MetronomePPM, &Male, &Tonic, &ChromaticSigns, &KeyNames,
    &FitPictures, &InDeviceID, &OutDeviceID, &InDeviceName, &OutDeviceName};

// The main frame's bar layout, under the section the frame's layout has
// always had (its names are not held to seven characters).
inline constexpr ProfileSetting StatusBarShown{"ToolBars2", "StatusBar", 1, 0, 1};
inline constexpr ProfileSetting BarState{"ToolBars2", "State", 0};

// The row's value, brought into range.
int Read(const ProfileSetting& row);
void Write(const ProfileSetting& row, int value);
// The same entry in another section, an empty one being the row's own (a
// device stored under a section of its caller's choosing).
int Read(const ProfileSetting& row, const QString& section);

// Text entries (port names), in the row's section or another one.
QString ReadText(const ProfileSetting& row, const QString& section = QString());
void WriteText(const ProfileSetting& row, const QString& value);

// Layouts the program stores as one blob (the bar layout).
QByteArray ReadBinary(const ProfileSetting& row);
void WriteBinary(const ProfileSetting& row, const QByteArray& value);

} // namespace Settings
