#pragma once
// The string table is kept in several parts, one per concern; each part is a
// static array defined in its own file.
#include "res/StringTable.h"

#include <span>
#include <vector>

std::span<const StringTable::Entry> AppStrings();   // menus, prompts, captions
std::span<const StringTable::Entry> MidiStrings();  // manufacturers, programs, groups

inline std::vector<std::span<const StringTable::Entry>> StringTableParts()
{
    return {AppStrings(), MidiStrings()};
}
