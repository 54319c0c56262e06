// The about box: its texts from the version block, the template's where the
// block gives nothing; the icon button's size, frame and choice of image.
#include "about/CAboutDlg.h"

#include "about/AboutTestFiles.h"
#include "about/CIconButton.h"
#include "about/CVersionInfo.h"
#include "about/ModuleResources.h"

#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace AboutTestFiles;

namespace {

struct Shown {
    QString title, description, legal, comments;
};

Shown ShowAbout(const CAboutDlg::VersionReader& read)
{
    CAboutDlg dlg(nullptr, read);
    dlg.show(); // the members go into the controls
    Shown shown{dlg.windowTitle(), dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_DESCRIPTION)->text(),
                dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_LEGAL)->text(),
                dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_COMMENTS)->text()};
    dlg.done(QDialog::Accepted);
    return shown;
}

CAboutDlg::VersionReader FromBlock(const BlockContents& contents)
{
    const QByteArray block = Block(contents);
    return [block](CVersionInfo& info) { return info.ReadBlock(block); };
}

} // namespace

TEST(AboutDlg, TextsComeFromTheBlockAndTheTemplateKeepsWhatItLacks)
{
    const Shown templ = ShowAbout([](CVersionInfo&) { return false; });
    EXPECT_EQ(templ.title, QStringLiteral("About..."));
    EXPECT_FALSE(templ.description.isEmpty());
    EXPECT_FALSE(templ.legal.isEmpty());
    EXPECT_EQ(templ.comments, QString());
    const QString date = QStringLiteral(" (%1).").arg(CAboutDlg::BuildDate());

    BlockContents full;
    full.flags = VS_FF_DEBUG | VS_FF_PRERELEASE;
    full.tables["040904b0"] = {{"ProductName", "Tessera"},
                               {"FileDescription", "A MIDI helper"},
                               {"FileVersion", "2.1.0"},
                               {"LegalCopyright", "(c) Someone"},
                               {"Comments", "For lessons"}};
    Shown shown = ShowAbout(FromBlock(full));
    EXPECT_EQ(shown.title, QStringLiteral("About Tessera"));
    EXPECT_EQ(shown.description, QStringLiteral("A MIDI helper\nVer. 2.1.0 debug beta") + date);
    EXPECT_EQ(shown.legal, QStringLiteral("(c) Someone"));
    EXPECT_EQ(shown.comments, QStringLiteral("For lessons"));

    // No version: the flag words and the date still follow the description.
    BlockContents noVersion = full;
    noVersion.flags = VS_FF_PRERELEASE;
    noVersion.tables["040904b0"].erase("FileVersion");
    EXPECT_EQ(ShowAbout(FromBlock(noVersion)).description, QStringLiteral("A MIDI helper beta") + date);

    // No description: the template's text, without a version line; no
    // product name: the application's title; no notices: the template's.
    BlockContents sparse = full;
    sparse.tables["040904b0"] = {{"FileVersion", "2.1.0"}};
    shown = ShowAbout(FromBlock(sparse));
    EXPECT_EQ(shown.title, QStringLiteral("About Kelvora"));
    EXPECT_EQ(shown.description, templ.description);
    EXPECT_EQ(shown.legal, templ.legal);
    EXPECT_EQ(shown.comments, QString());

    // A long version line is shown whole; what stands below it moves down.
    BlockContents longVersion = full;
    longVersion.tables["040904b0"]["FileVersion"] = QStringLiteral("2.1.0 (git v2.0.0-148-g0123456789-dirty)");
    {
        CAboutDlg dlg(nullptr, FromBlock(longVersion));
        dlg.show();
        const auto* description = dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_DESCRIPTION);
        const auto* comments = dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_COMMENTS);
        EXPECT_GE(description->height(), description->heightForWidth(description->width()));
        EXPECT_GE(dlg.GetDlgItem<QLabel>(CAboutDlg::IDC_LEGAL)->y(), description->geometry().bottom());
        EXPECT_GT(dlg.GetDlgItem(IDOK)->y(), comments->geometry().bottom());
        EXPECT_LE(dlg.GetDlgItem(IDOK)->geometry().bottom(), dlg.height());
        dlg.done(QDialog::Accepted);
    }

    // The program's own block, as Help > About shows it.
    shown = ShowAbout({});
    EXPECT_EQ(shown.title, QStringLiteral("About Kelvora"));
    EXPECT_TRUE(shown.description.contains(QStringLiteral("\nVer. ") + QStringLiteral(PROJECT_VERSION)))
        << qPrintable(shown.description);
}

TEST(AboutDlg, TheIconSitsInAFramedShadowedSquareAtTwiceTheIconSize)
{
    ASSERT_EQ(CIconButton::SystemIconSize(), 32); // the style's large icon size
    const auto face = [](const CIconButton& b) {
        return b.palette().color(QPalette::Active, QPalette::Button).rgb();
    };

    // The program's group has a 64 x 64 image: shown at its own size.
    CIconButton own;
    own.SetIcon(CAboutDlg::kIconGroup);
    EXPECT_EQ(own.size(), QSize(77, 77));
    EXPECT_FALSE(own.isEnabled());
    EXPECT_EQ(own.Picture().GetIconSize(), QSize(64, 64));
    // Drawn inside the frame, over the button's face.
    const QImage shot = own.grab().toImage();
    CIconPicture picture;
    picture.Load(2, QString(), QStringLiteral("#127")); // the 64 x 64 image
    QImage expected(64, 64, QImage::Format_RGB32);
    expected.fill(face(own));
    {
        QPainter p(&expected);
        picture.Render(&p, QRect(0, 0, 64, 64), QRect(0, 0, 64, 64));
    }
    EXPECT_EQ(shot.copy(6, 6, 64, 64).convertToFormat(QImage::Format_RGB32), expected);

    // A group without one: its 32 x 32 image stretched over the square.
    QFile icoFile(QStringLiteral(KELVORA_SOURCE_DIR "/src/res/bitmaps/kelvora.ico"));
    ASSERT_TRUE(icoFile.open(QIODevice::ReadOnly));
    const QByteArray ico = icoFile.readAll();
    QByteArray group = ico.left(6);
    Put16(group, 4, 2);
    std::vector<std::tuple<uint16_t, uint16_t, QByteArray>> resources;
    for (int i = 0; i < 2; ++i) { // the 16 and 32 pixel images, each under an id of its own
        const char* entry = ico.constData() + 6 + 16 * i;
        group += QByteArray(entry, 12) + char(10 + i) + '\0';
        const QByteArray image = ico.mid(qFromLittleEndian<uint32_t>(entry + 12), qFromLittleEndian<uint32_t>(entry + 8));
        resources.emplace_back(ModuleResources::kIcon, uint16_t(10 + i), image);
    }
    resources.emplace_back(ModuleResources::kGroupIcon, uint16_t(CAboutDlg::kIconGroup), group);
    QTemporaryDir dir;
    QFile elf(dir.filePath(QStringLiteral("small-icons.so")));
    ASSERT_TRUE(elf.open(QIODevice::WriteOnly));
    elf.write(MakeElf(true, {{ModuleResources::kTableSection, MakeTable(resources)}}));
    elf.close();

    CIconButton small;
    small.SetIcon(CAboutDlg::kIconGroup, elf.fileName());
    EXPECT_EQ(small.Picture().GetIconSize(), QSize(32, 32));
    const QImage stretched = small.grab().toImage();
    // The tile reaches the square's far corner only when stretched.
    EXPECT_NE(stretched.pixel(6 + 56, 6 + 56), face(small));
}
