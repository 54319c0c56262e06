#pragma once
// The program's string table: texts looked up by numeric id. A missing id is a
// missing string (callers rely on gaps, e.g. the program names 96-119).
#include <QString>

namespace StringTable {

struct Entry {
    unsigned id;
    const char* text; // UTF-8
};

// True and the text when the id has a string; false and out untouched otherwise.
bool LoadString(unsigned id, QString& out);

// The text, or an empty string when the id has none.
QString GetString(unsigned id);

bool HasString(unsigned id);

} // namespace StringTable
