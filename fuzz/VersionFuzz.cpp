// libFuzzer target: arbitrary bytes as a version block, through the read and
// every string the about box and start-up look up; the same bytes as an ELF
// file held in memory, through the section reader, its resource table and the
// version block and icon group it yields. Damaged input must give a failed
// read or a missing resource, never a read outside the data.
//
// Build with clang (a build folder of its own; not part of the default build):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
//       -DKELVORA_FUZZ=ON -DKELVORA_SANITIZE=ON -DKELVORA_BENCH=OFF
//   ninja -C build-fuzz kelvora_version_fuzz
//   cp -r fuzz/corpus/version /tmp/version-corpus   # the fuzzer adds to its corpus
//   build-fuzz/kelvora_version_fuzz -max_len=8192 /tmp/version-corpus
// The seeds in fuzz/corpus/version: the program's version block, a cut copy
// of it, and small ELF files (64- and 32-bit) carrying a block and an icon group.
#include "about/CVersionInfo.h"
#include "about/ModuleResources.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

namespace {

void ReadStrings(const CVersionInfo& info)
{
    static const char* const keys[] = {"ProductName", "FileDescription", "FileVersion",
                                       "LegalCopyright", "Comments", ""};
    QString value;
    for (const char* key : keys)
        if (info.GetString(QString::fromLatin1(key), &value))
            (void)value.size();
}

void ReadModule(const ModuleResources::CModuleFile& file)
{
    using namespace ModuleResources;
    for (uint16_t type : {kIcon, kGroupIcon, kVersion, kAniIcon})
        (void)file.Has(type);
    if (const std::optional<QByteArray> block = file.Find(kVersion, kVersionBlockId)) {
        CVersionInfo info;
        (void)info.ReadBlock(*block);
        ReadStrings(info);
    }
    // The icon group as the icon loader walks it: each entry names an image by id.
    const std::optional<QByteArray> group = file.Find(kGroupIcon, QStringLiteral("#127"));
    if (!group || group->size() < 6)
        return;
    const int count = uchar(group->at(4)) | uchar(group->at(5)) << 8;
    for (int i = 0; i < count && 6 + 14 * (i + 1) <= group->size(); ++i) {
        const qsizetype id = 6 + 14 * i + 12;
        (void)file.Find(kIcon, uint16_t(uchar(group->at(id)) | uchar(group->at(id + 1)) << 8));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Not copied, so a read one byte past the end is caught too.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    CVersionInfo info;
    (void)info.ReadBlock(bytes);
    ReadStrings(info);

    ModuleResources::CModuleFile file;
    if (file.OpenBytes(bytes))
        ReadModule(file);
    return 0;
}
