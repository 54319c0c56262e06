#include "res/StringTableData.h"

namespace {
// Application texts. A command's string is its status-bar prompt, then a line
// break and its tool tip where it has one.
const StringTable::Entry kAppStrings[] = {
    {127, "Kelvora\n\nKLVRData\nKelvora Files (*.kvf)\n.kvf\nKLVR.Document\nKelvora Document"},
    {2502, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"},
    {2503, "MM 000 : 00"},
    {32771, "Get a count of MIDI output devices"},
    {32772, "Get a count of MIDI input devices"},
    {32778, "Dump MIDI input messages\nDump Input"},
    {32798, "Log MIDI input messages\nLog Input"},
    {32802, "Shows or hides the standard toolbar\nToggle Standard Toolbar"},
    {32803, "Shows or hides the MIDI bar\nToggle MIDI Toolbar"},
    {32804, "Start or stop the metronome\nMetronome"},
    {32805, "Shows or hides the status bar"},
    {32806, "Display animated keyboards\nKeyboards"},
    {32807, "Specify default channel and patch"},
    {32808, "Define Metronome settings"},
    {32809, "Specify messages to be excluded from output"},
    {32854, "Define properties and format of the dump output"},
    {32855, "Select the active octave"},
    {32858, "Display animated hand signs\nHand Signs"},
    {32859, "Emulate male voice with PC keyboard\nMale"},
    {32860, "Emulate female voice with PC keyboard\nFemale"},
    {32870, "Sing in C: C is do"}, {32871, "Sing in D\u266D: D\u266D is do"},
    {32872, "Sing in D: D is do"}, {32873, "Sing in E\u266D: E\u266D is do"},
    {32874, "Sing in E: E is do"}, {32875, "Sing in F: F is do"},
    {32876, "Sing in F\u266F: F\u266F is do"}, {32877, "Sing in G: G is do"},
    {32878, "Sing in A\u266D: A\u266D is do"}, {32879, "Sing in A: A is do"},
    {32880, "Sing in B\u266D: B\u266D is do"}, {32881, "Sing in B: B is do"},
    {32882, "Show the signs of notes outside the scale (di ri fi si li, ra me se le te)\nChromatic Signs"},
    {32883, "Write the letter name on each key while it is down\nLetters on Keys"},
    {32884, "Write the syllable on each key while it is down\nSyllables on Keys"},
    {32885, "Show the pictures as large as the maximised window holds\nFit Pictures"},
    {57344, "Kelvora"},
    {57345, "Ready"},
    {57600, "Create a new document\nNew"},
    {57601, "Open an existing document\nOpen"},
    {57603, "Save the active document\nSave"},
    {57604, "Save the active document with a new name\nSave As"},
    {57606, "Change the printer and printing options\nPage Setup"},
    {57607, "Print the active document\nPrint"},
    {57634, "Copy the selection and put it on the Clipboard\nCopy"},
    {57635, "Cut the selection and put it on the Clipboard\nCut"},
    {57637, "Insert Clipboard contents\nPaste"},
    {57643, "Undo the last action\nUndo"},
    {57664, "Display program information, version number and copyright\nAbout"},
    {57665, "Quit the application; prompts to save documents\nExit"},
};
} // namespace

std::span<const StringTable::Entry> AppStrings()
{
    return kAppStrings;
}
