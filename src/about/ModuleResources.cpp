#include "about/ModuleResources.h"

#include <QFile>
#include <QFileInfo>

#include <link.h>

#include <cstring>

// Anchors the object file that carries our resource sections: a static
// library member is linked only when something refers to it.
extern "C" const unsigned char kelvora_module_resources_anchor;

namespace ModuleResources {

namespace {

// Limits far above what any real file holds, so a hostile header cannot make
// us read or allocate without bound.
constexpr quint64 kMaxSectionHeaders = 1u << 20;
constexpr quint64 kMaxHeaderTableBytes = 16u << 20;
constexpr quint64 kMaxNameTableBytes = 16u << 20;
constexpr quint64 kMaxResourceSectionBytes = 16u << 20;

constexpr uint32_t kSectionNoBits = 8; // SHT_NOBITS: no bytes in the file
constexpr uint16_t kExtendedIndex = 0xFFFF; // SHN_XINDEX

// Reads little- or big-endian words from a byte array at bounds already checked.
struct CWords {
    bool bigEndian = false;
    quint64 Get(const QByteArray& b, qsizetype at, int size) const
    {
        quint64 v = 0;
        for (int i = 0; i < size; ++i) {
            const quint64 byte = uchar(b[at + (bigEndian ? i : size - 1 - i)]);
            v = (v << 8) | byte;
        }
        return v;
    }
};

uint16_t Le16(const QByteArray& b, qsizetype at)
{
    return uint16_t(uchar(b[at]) | uchar(b[at + 1]) << 8);
}

uint32_t Le32(const QByteArray& b, qsizetype at)
{
    return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16;
}

// Whether [offset, offset + size) lies inside a range of `total` bytes.
bool Inside(quint64 offset, quint64 size, quint64 total)
{
    return offset <= total && size <= total - offset;
}

// A resource table is used only when every entry lies inside it.
bool TableIsSound(const QByteArray& t)
{
    if (t.size() < kTableHeaderSize || std::memcmp(t.constData(), kTableMagic, 4) != 0
        || Le16(t, 4) != kTableFormat)
        return false;
    const quint64 count = Le16(t, 6);
    if (!Inside(kTableHeaderSize, count * kTableEntrySize, quint64(t.size())))
        return false;
    for (quint64 i = 0; i < count; ++i) {
        const qsizetype e = qsizetype(kTableHeaderSize + i * kTableEntrySize);
        if (!Inside(Le32(t, e + 4), Le32(t, e + 8), quint64(t.size())))
            return false;
    }
    return true;
}

// "#127" is id 127; anything else is not an id.
std::optional<uint16_t> IdFromName(const QString& name)
{
    if (name.size() < 2 || name[0] != QLatin1Char('#'))
        return std::nullopt;
    uint id = 0;
    for (qsizetype i = 1; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        id = id * 10 + uint(c - u'0');
        if (id > 0xFFFF)
            return std::nullopt;
    }
    return uint16_t(id);
}

} // namespace

// Where the ELF file's bytes come from: a file read piece by piece, or a
// whole image in memory. Every read is checked against the size.
class CModuleFile::CSource {
public:
    explicit CSource(QFile* file) : m_pFile(file), m_nSize(quint64(file->size())) {}
    explicit CSource(const QByteArray& bytes) : m_pBytes(&bytes), m_nSize(quint64(bytes.size())) {}

    quint64 Size() const { return m_nSize; }

    std::optional<QByteArray> Read(quint64 offset, quint64 size) const
    {
        if (!Inside(offset, size, m_nSize))
            return std::nullopt;
        if (m_pBytes)
            return m_pBytes->mid(qsizetype(offset), qsizetype(size));
        if (!m_pFile->seek(qint64(offset)))
            return std::nullopt;
        QByteArray out = m_pFile->read(qint64(size));
        if (quint64(out.size()) != size)
            return std::nullopt;
        return out;
    }

private:
    QFile* m_pFile = nullptr;
    const QByteArray* m_pBytes = nullptr;
    quint64 m_nSize = 0;
};

QString ResolvePath(const QString& name)
{
    if (name.isEmpty()) {
        const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
        // A program file replaced while it runs (a rebuild) is still readable
        // through the link, but no longer under its name.
        if (self.isEmpty() || self.endsWith(QLatin1String(" (deleted)")))
            return QStringLiteral("/proc/self/exe");
        return self;
    }
    struct Search {
        QByteArray wanted;
        bool byFileName;
        QString found;
    } search{name.toLocal8Bit(), !name.contains(QLatin1Char('/')), QString()};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            if (!info->dlpi_name || !*info->dlpi_name)
                return 0; // the program itself, or the vDSO
            const QByteArray path(info->dlpi_name);
            const QByteArray fileName = path.mid(path.lastIndexOf('/') + 1);
            if (path == s->wanted || (s->byFileName && fileName == s->wanted)) {
                s->found = QString::fromLocal8Bit(path);
                return 1;
            }
            return 0;
        },
        &search);
    return search.found.isEmpty() ? name : search.found;
}

bool CModuleFile::Open(const QString& path)
{
    m_table.clear();
    m_version.clear();
    // Keeps the object with our own sections in every program that reads resources.
    (void)*static_cast<const volatile unsigned char*>(&kelvora_module_resources_anchor);
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    return Load(CSource(&file));
}

bool CModuleFile::OpenBytes(const QByteArray& bytes)
{
    m_table.clear();
    m_version.clear();
    return Load(CSource(bytes));
}

bool CModuleFile::Load(const CSource& file)
{
    const std::optional<QByteArray> ident = file.Read(0, 16);
    if (!ident || !ident->startsWith("\x7f" "ELF"))
        return false;
    const char elfClass = (*ident)[4], data = (*ident)[5];
    if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2) || (*ident)[6] != 1)
        return false;
    const bool is64 = elfClass == 2;
    const CWords w{data == 2};
    const std::optional<QByteArray> eh = file.Read(0, is64 ? 64 : 52);
    if (!eh)
        return false;
    const quint64 shoff = is64 ? w.Get(*eh, 40, 8) : w.Get(*eh, 32, 4);
    const quint64 shentsize = w.Get(*eh, is64 ? 58 : 46, 2);
    quint64 shnum = w.Get(*eh, is64 ? 60 : 48, 2);
    quint64 shstrndx = w.Get(*eh, is64 ? 62 : 50, 2);
    if (shoff == 0 || shentsize < (is64 ? 64u : 40u))
        return false;

    // One section header, its fields by name.
    struct Section {
        quint64 name, type, offset, size, link;
    };
    auto parse = [&](const QByteArray& t, qsizetype at) {
        if (is64)
            return Section{w.Get(t, at, 4), w.Get(t, at + 4, 4), w.Get(t, at + 24, 8),
                           w.Get(t, at + 32, 8), w.Get(t, at + 40, 4)};
        return Section{w.Get(t, at, 4), w.Get(t, at + 4, 4), w.Get(t, at + 16, 4),
                       w.Get(t, at + 20, 4), w.Get(t, at + 24, 4)};
    };
    // Files with very many sections keep the count and the name table's index
    // in the first section header.
    if (shnum == 0 || shstrndx == kExtendedIndex) {
        const std::optional<QByteArray> first = file.Read(shoff, shentsize);
        if (!first)
            return false;
        const Section s0 = parse(*first, 0);
        if (shnum == 0)
            shnum = s0.size;
        if (shstrndx == kExtendedIndex)
            shstrndx = s0.link;
    }
    if (shnum == 0 || shnum > kMaxSectionHeaders || shnum * shentsize > kMaxHeaderTableBytes
        || shstrndx >= shnum)
        return false;
    const std::optional<QByteArray> headers = file.Read(shoff, shnum * shentsize);
    if (!headers)
        return false;
    auto section = [&](quint64 i) { return parse(*headers, qsizetype(i * shentsize)); };

    const Section names = section(shstrndx);
    if (names.type == kSectionNoBits || names.size > kMaxNameTableBytes)
        return false;
    const std::optional<QByteArray> nameTable = file.Read(names.offset, names.size);
    if (!nameTable)
        return false;
    // The section's name, when it is a terminated string inside the name table.
    auto nameOf = [&](const Section& s) -> QByteArray {
        if (s.name >= quint64(nameTable->size()))
            return QByteArray();
        const qsizetype end = nameTable->indexOf('\0', qsizetype(s.name));
        return end < 0 ? QByteArray() : nameTable->mid(qsizetype(s.name), end - qsizetype(s.name));
    };

    bool haveVersion = false, haveTable = false;
    for (quint64 i = 0; i < shnum && !(haveVersion && haveTable); ++i) {
        const Section s = section(i);
        const QByteArray name = nameOf(s);
        const bool isVersion = !haveVersion && name == kVersionSection;
        const bool isTable = !haveTable && name == kTableSection;
        if (!isVersion && !isTable)
            continue;
        // The first section of each name counts, sound or not.
        haveVersion |= isVersion;
        haveTable |= isTable;
        if (s.type == kSectionNoBits || s.size > kMaxResourceSectionBytes)
            continue;
        std::optional<QByteArray> bytes = file.Read(s.offset, s.size);
        if (!bytes)
            continue;
        if (isVersion)
            m_version = *bytes;
        else if (TableIsSound(*bytes))
            m_table = *bytes;
    }
    return !m_version.isEmpty() || m_table.size() > kTableHeaderSize;
}

bool CModuleFile::Has(uint16_t type) const
{
    if (type == kVersion && !m_version.isEmpty())
        return true;
    if (m_table.isEmpty())
        return false;
    const int count = Le16(m_table, 6);
    for (int i = 0; i < count; ++i)
        if (Le16(m_table, kTableHeaderSize + i * kTableEntrySize) == type)
            return true;
    return false;
}

std::optional<QByteArray> CModuleFile::Find(uint16_t type, const QString& name) const
{
    // Our files name resources by id only, so a named resource is never there.
    const std::optional<uint16_t> id = IdFromName(name.trimmed());
    if (!id)
        return std::nullopt;
    return Find(type, *id);
}

std::optional<QByteArray> CModuleFile::Find(uint16_t type, uint16_t id) const
{
    if (type == kVersion && id == kVersionBlockId)
        return m_version.isEmpty() ? std::nullopt : std::optional<QByteArray>(m_version);
    if (m_table.isEmpty())
        return std::nullopt;
    const int count = Le16(m_table, 6);
    for (int i = 0; i < count; ++i) {
        const qsizetype e = kTableHeaderSize + i * kTableEntrySize;
        if (Le16(m_table, e) == type && Le16(m_table, e + 2) == id)
            return m_table.mid(Le32(m_table, e + 4), Le32(m_table, e + 8));
    }
    return std::nullopt;
}

} // namespace ModuleResources
