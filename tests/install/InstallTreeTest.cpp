// `cmake --install` into a fresh prefix: every file a desktop needs is in
// its place, and the desktop's own tools accept each of them as it is.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out, err;
};

ToolRun RunTool(const QString& program, const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished(3000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

class InstallTree : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_prefix = new QTemporaryDir;
        const ToolRun r = RunTool(QStringLiteral(CMAKE_COMMAND),
                              {"--install", QStringLiteral(KELVORA_BUILD_DIR), "--prefix", s_prefix->path()});
        s_installed = r.exitCode == 0;
        if (!s_installed)
            ADD_FAILURE() << r.out.constData() << r.err.constData();
    }
    static void TearDownTestSuite()
    {
        delete s_prefix;
        s_prefix = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_installed); }

    static QString At(const QString& relative) { return QDir(s_prefix->path()).filePath(relative); }
    static QString Id() { return QStringLiteral(KELVORA_APP_ID); }

    static QTemporaryDir* s_prefix;
    static bool s_installed;
};

QTemporaryDir* InstallTree::s_prefix = nullptr;
bool InstallTree::s_installed = false;

TEST_F(InstallTree, EveryFileIsInItsPlaceAndTheIconsHaveTheirSizes)
{
    const QStringList files = {
        "bin/kelvora",
        "share/applications/" + Id() + ".desktop",
        "share/metainfo/" + Id() + ".metainfo.xml",
        "share/mime/packages/" + Id() + ".xml",
        "share/icons/hicolor/scalable/apps/" + Id() + ".svg",
        "share/man/man1/kelvora.1.gz",
        "share/doc/kelvora/copyright",
        "share/doc/kelvora/changelog.gz",
    };
    for (const QString& f : files)
        EXPECT_TRUE(QFile::exists(At(f))) << qPrintable(f);
    EXPECT_TRUE(QFileInfo(At("bin/kelvora")).isExecutable());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString f = QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(Id());
        const QImage icon(At(f));
        EXPECT_EQ(icon.size(), QSize(size, size)) << qPrintable(f);
        // Drawn, not empty: the tile's corner is clear and its middle is not.
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << qPrintable(f);
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 4)), 255) << qPrintable(f);
    }
    QFile svg(At("share/icons/hicolor/scalable/apps/" + Id() + ".svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg xmlns=\"http://www.w3.org/2000/svg\""));

    // The installed program runs, and says the version the metainfo releases.
    const ToolRun version = RunTool(At("bin/kelvora"), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("Kelvora " PROJECT_VERSION)) << version.out.constData();
    QFile meta(At("share/metainfo/" + Id() + ".metainfo.xml"));
    ASSERT_TRUE(meta.open(QIODevice::ReadOnly));
    EXPECT_TRUE(meta.readAll().contains("<release version=\"" PROJECT_VERSION "\""));
}

TEST_F(InstallTree, TheDesktopsToolsAcceptTheEntryTheMetainfoTheFileTypeAndTheManual)
{
    const ToolRun desktop = RunTool("desktop-file-validate", {At("share/applications/" + Id() + ".desktop")});
    EXPECT_EQ(desktop.exitCode, 0);
    EXPECT_EQ(desktop.out + desktop.err, QByteArray()); // not even a hint

    const ToolRun meta = RunTool("appstreamcli", {"validate", "--no-net", "--no-color",
                                              At("share/metainfo/" + Id() + ".metainfo.xml")});
    EXPECT_EQ(meta.exitCode, 0) << meta.out.constData();
    // Errors (E:), warnings (W:) and infos (I:) all count; only pedantic notes may stay.
    EXPECT_FALSE(QString::fromUtf8(meta.out).contains(QRegularExpression("^[EWI]:", QRegularExpression::MultilineOption)))
        << meta.out.constData();

    // The manual: no complaint from groff, and every option --help lists is in it.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MANWIDTH", "80");
    const ToolRun man = RunTool("man", {"--warnings", "-l", At("share/man/man1/kelvora.1.gz")}, env);
    EXPECT_EQ(man.exitCode, 0);
    EXPECT_EQ(man.err, QByteArray());
    const ToolRun help = RunTool(At("bin/kelvora"), {"--help"});
    ASSERT_EQ(help.exitCode, 0);
    const QString manual = QString::fromUtf8(man.out).replace(QChar(0x2010), '-').replace(QChar(0x2212), '-');
    const QRegularExpression option("(?:^|\\s)(--[a-z][a-z-]+)");
    int options = 0;
    for (auto m = option.globalMatch(QString::fromUtf8(help.out)); m.hasNext(); ++options) {
        const QString name = m.next().captured(1);
        EXPECT_TRUE(manual.contains(name)) << qPrintable(name);
    }
    EXPECT_GE(options, 5);
    EXPECT_TRUE(manual.contains("Kelvora.conf"));

    // The file type: the database builds from it, and a .kvf file is a log.
    QTemporaryDir data;
    const QString mime = data.filePath("mime");
    ASSERT_TRUE(QDir().mkpath(mime + "/packages"));
    ASSERT_TRUE(QFile::copy(At("share/mime/packages/" + Id() + ".xml"), mime + "/packages/kelvora.xml"));
    QProcessEnvironment dataEnv = QProcessEnvironment::systemEnvironment();
    dataEnv.insert("XDG_DATA_DIRS", data.path()); // where it looks, or it says so
    const ToolRun update = RunTool("update-mime-database", {mime}, dataEnv);
    EXPECT_EQ(update.exitCode, 0);
    EXPECT_EQ(update.err, QByteArray()) << update.err.constData();
    QFile globs(mime + "/globs2");
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    EXPECT_TRUE(globs.readAll().contains(":" KELVORA_LOG_MIME ":*.kvf\n"));
    QFile entry(At("share/applications/" + Id() + ".desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QByteArray entryText = entry.readAll();
    EXPECT_TRUE(entryText.contains("MimeType=" KELVORA_LOG_MIME ";"));
    EXPECT_TRUE(entryText.contains("Icon=" + Id().toUtf8() + "\n"));
}

} // namespace
