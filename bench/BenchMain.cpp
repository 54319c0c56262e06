// Benchmark entry point: a headless QApplication, a private profile folder and
// the loopback MIDI backend, so measurements never touch real ports or settings.
#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    QTemporaryDir configDir;
    setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Morvessa");
    QApplication::setApplicationName("Kelvora");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
