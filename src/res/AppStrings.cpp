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
