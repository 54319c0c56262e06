#pragma once
// Start-up: command line, the run-time check, one instance only, the document,
// the main frame and the view.
#include <QString>
#include <QStringList>

#include <optional>

class CMainFrame;
class CTessaroDoc;

struct CommandLineOptions {
    bool help = false;
    bool version = false;
    bool listDevices = false;
    bool exitWhenShown = false; // start-up measurement: quit once the window is shown
    QString midiBackend = QStringLiteral("auto");
    QString fileName;
    QString error; // set when the command line is not understood
};

class CTessaroApp {
public:
    // The whole program; returns the process exit code.
    static int Run(int argc, char** argv);

    static CommandLineOptions ParseCommandLine(const QStringList& args);
    static QString UsageText();

    // The message shown when the Qt libraries loaded are older than the ones
    // the program was built with; empty when they are fine.
    static QString RuntimeVersionProblem(const QString& builtWith, const QString& running);

    // Builds the document, frame and view as start-up does, without showing
    // them, with the file named on the command line if any. A file that cannot
    // be opened leaves the log empty and is reported once the window shows.
    static CMainFrame* CreateMainWindow(CTessaroDoc* doc, const QString& fileName = QString());
};
