#include "platform/Profile.h"

#include <QSettings>

namespace {

QString Key(const QString& section, const QString& entry)
{
    return section + QLatin1Char('/') + entry;
}

QSettings& Settings()
{
    // One object per thread of use would be safer, but the profile is only ever
    // touched from the UI thread.
    static QSettings settings("Morvessa", "Kelvora");
    return settings;
}

} // namespace

namespace Profile {

int GetProfileInt(const QString& section, const QString& entry, int defaultValue)
{
    QSettings& s = Settings();
    s.sync();
    const QVariant v = s.value(Key(section, entry));
    if (!v.isValid())
        return defaultValue;
    bool ok = false;
    const qlonglong n = v.toString().trimmed().toLongLong(&ok);
    if (!ok || n < INT32_MIN || n > INT32_MAX)
        return defaultValue;
    return static_cast<int>(n);
}

void WriteProfileInt(const QString& section, const QString& entry, int value)
{
    QSettings& s = Settings();
    s.setValue(Key(section, entry), value);
    s.sync();
}

QString GetProfileString(const QString& section, const QString& entry)
{
    QSettings& s = Settings();
    s.sync();
    const QVariant v = s.value(Key(section, entry));
    // A list or a blob where a name belongs is no name.
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

void WriteProfileString(const QString& section, const QString& entry, const QString& value)
{
    QSettings& s = Settings();
    s.setValue(Key(section, entry), value);
    s.sync();
}

QByteArray GetProfileBinary(const QString& section, const QString& entry)
{
    QSettings& s = Settings();
    s.sync();
    return s.value(Key(section, entry)).toByteArray();
}

void WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value)
{
    QSettings& s = Settings();
    s.setValue(Key(section, entry), value);
    s.sync();
}

} // namespace Profile
