#pragma once
// Numeric ids of commands, controls, dialogs, bitmaps, timers and strings.

// --- Framework commands -----------------------------------------------------
constexpr unsigned ID_FILE_NEW = 57600;
constexpr unsigned ID_FILE_OPEN = 57601;
constexpr unsigned ID_FILE_SAVE = 57603;
constexpr unsigned ID_FILE_SAVE_AS = 57604;
constexpr unsigned ID_FILE_PRINT_SETUP = 57606;
constexpr unsigned ID_FILE_PRINT = 57607;
constexpr unsigned ID_FILE_PRINT_DIRECT = 57608;
constexpr unsigned ID_FILE_PRINT_PREVIEW = 57609;
constexpr unsigned ID_EDIT_COPY = 57634;
constexpr unsigned ID_EDIT_CUT = 57635;
constexpr unsigned ID_EDIT_PASTE = 57637;
constexpr unsigned ID_EDIT_UNDO = 57643;
constexpr unsigned ID_APP_ABOUT = 57664;
constexpr unsigned ID_APP_EXIT = 57665;

// --- Program commands ---------------------------------------------------------
constexpr unsigned ID_MIDI_SELECT_OUTPUT = 32771;
constexpr unsigned ID_MIDI_SELECT_INPUT = 32772;
constexpr unsigned ID_VIEW_MIDI_INPUT = 32778;
constexpr unsigned ID_MIDI_LOG_INPUT = 32798;
constexpr unsigned ID_VIEW_STANDARD_TOOLBAR = 32802;
constexpr unsigned ID_VIEW_MIDI_TOOLBAR = 32803;
constexpr unsigned ID_MIDI_TOGGLE_METRONOME = 32804;
constexpr unsigned ID_VIEW_STATUS_BAR_CMD = 32805;
constexpr unsigned ID_VIEW_KEYBOARD = 32806;
constexpr unsigned ID_MIDI_SETUP_OUTPUT_DEFAULTS = 32807;
constexpr unsigned ID_MIDI_SETUP_METRONOME = 32808;
constexpr unsigned ID_MIDI_SETUP_FILTER = 32809;
constexpr unsigned ID_MIDI_SELECT_OCTAVE = 32855; // bound to nothing
constexpr unsigned ID_MIDI_SETUP_DUMP_FORMAT = 32854;
constexpr unsigned ID_VIEW_HAND_SIGN = 32858;
constexpr unsigned ID_PCKEY_MALE = 32859;
constexpr unsigned ID_PCKEY_FEMALE = 32860;
// The lesson's settings: the tonic of movable do (twelve commands, C first),
// the chromatic signs, the names on the keys and the picture scale.
constexpr unsigned ID_MIDI_TONIC_FIRST = 32870; // 32870..32881, C C# D ... B
constexpr unsigned ID_MIDI_CHROMATIC_SIGNS = 32882;
constexpr unsigned ID_VIEW_KEY_LETTERS = 32883;
constexpr unsigned ID_VIEW_KEY_SYLLABLES = 32884;
constexpr unsigned ID_VIEW_FIT_PICTURES = 32885;
// Note commands 32819..32838, 32861, 32862, 32865, 32866 (PC keyboard)
constexpr unsigned ID_PCKEY_NOTE_FIRST = 32819;

// --- Resources ----------------------------------------------------------------
constexpr unsigned IDR_MAINFRAME = 127;      // menu, accelerators, icon, template
constexpr unsigned IDR_TOOLBAR = 131;
constexpr unsigned IDR_MIDIBAR = 132;        // never created
constexpr unsigned IDC_LARGE_ARROW = 178;    // cursor

constexpr unsigned IDD_ABOUTBOX = 200;
constexpr unsigned IDD_TESSARO_FORM = 201;
constexpr unsigned IDD_SELECT_MIDI_IN = 202;
constexpr unsigned IDD_SELECT_MIDI_OUT = 203;
constexpr unsigned IDD_SETUP_METRONOME = 205;
constexpr unsigned IDD_SETUP_FILTER = 206;
constexpr unsigned IDD_SETUP_OUTPUT = 207;
constexpr unsigned IDD_SETUP_DUMP = 208;

// Form controls (dialog 201)
constexpr int IDC_LEVEL_METER = 1018;
constexpr int IDC_VOLUME_SLIDER = 1023;
constexpr int IDC_LOG_CAPTION = 1025;
constexpr int IDC_LOG_EDIT = 1026;
constexpr int IDC_SLIDER_CAPTION = 1030;
constexpr int IDC_KEYBOARD_PICTURE = 1033;
constexpr int IDC_HANDSIGN_PICTURE = 1076;
constexpr int IDC_MUTE_CHECK = 1077;

// Status bar panes
constexpr unsigned ID_INDICATOR_DEVICE = 2502;
constexpr unsigned ID_INDICATOR_METRONOME = 2503;

// View timers
constexpr int ID_TIMER_LEVEL_METER = 2003;
constexpr int ID_TIMER_MIXER_CHECK = 2004;
constexpr int ID_TIMER_LARGE_HANDSIGNS = 2005;

// Keyboard bitmaps: normal and maximised sets
constexpr unsigned IDB_KEYBOARD = 301, IDB_KEYBOARD_MAP = 302, IDB_WHITE_DOWN = 303,
                   IDB_WHITE_UP = 304, IDB_BLACK_DOWN = 305, IDB_BLACK_UP = 306;
constexpr unsigned IDB_KEYBOARD_L = 307, IDB_KEYBOARD_MAP_L = 308, IDB_WHITE_DOWN_L = 309,
                   IDB_WHITE_UP_L = 310, IDB_BLACK_DOWN_L = 311, IDB_BLACK_UP_L = 312;
constexpr unsigned IDB_WHITE_UP_R_L = 348, IDB_WHITE_UP_LR_L = 349, IDB_WHITE_UP_LEFT_L = 350;
constexpr unsigned IDB_WHITE_UP_R = 352, IDB_WHITE_UP_LR = 353, IDB_WHITE_UP_LEFT = 354;

// Hand signs: blank, then do re mi fa so la ti do'
constexpr unsigned IDB_HANDSIGN_BLANK = 174, IDB_HANDSIGN_FIRST = 166;     // 166..173
constexpr unsigned IDB_HANDSIGN_BLANK_L = 149, IDB_HANDSIGN_FIRST_L = 150; // 150..157
// The chromatic signs: di ri fi si li, then ra me se le te
constexpr unsigned IDB_HANDSIGN_CHROMATIC_FIRST = 180;   // 180..189
constexpr unsigned IDB_HANDSIGN_CHROMATIC_FIRST_L = 190; // 190..199

// --- Strings --------------------------------------------------------------------
constexpr unsigned IDP_OLE_INIT_FAILED = 100;
constexpr unsigned IDS_INDICATOR_DEVICE = 2502;
constexpr unsigned IDS_INDICATOR_METRONOME = 2503;
constexpr unsigned AFX_IDS_APP_TITLE = 57344;
constexpr unsigned AFX_IDS_IDLEMESSAGE = 57345;
constexpr unsigned IDS_MANUFACTURER_BASE = 29000;
constexpr unsigned IDS_PROGRAM_BASE = 29500;
constexpr unsigned IDS_PATCH_GROUP_FIRST = 29650;
constexpr unsigned IDS_PATCH_GROUP_UNDEFINED = 29663;
