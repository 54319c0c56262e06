#pragma once
// The user's profile: integer entries in sections, kept by QSettings under
// "Morvessa"/"Kelvora" (an INI file in the user's config folder). The program
// names its entries through the table in Settings.h; this is the storage.
#include <QString>

namespace Profile {

int GetProfileInt(const QString& section, const QString& entry, int defaultValue);
void WriteProfileInt(const QString& section, const QString& entry, int value);

// Text entries; an entry that is missing or not text reads as empty.
QString GetProfileString(const QString& section, const QString& entry);
void WriteProfileString(const QString& section, const QString& entry, const QString& value);

// Raw access for layouts the program stores as one blob (the bar layout).
QByteArray GetProfileBinary(const QString& section, const QString& entry);
void WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value);

} // namespace Profile
