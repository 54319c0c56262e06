#pragma once
// Files the about tests make: version blocks laid out as the published
// format has them, resource tables, and ELF files carrying them.
#include "about/CVersionInfo.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace AboutTestFiles {

inline void Put(QByteArray& b, qsizetype at, quint64 v, int size)
{
    for (int i = 0; i < size; ++i)
        b[at + i] = char(v >> (8 * i));
}

inline void Put16(QByteArray& b, qsizetype at, uint16_t v) { Put(b, at, v, 2); }

// Little-endian UTF-16 of text, with or without its terminator.
inline QByteArray Utf16(const QString& text, bool terminated = true)
{
    QByteArray b;
    for (QChar c : terminated ? text + QChar(0) : text)
        b += char(c.unicode()), b += char(c.unicode() >> 8);
    return b;
}

// One node of a version block; Emit lays it out as the published format does.
struct VNode {
    QString key;
    QByteArray value;
    uint16_t valueLength = 0;
    bool text = true;
    std::vector<VNode> children;
};

inline QByteArray Emit(const VNode& n)
{
    QByteArray b = QByteArray(6, '\0') + Utf16(n.key);
    b.append((4 - b.size() % 4) % 4, '\0');
    b += n.value;
    for (const VNode& child : n.children) {
        b.append((4 - b.size() % 4) % 4, '\0');
        b += Emit(child);
    }
    Put16(b, 0, uint16_t(b.size()));
    Put16(b, 2, n.valueLength);
    Put16(b, 4, n.text ? 1 : 0);
    return b;
}

struct BlockContents {
    uint32_t signature = VS_FFI_SIGNATURE;
    uint32_t flags = 0;
    std::optional<std::pair<uint16_t, uint16_t>> translation = std::pair<uint16_t, uint16_t>{0x0409, 0x04b0};
    std::map<QString, std::map<QString, QString>> tables; // "040904b0" -> key -> value
};

inline QByteArray Block(const BlockContents& s)
{
    VNode root{QStringLiteral("VS_VERSION_INFO"), QByteArray(52, '\0'), 52, false, {}};
    const uint32_t fixed[13] = {s.signature, 0x10000, 0x10002, 0x30004, 0x10002, 0x30004, 0x3F, s.flags};
    for (int i = 0; i < 13; ++i)
        Put(root.value, 4 * i, fixed[i], 4);
    VNode strings{QStringLiteral("StringFileInfo"), {}, 0, true, {}};
    for (const auto& [name, entries] : s.tables) {
        VNode table{name, {}, 0, true, {}};
        for (const auto& [key, value] : entries)
            table.children.push_back(VNode{key, Utf16(value), uint16_t(value.size() + 1), true, {}});
        strings.children.push_back(table);
    }
    root.children.push_back(strings);
    if (s.translation) {
        VNode t{QStringLiteral("Translation"), QByteArray(4, '\0'), 4, false, {}};
        Put16(t.value, 0, s.translation->first);
        Put16(t.value, 2, s.translation->second);
        root.children.push_back(VNode{QStringLiteral("VarFileInfo"), {}, 0, true, {t}});
    }
    return Emit(root);
}

// A little-endian ELF file of the given sections: header, section bytes, the
// name table, then the section headers (a null one first, the name table last).
inline QByteArray MakeElf(bool is64, const std::vector<std::pair<QByteArray, QByteArray>>& sections)
{
    const int ehSize = is64 ? 64 : 52, shSize = is64 ? 64 : 40;
    QByteArray f(ehSize, '\0');
    f.replace(0, 7, QByteArray("\x7f" "ELF") + char(is64 ? 2 : 1) + char(1) + char(1));
    struct Header {
        quint64 name, offset, size;
    };
    std::vector<Header> headers;
    QByteArray names(1, '\0');
    auto add = [&](const QByteArray& name, const QByteArray& bytes) {
        headers.push_back({quint64(names.size()), quint64(f.size()), quint64(bytes.size())});
        names += name + '\0';
        f += bytes;
    };
    for (const auto& [name, bytes] : sections)
        add(name, bytes);
    add(".shstrtab", names + QByteArray(".shstrtab") + '\0');
    const quint64 shoff = quint64(f.size());
    f += QByteArray(shSize * qsizetype(headers.size() + 1), '\0');
    for (size_t i = 0; i < headers.size(); ++i) {
        const qsizetype h = qsizetype(shoff + (i + 1) * shSize);
        Put(f, h, headers[i].name, 4);
        Put(f, h + 4, i + 1 == headers.size() ? 3 : 1, 4); // SHT_STRTAB, SHT_PROGBITS
        Put(f, h + (is64 ? 24 : 16), headers[i].offset, is64 ? 8 : 4);
        Put(f, h + (is64 ? 32 : 20), headers[i].size, is64 ? 8 : 4);
    }
    Put(f, is64 ? 40 : 32, shoff, is64 ? 8 : 4);
    Put(f, is64 ? 58 : 46, shSize, 2);
    Put(f, is64 ? 60 : 48, headers.size() + 1, 2);
    Put(f, is64 ? 62 : 50, headers.size(), 2);
    return f;
}

// A resource table of (type, id, bytes).
inline QByteArray MakeTable(const std::vector<std::tuple<uint16_t, uint16_t, QByteArray>>& resources)
{
    QByteArray t("KVRS");
    t += QByteArray(4 + 12 * qsizetype(resources.size()), '\0');
    Put(t, 4, 1, 2);
    Put(t, 6, resources.size(), 2);
    qsizetype e = 8;
    for (const auto& [type, id, bytes] : resources) {
        Put(t, e, type, 2);
        Put(t, e + 2, id, 2);
        Put(t, e + 4, quint64(t.size()), 4);
        Put(t, e + 8, quint64(bytes.size()), 4);
        t += bytes;
        e += 12;
    }
    return t;
}

} // namespace AboutTestFiles
