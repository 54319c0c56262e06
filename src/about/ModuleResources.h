#pragma once
// Resources of a program file: the version block and the icon groups a
// program carries, kept in ELF sections of its own file so that readelf and
// objcopy can dump them too. The program's own file, a library loaded in the
// process and any other ELF file on disk are read the same way, bounds-checked
// throughout: a damaged or hostile file gives no resource, never a crash.
//
// The two sections, both without the alloc flag (they are not loaded into
// memory; the reader takes them from the file):
//   .kelvora.version  exactly the version block (VS_VERSIONINFO), so that
//                     `objcopy -O binary --only-section=.kelvora.version` dumps it;
//                     it is served as resource type 16, id 1.
//   .kelvora.rsrc     a table of the other resources, little-endian:
//                       char magic[4] "KVRS", u16 format (1), u16 count,
//                       count entries of { u16 type, u16 id, u32 offset, u32 size }
//                       (offset from the start of the section), then the data.
//                     Resources are named by id only.
// Both are written at build time by tools/resgen and embedded by
// src/about/ModuleResourcesEmbed.cpp.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace ModuleResources {

// Resource types, numbered as the published resource formats number them.
constexpr uint16_t kIcon = 3;       // one image of an icon group
constexpr uint16_t kGroupIcon = 14; // an icon directory naming its images by id
constexpr uint16_t kVersion = 16;   // the version block
constexpr uint16_t kAniIcon = 22;

// The id the version block is found under.
constexpr uint16_t kVersionBlockId = 1;

// Section names and the table's layout, shared with the generator.
inline constexpr char kVersionSection[] = ".kelvora.version";
inline constexpr char kTableSection[] = ".kelvora.rsrc";
inline constexpr char kTableMagic[4] = {'K', 'V', 'R', 'S'};
constexpr uint16_t kTableFormat = 1;
constexpr int kTableHeaderSize = 8;
constexpr int kTableEntrySize = 12;

// The file a module name stands for: empty is this program's own file; the
// name of a module loaded in the process (as the dynamic loader lists it, its
// file name alone being enough) is that module's file; any other name is a
// path, returned as it is. Empty when nothing can be resolved.
QString ResolvePath(const QString& name);

// A program file opened for its resources: the resource sections are read
// whole when it opens (they are small); the file is not kept open.
class CModuleFile {
public:
    // False when the path is not a readable ELF file or has no resources.
    bool Open(const QString& path);
    // The same for a whole file image already in memory (tests, fuzzing).
    bool OpenBytes(const QByteArray& file);
    // Whether any resource of this type is present.
    bool Has(uint16_t type) const;
    // A resource by type and name: "#127" names id 127, any other text a
    // named resource. The bytes are a copy; nullopt when absent.
    std::optional<QByteArray> Find(uint16_t type, const QString& name) const;
    std::optional<QByteArray> Find(uint16_t type, uint16_t id) const;

private:
    class CSource;
    bool Load(const CSource& file);

    QByteArray m_table;   // the resource table as the file holds it; checked when read
    QByteArray m_version; // the version section's bytes
};

} // namespace ModuleResources
