#pragma once
// A main window built as start-up builds it, on loopback MIDI devices and an
// empty profile.
#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "dialogs/CDialog.h"
#include "midi/MIDIShortMsg.h"
#include "platform/LoopbackMidiBackend.h"
#include "platform/Profile.h"
#include "res/ResourceIds.h"
#include "support/TestSupport.h"
#include "view/CHandSignPane.h"
#include "view/CKeyboardPane.h"
#include "view/CTessaroView.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

inline uint32_t On(int note, int velocity = 127) { return MakeNoteOn(0, uint8_t(note), uint8_t(velocity)); }
inline uint32_t Off(int note) { return MakeNoteOff(0, uint8_t(note), 0); }
using Msgs = std::vector<uint32_t>;

// Answers the next modal dialog: edit may change it (or end it) first, then OK or Cancel.
inline void AnswerNextDialog(std::function<void(CDialog*)> edit = nullptr, bool ok = false)
{
    QTimer::singleShot(0, [edit, ok] {
        auto* dlg = qobject_cast<CDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        if (edit)
            edit(dlg);
        if (dlg->isVisible())
            ok ? dlg->accept() : dlg->reject();
    });
}

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearProfile(); }
    void TearDown() override { Stop(); }
    // Closes the window as quitting does.
    void Stop()
    {
        if (m_pFrame)
            m_pFrame->close();
        delete m_pFrame;
        m_pFrame = nullptr;
    }

    // Devices first, then the window; inputs/outputs are loopback device counts.
    void Start(unsigned inputs = 2, unsigned outputs = 1)
    {
        StartOn(std::make_unique<CLoopbackMidiBackend>(inputs, outputs));
    }
    // The window on devices of the test's making, opening fileName as start-up does.
    void StartOn(std::unique_ptr<CLoopbackMidiBackend> backend, const QString& fileName = QString())
    {
        m_pMidi = backend.get();
        MidiSystem::Install(std::move(backend));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc, fileName);
        m_pView = m_pFrame->GetActiveView();
    }

    // Loopback output only, the window shown and active, nothing sent yet.
    void StartShown()
    {
        Start(0, 1);
        Activate(m_pFrame);
        m_pMidi->ClearSent();
    }
    // Shows w and waits until it has the keyboard.
    static void Activate(QWidget* w)
    {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    void Command(unsigned id) { m_pFrame->Action(id)->trigger(); }
    Msgs Sent() const { return m_pMidi->Sent(MIDI_MAPPER); }

    CTessaroDoc m_doc;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
    CLoopbackMidiBackend* m_pMidi = nullptr;
};
