// The command line as a session manager, a desktop entry and a user give it:
// the toolkit's switches are taken (with their values, which are not files),
// anything else unknown stops with one line and exit code 2.
#include "app/CSingleInstance.h"
#include "app/CTessaroApp.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(CommandLine, ToolkitSwitchesAreTakenAndTheirValuesAreNotFiles)
{
    const QStringList accepted[] = {
        {"-session", "1a2b3c_4d", "-style", "fusion", "-reverse"},
        {"-style=fusion", "-stylesheet=app.qss", "-widgetcount"},
        {"--platform", "offscreen", "-display", ":7", "-geometry", "600x400+10+10"},
        {"-qwindowtitle", "Lesson", "-qwindowgeometry", "600x400", "-name", "kv", "-sync"},
        {"--midi-backend", "jack", "-platformtheme", "gtk3"},
    };
    for (const QStringList& args : accepted) {
        const CommandLineOptions o = CTessaroApp::ParseCommandLine(QStringList{"kelvora"} + args);
        EXPECT_TRUE(o.error.isEmpty()) << qPrintable(args.join(' ') + ": " + o.error);
        EXPECT_TRUE(o.fileName.isEmpty()) << qPrintable(args.join(' ') + ": " + o.fileName);
    }
    auto o = CTessaroApp::ParseCommandLine({"kelvora", "--midi-backend=jack", "-reverse", "lesson.kvf"});
    EXPECT_EQ(o.midiBackend, "jack");
    EXPECT_EQ(o.fileName, "lesson.kvf"); // -reverse takes no value
    o = CTessaroApp::ParseCommandLine({"kelvora", "--midi-backend", "loopback", "--list-devices"});
    EXPECT_EQ(o.midiBackend, "loopback");
    EXPECT_TRUE(o.listDevices);
    o = CTessaroApp::ParseCommandLine({"kelvora", "--", "-odd name.kvf"});
    EXPECT_TRUE(o.error.isEmpty());
    EXPECT_EQ(o.fileName, "-odd name.kvf");

    const QStringList refused[] = {
        {"--frobnicate"}, {"-x"}, {"-reverse=1"}, {"--midi-backend=winmm"},
        {"--midi-backend"}, {"-session"}, {"one.kvf", "two.kvf"},
    };
    for (const QStringList& args : refused) {
        const CommandLineOptions o = CTessaroApp::ParseCommandLine(QStringList{"kelvora"} + args);
        EXPECT_FALSE(o.error.isEmpty()) << qPrintable(args.join(' '));
        EXPECT_FALSE(o.error.contains('\n')) << qPrintable(o.error);
    }
}

TEST(CommandLine, VersionHelpAndDevicesNeedNoWindowAndAnUnknownOptionStopsWithOneLine)
{
    const struct {
        QStringList args;
        int exitCode;
        const char* output;
    } runs[] = {{{"--version"}, 0, "Kelvora "},
                {{"--help"}, 0, "--midi-backend"},
                {{"--midi-backend=loopback", "--list-devices"}, 0, "Output devices:"},
                {{"--midi-backend=nonsense"}, 2, "nonsense"},
                {{"--frobnicate", "-style", "fusion"}, 2, "--frobnicate"}};
    for (const auto& r : runs) {
        QProcess p;
        p.start(QStringLiteral(KELVORA_EXE), r.args);
        ASSERT_TRUE(p.waitForFinished(10000)) << qPrintable(r.args.join(' '));
        EXPECT_EQ(p.exitCode(), r.exitCode) << qPrintable(r.args.join(' '));
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        if (r.exitCode == 0) {
            EXPECT_TRUE(out.contains(r.output)) << out.constData();
        } else { // one line on the error stream, naming what was wrong
            EXPECT_TRUE(out.isEmpty());
            EXPECT_EQ(err.count('\n'), 1) << err.constData();
            EXPECT_TRUE(err.startsWith("kelvora: ") && err.contains(r.output)) << err.constData();
        }
    }
}

TEST(CommandLine, ASessionManagersRestartWithTheToolkitsSwitchesShowsTheWindow)
{
    // As a session manager restarts it.
    QTemporaryDir dir;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config")); // an instance of its own
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KELVORA_EXE), {"-session", "1a2b3c_4d", "-style", "fusion", "-reverse",
                                          "--midi-backend=loopback", "--exit-when-shown"});
    const bool ended = p.waitForFinished(15000);
    if (!ended)
        p.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardOutput().contains("shown"));
}

TEST(SingleInstance, ASecondStartHandsItsFileOverWithTheWholePathAndComesForward)
{
    // This process as the running instance (the child shares its profile).
    CSingleInstance running(CSingleInstance::SocketName("Kelvora"));
    ASSERT_TRUE(running.Listen());
    QSignalSpy opened(&running, &CSingleInstance::OpenRequested);
    QSignalSpy activated(&running, &CSingleInstance::ActivateRequested);

    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Lesson 3 ♪"));
    QProcess second;
    second.setWorkingDirectory(dir.filePath("Lesson 3 ♪")); // a name relative to it
    second.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback", "scales, week 2.kvf"});
    ASSERT_TRUE(second.waitForStarted(5000));
    // Answered from this thread's event loop while the child waits.
    EXPECT_TRUE(activated.wait(10000));
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][0].toString(), dir.filePath("Lesson 3 ♪/scales, week 2.kvf"));
    EXPECT_EQ(activated.size(), 1);

    // A start without a file only brings the window forward.
    second.setWorkingDirectory(QString());
    second.start(QStringLiteral(KELVORA_EXE), {"--midi-backend=loopback"});
    EXPECT_TRUE(activated.wait(10000));
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(opened.size(), 1);
}
