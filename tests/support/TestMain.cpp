// Test entry point: a headless QApplication and a private profile folder, so that
// no test reads or writes the user's real settings.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // A killed JACK client must never try to start a server of its own.
    setenv("JACK_NO_START_SERVER", "1", 1);
    QTemporaryDir configDir;
    setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Morvessa");
    QApplication::setApplicationName("Kelvora");
    return RUN_ALL_TESTS();
}
