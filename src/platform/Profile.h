#pragma once
// The user's profile: integer entries in sections, kept by QSettings under
// "Morvessa"/"Kelvora" (an INI file in the user's config folder).
#include <QString>

namespace Profile {

int GetProfileInt(const QString& section, const QString& entry, int defaultValue);
void WriteProfileInt(const QString& section, const QString& entry, int value);

// Reads an entry and brings it into [lo, hi]: anything outside, or anything that
// is not an integer, gives the default.
int GetProfileIntInRange(const QString& section, const QString& entry, int defaultValue,
                         int lo, int hi);

// Raw access for layouts the program stores as one blob (the bar layout).
QByteArray GetProfileBinary(const QString& section, const QString& entry);
void WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value);

} // namespace Profile
