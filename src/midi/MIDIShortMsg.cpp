#include "midi/MIDIShortMsg.h"

#include "res/ResourceIds.h"
#include "res/StringTable.h"

uint32_t PackShortMsg(const MIDIShortMsg& msg)
{
    return uint32_t(msg.status) | (uint32_t(msg.data1) << 8) | (uint32_t(msg.data2) << 16) |
           (uint32_t(msg.reserved) << 24);
}

MIDIShortMsg UnpackShortMsg(uint32_t packed)
{
    MIDIShortMsg msg;
    msg.status = uint8_t(packed & 0xFF);
    msg.data1 = uint8_t((packed >> 8) & 0xFF);
    msg.data2 = uint8_t((packed >> 16) & 0xFF);
    msg.reserved = uint8_t((packed >> 24) & 0xFF);
    return msg;
}

namespace {

// The status byte is computed in 8-bit arithmetic: the sum wraps at 256.
uint32_t MakeChannelMsg(uint8_t base, uint8_t channel, uint8_t data1, uint8_t data2)
{
    MIDIShortMsg msg;
    msg.status = uint8_t(base + channel);
    msg.data1 = data1;
    msg.data2 = data2;
    return PackShortMsg(msg);
}

} // namespace

uint32_t MakeNoteOff(uint8_t channel, uint8_t key, uint8_t velocity)
{
    return MakeChannelMsg(0x80, channel, key, velocity);
}

uint32_t MakeNoteOn(uint8_t channel, uint8_t key, uint8_t velocity)
{
    return MakeChannelMsg(0x90, channel, key, velocity);
}

uint32_t MakeControlChange(uint8_t channel, uint8_t controller, uint8_t value)
{
    return MakeChannelMsg(0xB0, channel, controller, value);
}

uint32_t MakeProgramChange(uint8_t channel, uint8_t program)
{
    return MakeChannelMsg(0xC0, channel, program, 0);
}

QString DescribeShortMsg(uint32_t packed)
{
    const MIDIShortMsg msg = UnpackShortMsg(packed);
    const uint8_t bytes[4] = {msg.status, msg.data1, msg.data2, msg.reserved};
    const uint8_t s = msg.status;

    int count;
    if ((s & 0xF0) == 0xC0)
        count = 1;
    else if ((s & 0xF0) == 0xD0)
        count = 2;
    else if (s >= 0xF8)
        count = 1;
    else if (s >= 0x80)
        count = 3;
    else
        count = 4;

    QString text;
    for (int i = 0; i < count; ++i)
        text += DescribeMIDIByte(bytes[i]);

    if ((s & 0xF0) == 0xC0) {
        QString name;
        StringTable::LoadString(IDS_PROGRAM_BASE + msg.data1, name);
        text += QLatin1Char(' ');
        text += name;
    }
    return text;
}

QString DescribeMIDIByte(uint8_t b)
{
    if ((b & 0xF0) == 0xF0) {
        const QString name = (b == 0xF0) ? QString() : QLatin1Char(' ') + SystemMessageName(b);
        return QStringLiteral("[%1]%2").arg(SystemMessageClass(b), name);
    }
    if (b & 0x80) {
        return QStringLiteral("[%1] Ch %2 ")
            .arg(ChannelMessageName(uint8_t(b & 0xF0)))
            .arg(unsigned(b & 0x0F) + 1, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral(" %1").arg(int(b));
}

QString ChannelMessageName(uint8_t status)
{
    switch (status) {
    case 0x80: return QStringLiteral("Note Off");
    case 0x90: return QStringLiteral("Note On");
    case 0xA0: return QStringLiteral("Polyphonic Key Pressure");
    case 0xB0: return QStringLiteral("Control Change");
    case 0xC0: return QStringLiteral("Program Change");
    case 0xD0: return QStringLiteral("Channel Pressure");
    case 0xE0: return QStringLiteral("Pitch Bend");
    case 0xF0: return QStringLiteral("System Message");
    default: return QStringLiteral("<Unknown Status Byte %1>").arg(int(status));
    }
}

QString SystemMessageClass(uint8_t b)
{
    // The design defines the class for 0xF0-0xFF only; lower values fall in
    // with the system common class (the same branch as 0xF1-0xF7).
    if (b == 0xF0)
        return QStringLiteral("System Exclusive");
    if (b >= 0xF8)
        return QStringLiteral("System Real Time");
    return QStringLiteral("System Common");
}

QString SystemMessageName(uint8_t b)
{
    switch (b) {
    case 0xF1: return QStringLiteral("MIDI Time Code Quarter Frame");
    case 0xF2: return QStringLiteral("Song Position Pointer");
    case 0xF3: return QStringLiteral("Song Select");
    case 0xF6: return QStringLiteral("Tune Request");
    case 0xF7: return QStringLiteral("End of Exclusive");
    case 0xF8: return QStringLiteral("Timing Clock");
    case 0xFA: return QStringLiteral("Start");
    case 0xFB: return QStringLiteral("Continue");
    case 0xFC: return QStringLiteral("Stop");
    case 0xFE: return QStringLiteral("Active Sensing");
    case 0xFF: return QStringLiteral("System Reset");
    default: return QStringLiteral("<Undefined Message %1>").arg(int(b));
    }
}

QString ManufacturerName(uint16_t mid, uint16_t recordMid)
{
    if (mid == 0) {
        mid = recordMid;
        if (mid == 0)
            return QStringLiteral("Undefined manufacturer ID 0");
    }
    // Only the manufacturer block of the string table may answer: a large id
    // must not pick up a program or group name further up the table.
    QString text;
    if (mid < IDS_PROGRAM_BASE - IDS_MANUFACTURER_BASE
        && StringTable::LoadString(IDS_MANUFACTURER_BASE + mid, text))
        return text;
    return QStringLiteral("Unknown manufacturer ID %1").arg(unsigned(mid));
}
