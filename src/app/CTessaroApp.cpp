#include "app/CTessaroApp.h"

#include "about/CVersionInfo.h"
#include "app/CMainFrame.h"
#include "app/CSignalQuit.h"
#include "app/CSingleInstance.h"
#include "app/CTessaroDoc.h"
#include "dialogs/DeviceSelection.h"
#include "platform/MixerBackend.h"
#include "platform/MidiBackend.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/CTessaroView.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QVersionNumber>

#include <cstdio>
#include <cstdlib>

namespace {

// The name and version the program reports, from the version block of its
// own file; the title and the version it was built as when the block cannot
// be read (a file stripped of it, or damaged).
struct ProgramVersion {
    QString product;
    QString version;
};

ProgramVersion ReadProgramVersion()
{
    ProgramVersion v;
    CVersionInfo info;
    if (!info.Read(QString()) || !info.GetString(QStringLiteral("ProductName"), &v.product))
        v.product = StringTable::GetString(AFX_IDS_APP_TITLE);
    if (!info.GetString(QStringLiteral("FileVersion"), &v.version))
        v.version = QStringLiteral(KELVORA_VERSION);
    return v;
}

} // namespace

namespace {

// The toolkit's own switches, which QApplication takes from the command line
// itself: a session manager restarts the program with -session, users give
// -style, -reverse, -platform or -display. Those that take a value may also
// be written -name=value; each may be written with two dashes.
struct ToolkitSwitch {
    const char* name;
    bool takesValue;
};
constexpr ToolkitSwitch kToolkitSwitches[] = {
    {"platform", true},    {"platformpluginpath", true}, {"platformtheme", true},
    {"plugin", true},      {"qwindowgeometry", true},    {"qwindowicon", true},
    {"qwindowtitle", true}, {"session", true},           {"display", true},
    {"geometry", true},    {"style", true},              {"stylesheet", true},
    {"qmljsdebugger", true}, {"dialogs", true},          {"fontengine", true},
    {"name", true},        {"title", true},              {"visual", true},
    {"reverse", false},    {"widgetcount", false},       {"sync", false},
    {"nograb", false},     {"dograb", false},
};

// The switch a toolkit argument names, or null when it is not one of them.
const ToolkitSwitch* FindToolkitSwitch(const QString& arg, bool* valueGiven)
{
    QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
    const int eq = name.indexOf(QLatin1Char('='));
    *valueGiven = eq >= 0;
    if (eq >= 0)
        name.truncate(eq);
    for (const ToolkitSwitch& s : kToolkitSwitches) {
        if (name == QLatin1String(s.name) && (s.takesValue || eq < 0))
            return &s;
    }
    return nullptr;
}

} // namespace

CommandLineOptions CTessaroApp::ParseCommandLine(const QStringList& args)
{
    CommandLineOptions o;
    auto fail = [&o](const QString& error) {
        if (o.error.isEmpty())
            o.error = error;
    };
    bool filesOnly = false; // after "--"
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (filesOnly || !a.startsWith(QLatin1Char('-')) || a == QLatin1String("-")) {
            if (!o.fileName.isEmpty())
                fail(QStringLiteral("Only one file can be opened: %1").arg(a));
            o.fileName = a;
        } else if (a == QLatin1String("--")) {
            filesOnly = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.help = true;
        } else if (a == QLatin1String("--version") || a == QLatin1String("-v")) {
            o.version = true;
        } else if (a == QLatin1String("--list-devices")) {
            o.listDevices = true;
        } else if (a == QLatin1String("--exit-when-shown")) {
            o.exitWhenShown = true;
        } else if (a.startsWith(QLatin1String("--midi-backend="))) {
            o.midiBackend = a.mid(15);
        } else if (a == QLatin1String("--midi-backend")) {
            if (i + 1 < args.size())
                o.midiBackend = args[++i];
            else
                fail(QStringLiteral("Option %1 needs a value").arg(a));
        } else if (bool valueGiven; const ToolkitSwitch* s = FindToolkitSwitch(a, &valueGiven)) {
            if (s->takesValue && !valueGiven) {
                if (i + 1 < args.size())
                    ++i; // its value is not a file
                else
                    fail(QStringLiteral("Option %1 needs a value").arg(a));
            }
        } else {
            fail(QStringLiteral("Unknown option: %1 (kelvora --help lists them)").arg(a));
        }
    }
    static const QStringList backends = {"auto", "alsa", "jack", "loopback"};
    if (!backends.contains(o.midiBackend))
        fail(QStringLiteral("Unknown MIDI backend: %1 (use auto, alsa, jack or loopback)")
                 .arg(o.midiBackend));
    return o;
}

QString CTessaroApp::UsageText()
{
    return QStringLiteral(
        "Usage: kelvora [options] [file.kvf]\n"
        "A MIDI assistant for music lessons: logs MIDI input, plays it on a synthesizer,\n"
        "turns the PC keyboard into a piano, shows keys or hand signs, ticks a metronome.\n"
        "A file named opens in the log; a second start hands over to the running window.\n\n"
        "Options:\n"
        "  --midi-backend=NAME  MIDI ports from auto (default), alsa, jack or loopback\n"
        "  --list-devices       print the numbered MIDI inputs and outputs and exit\n"
        "  --exit-when-shown    quit as soon as the window is shown (start-up checks)\n"
        "  -v, --version        print the version and exit\n"
        "  -h, --help           print this text and exit\n\n"
        "The toolkit's switches are taken as well: -platform NAME, -display DISPLAY,\n"
        "-style STYLE, -stylesheet FILE, -session ID, -reverse, -geometry GEOMETRY, ...\n\n"
        "Settings: ~/.config/Morvessa/Kelvora.conf\n");
}

QString CTessaroApp::RuntimeVersionProblem(const QString& builtWith, const QString& running)
{
    const QVersionNumber built = QVersionNumber::fromString(builtWith);
    const QVersionNumber run = QVersionNumber::fromString(running);
    if (run.isNull() || QVersionNumber::compare(run, built) >= 0)
        return QString();
    return QStringLiteral(
               "This program was built with Qt %1 and it requires the Qt run-time "
               "libraries,\nver. %1 or newer, in order to work.\n\n"
               "The version number of your Qt libraries is %2\n"
               "Install the current version with your system's package manager.")
        .arg(builtWith, running);
}

CMainFrame* CTessaroApp::CreateMainWindow(CTessaroDoc* doc, const QString& fileName)
{
    // A file named on the command line is read first, so that the window
    // comes up with it after the one initial update every start runs (which
    // sends the channel set-up once).
    QString opened;
    QString openError;
    const bool hasFile = !fileName.isEmpty() && CTessaroDoc::ReadLog(fileName, opened, &openError);
    if (hasFile)
        doc->SetPathName(fileName);

    InstallDeviceSelectionDialogs();
    auto* frame = new CMainFrame(doc);
    CTessaroView* view = frame->GetActiveView();
    view->RestoreDevices();
    // Fit the frame around the form.
    frame->resize(frame->sizeHint());
    view->OnInitialUpdate();
    if (hasFile)
        view->SetLogText(opened);
    frame->UpdateCommandUI();

    if (!fileName.isEmpty() && !hasFile) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(fileName), qPrintable(openError));
        // Told as File > Open tells it, over the window, once the window is there.
        QObject::connect(
            frame, &CMainFrame::Shown, frame,
            [frame, fileName, openError] {
                QTimer::singleShot(0, frame, [frame, fileName, openError] {
                    QMessageBox::warning(frame, QApplication::applicationName(),
                                         CTessaroDoc::FileErrorMessage(fileName, openError));
                });
            },
            Qt::SingleShotConnection);
    }
    return frame;
}

int CTessaroApp::Run(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLineOptions opts = ParseCommandLine(args);
    if (!opts.error.isEmpty()) {
        std::fprintf(stderr, "kelvora: %s\n", qPrintable(opts.error));
        return 2;
    }
    if (opts.help) {
        std::printf("%s", qPrintable(UsageText()));
        return 0;
    }
    if (opts.version) {
        const ProgramVersion v = ReadProgramVersion();
        std::printf("%s %s (Qt %s)\n", qPrintable(v.product), qPrintable(v.version), qVersion());
        return 0;
    }
    // No libjack call may ever try to start a server of its own: it blocks for seconds.
    setenv("JACK_NO_START_SERVER", "1", 0);
    // The built-in synthesizer's stream (named after us) carries our icon and
    // id in the desktop's volume control, and plays as music: libpulse reads
    // these when it connects, the same under PipeWire. Set before any thread
    // starts; the user's own win.
    setenv("PULSE_PROP_application.id", KELVORA_APP_ID, 0);
    setenv("PULSE_PROP_application.icon_name", KELVORA_APP_ID, 0);
    setenv("PULSE_PROP_media.role", "music", 0);

    if (opts.listDevices) {
        QCoreApplication core(argc, argv);
        QString error;
        if (!MidiSystem::Configure(opts.midiBackend, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        std::printf("%s", qPrintable(MidiSystem::DescribeDevices()));
        return 0;
    }

    QApplication app(argc, argv);
    // From here on a logout, a closed terminal or Ctrl+C ends the program as
    // File > Exit does: no note left sounding, the profile written.
    CSignalQuit signalQuit;
    QApplication::setOrganizationName(QStringLiteral("Morvessa"));
    QApplication::setApplicationName(StringTable::GetString(AFX_IDS_APP_TITLE));
    QApplication::setApplicationVersion(ReadProgramVersion().version);
    // The desktop entry the window belongs to: its icon and name in the task bar.
    QGuiApplication::setDesktopFileName(QStringLiteral(KELVORA_APP_ID));

    const QString problem = RuntimeVersionProblem(QStringLiteral(QT_VERSION_STR),
                                                  QString::fromLatin1(qVersion()));
    if (!problem.isEmpty()) {
        QMessageBox::critical(nullptr, QApplication::applicationName(), problem);
        return 1;
    }

    CSingleInstance instance(CSingleInstance::SocketName(QApplication::applicationName()));
    if (instance.HandOverToRunning(1000, opts.fileName))
        return 0;
    instance.Listen();

    QString error;
    if (!MidiSystem::Configure(opts.midiBackend, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    // The master output and the built-in synthesizer's line, whatever the ports.
    MixerSystem::InstallSystemMixer();

    CTessaroDoc doc;
    CMainFrame* frame = CreateMainWindow(&doc, opts.fileName);
    QObject::connect(&instance, &CSingleInstance::ActivateRequested, frame,
                     &CMainFrame::BringToFront);
    // A file opened from the file manager while we run: opened as a drop opens it.
    // Queued: a refusal's message box must not run inside the socket's handler.
    QObject::connect(&instance, &CSingleInstance::OpenRequested, frame, &CMainFrame::OpenHandedOverFile,
                     Qt::QueuedConnection);
    if (opts.exitWhenShown) {
        QObject::connect(frame, &CMainFrame::Shown, frame, [] {
            std::printf("shown\n");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        });
    }
    frame->show();
    // A signal taken while start-up ran a dialog of its own: no loop to run.
    const int rc = signalQuit.QuitRequested() ? 0 : QApplication::exec();
    // The frame's closing is File > Exit's: held notes end, settings are written.
    frame->close();
    delete frame;
    return rc;
}
