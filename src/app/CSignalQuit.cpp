#include "app/CSignalQuit.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace {

// More nested loops than any run of the program opens; a bound all the same,
// should a window refuse to go.
constexpr int kMaxNestedWindows = 16;

} // namespace

CSignalQuit::CSignalQuit(QObject* parent)
    : QObject(parent)
    , m_Notifier({SIGTERM, SIGHUP, SIGINT})
{
    connect(&m_Notifier, &CSignalNotifier::Received, this, &CSignalQuit::OnSignal);
}

void CSignalQuit::OnSignal(int /*signalNumber*/)
{
    if (m_bQuitRequested)
        return;
    m_bQuitRequested = true;
    // A menu or a modal dialog runs an event loop of its own. Each ends as if
    // the user had dismissed it, so the code that opened it carries on as
    // after a Cancel (a dialog that closed the output port reopens it, for
    // the frame's closing to end its notes and close it for good).
    for (int i = 0; i < kMaxNestedWindows; ++i) {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup)
            break;
        popup->close();
        if (QApplication::activePopupWidget() == popup)
            break;
    }
    for (int i = 0; i < kMaxNestedWindows; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    // Every event loop returns, and only then, with the code that ran the
    // menus and dialogs done, start-up closes the frame. Not quit(): it would
    // close the windows from in here, and a window may refuse.
    QCoreApplication::exit(0);
}
