#include "platform/Settings.h"

#include "platform/Profile.h"

namespace Settings {

int Read(const ProfileSetting& row, const QString& section)
{
    const QString name = section.isEmpty() ? QString::fromLatin1(row.section) : section;
    const int v = Profile::GetProfileInt(name, QLatin1String(row.entry), row.defaultValue);
    if (row.mask != 0)
        return v & row.mask;
    return row.Contains(v) ? v : row.defaultValue;
}

int Read(const ProfileSetting& row)
{
    return Read(row, QString());
}

void Write(const ProfileSetting& row, int value)
{
    Profile::WriteProfileInt(QLatin1String(row.section), QLatin1String(row.entry), value);
}

QString ReadText(const ProfileSetting& row, const QString& section)
{
    const QString name = section.isEmpty() ? QString::fromLatin1(row.section) : section;
    return Profile::GetProfileString(name, QLatin1String(row.entry));
}

void WriteText(const ProfileSetting& row, const QString& value)
{
    Profile::WriteProfileString(QLatin1String(row.section), QLatin1String(row.entry), value);
}

QByteArray ReadBinary(const ProfileSetting& row)
{
    return Profile::GetProfileBinary(QLatin1String(row.section), QLatin1String(row.entry));
}

void WriteBinary(const ProfileSetting& row, const QByteArray& value)
{
    Profile::WriteProfileBinary(QLatin1String(row.section), QLatin1String(row.entry), value);
}

} // namespace Settings
