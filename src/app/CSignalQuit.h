#pragma once
// What the end-of-session signals mean to the program: SIGTERM (a logout,
// `kill`), SIGHUP (the terminal closed) and SIGINT (Ctrl+C) end it as File >
// Exit does, so every held note gets its note-off and the profile is written.
//
// The event loops end (a modal dialog's too, as if cancelled), and start-up
// then closes the main frame as it does after every run of the loop; the
// frame's closing is what File > Exit runs. A second signal while that is
// under way changes nothing; a third ends the process at once (see
// CSignalNotifier), for a program that no longer answers.
#include "app/CSignalNotifier.h"

#include <QObject>

class CSignalQuit : public QObject {
    Q_OBJECT
public:
    // Takes over the signals; the QApplication must exist.
    explicit CSignalQuit(QObject* parent = nullptr);

    bool IsInstalled() const { return m_Notifier.IsInstalled(); }
    // A signal has come (possibly before the event loop ran: then it is not
    // to be started).
    bool QuitRequested() const { return m_bQuitRequested; }

private:
    void OnSignal(int signalNumber);

    CSignalNotifier m_Notifier;
    bool m_bQuitRequested = false;
};
