#include "about/ModuleResources.h"

#include "about/AboutTestFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include <tuple>
#include <utility>
#include <vector>

using namespace ModuleResources;
using namespace AboutTestFiles;

TEST(ModuleResources, ProgramFilesCarryTheIconGroupMadeFromTheIcon)
{
    const QString self = ResolvePath(QString());
    EXPECT_EQ(QFileInfo(self).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

    QFile icoFile(QStringLiteral(KELVORA_SOURCE_DIR "/src/res/bitmaps/kelvora.ico"));
    ASSERT_TRUE(icoFile.open(QIODevice::ReadOnly));
    const QByteArray ico = icoFile.readAll();
    const uint16_t count = qFromLittleEndian<uint16_t>(ico.constData() + 4);

    // This test program and the program itself link the same resources.
    CModuleFile own, program;
    ASSERT_TRUE(own.Open(self));
    ASSERT_TRUE(program.Open(QStringLiteral(KELVORA_EXE)));
    EXPECT_EQ(own.Find(kVersion, kVersionBlockId), program.Find(kVersion, kVersionBlockId));
    EXPECT_TRUE(own.Has(kVersion) && own.Has(kGroupIcon) && own.Has(kIcon));
    EXPECT_FALSE(own.Has(kAniIcon));

    const std::optional<QByteArray> group = program.Find(kGroupIcon, QStringLiteral("#127"));
    ASSERT_TRUE(group);
    ASSERT_EQ(group->size(), 6 + 14 * count);
    EXPECT_EQ(group->left(6), ico.left(6));
    for (int i = 0; i < count; ++i) {
        // The file's entry with the image's resource id in place of its offset.
        const char* fileEntry = ico.constData() + 6 + 16 * i;
        const char* groupEntry = group->constData() + 6 + 14 * i;
        EXPECT_EQ(QByteArray(groupEntry, 12), QByteArray(fileEntry, 12)) << i;
        const auto offset = qFromLittleEndian<uint32_t>(fileEntry + 12);
        const auto bytes = qFromLittleEndian<uint32_t>(fileEntry + 8);
        const std::optional<QByteArray> image = program.Find(kIcon, qFromLittleEndian<uint16_t>(groupEntry + 12));
        ASSERT_TRUE(image) << i;
        EXPECT_EQ(*image, ico.mid(offset, bytes)) << i;
    }
    for (const char* absent : {"#128", "127", "#", "#70000", "#12a", "ICON"})
        EXPECT_FALSE(program.Find(kGroupIcon, QString::fromLatin1(absent))) << absent;
}

TEST(ModuleResources, ResolvesLoadedModulesAndRefusesFilesWithoutResources)
{
    const QString core = ResolvePath(QStringLiteral("libQt6Core.so.6"));
    ASSERT_TRUE(core.endsWith(QLatin1String("/libQt6Core.so.6"))) << qPrintable(core);
    EXPECT_TRUE(QFileInfo::exists(core));
    EXPECT_EQ(ResolvePath(core), core);
    EXPECT_EQ(ResolvePath(QStringLiteral("no-such-module.so")), QStringLiteral("no-such-module.so"));

    CModuleFile f;
    EXPECT_FALSE(f.Open(core)); // an ELF file without our sections
    EXPECT_FALSE(f.Has(kVersion));
    EXPECT_FALSE(f.Open(QStringLiteral(KELVORA_SOURCE_DIR "/src/res/bitmaps/kelvora.ico")));
    EXPECT_FALSE(f.Open(QDir::tempPath()));
    EXPECT_FALSE(f.Open(QStringLiteral("/no/such/file")));
    EXPECT_FALSE(f.Open(QString()));
}

TEST(ModuleResources, CraftedFilesGiveTheirResourcesOrNone)
{
    const QByteArray version("version block");
    const QByteArray table = MakeTable({{kGroupIcon, 5, "group"}, {kIcon, 1, "image"}});
    for (bool is64 : {true, false}) {
        const QByteArray elf = MakeElf(is64, {{".text", "code"}, {kVersionSection, version}, {kTableSection, table}});
        CModuleFile f;
        ASSERT_TRUE(f.OpenBytes(elf)) << is64;
        EXPECT_EQ(f.Find(kVersion, QStringLiteral("#1")), version);
        EXPECT_EQ(f.Find(kGroupIcon, 5), QByteArray("group"));
        EXPECT_EQ(f.Find(kIcon, 1), QByteArray("image"));
        EXPECT_FALSE(f.Find(kIcon, 5));

        // The section headers come last, so any shorter file has none.
        for (qsizetype n = 0; n < elf.size(); ++n)
            ASSERT_FALSE(f.OpenBytes(elf.left(n))) << n;
        EXPECT_FALSE(f.Find(kVersion, kVersionBlockId)); // nothing left of the earlier file
    }

    // A table entry reaching past its section: the table is refused, the
    // version block is still served.
    QByteArray longEntry = table;
    Put(longEntry, 8 + 8, 1000, 4);
    CModuleFile f;
    ASSERT_TRUE(f.OpenBytes(MakeElf(true, {{kVersionSection, version}, {kTableSection, longEntry}})));
    EXPECT_FALSE(f.Has(kIcon));
    EXPECT_EQ(f.Find(kVersion, kVersionBlockId), version);

    // A section or the name table lying outside the file, a name index past
    // the headers: no resources.
    const QByteArray good = MakeElf(true, {{kVersionSection, version}});
    const quint64 shoff = qFromLittleEndian<quint64>(good.constData() + 40);
    const std::tuple<qsizetype, quint64, int> damages[] = {
        {qsizetype(shoff + 64 + 24), quint64(good.size()) - 4, 8}, // the section's offset
        {qsizetype(shoff + 64 + 32), ~0ull - 8, 8},                 // its size
        {qsizetype(shoff + 2 * 64 + 24), 1ull << 40, 8},            // the name table's offset
        {62, 7, 2},                                                 // the name table's index
    };
    for (const auto& [at, value, size] : damages) {
        QByteArray b = good;
        Put(b, at, value, size);
        EXPECT_FALSE(f.OpenBytes(b)) << at;
    }
}
