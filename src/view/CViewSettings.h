#pragma once
// The settings the view keeps, as the profile table names them. The view is
// made of them (its members keep these names); the plain classes below the
// widgets, the thru path among them, read them without knowing the view.
class CViewSettings {
public:
    // Reads every row from the profile, each brought into range.
    void ReadSettings();

    int m_nViewMode = 1;          // 1 keyboard, 2 MIDI input log, 3 hand sign
    int m_nDumpAttributes = 4;    // log line attributes (DumpLine::kAttr...)
    // A set flag disables its message class.
    int m_bFilterSysRealTime = 1;
    int m_bFilterPitchBend = 1;
    int m_bFilterCtrlChange = 1;
    int m_bFilterChanPressure = 1;
    int m_bFilterKeyPressure = 1;
    int m_bFilterActiveSensing = 1;
    int m_bUseMIDIIn = 0;         // 1: input passes on as it came, on its own channel
    int m_nChannel = 0;           // channel of the notes played here and of re-channelled input
    int m_nVelocity = 127;        // velocity of the PC keyboard's notes
    int m_nPatch = 0;             // program on m_nChannel; -1 none
    unsigned m_nMM = 100;         // metronome pulses per minute
    unsigned m_nPPM = 4;          // metronome pulses per measure
    int m_bMale = 0;              // 1: the PC keyboard sounds an octave lower
    // For the lesson: the tonic of movable do,
    // the chromatic signs, names on held keys (0 none, 1 letters, 2
    // syllables), and the maximised pictures fitted to the window.
    int m_nTonic = 0;
    int m_bChromaticSigns = 0;
    int m_nKeyNames = 0;
    int m_bFitPictures = 0;
};
