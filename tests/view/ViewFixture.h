#pragma once
// A main window built as start-up builds it, on loopback MIDI devices and an
// empty profile.
#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "platform/LoopbackMidiBackend.h"
#include "support/TestSupport.h"
#include "view/CHandSignPane.h"
#include "view/CKeyboardPane.h"
#include "view/CTessaroView.h"

#include <gtest/gtest.h>

#include <memory>

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearProfile(); }
    void TearDown() override
    {
        if (m_pFrame) {
            m_pFrame->close();
            delete m_pFrame;
        }
    }

    // Devices first, then the window; inputs/outputs are loopback device counts.
    void Start(unsigned inputs = 2, unsigned outputs = 1)
    {
        auto backend = std::make_unique<CLoopbackMidiBackend>(inputs, outputs);
        m_pMidi = backend.get();
        MidiSystem::Install(std::move(backend));
        m_pFrame = CTessaroApp::CreateMainWindow(&m_doc);
        m_pView = m_pFrame->GetActiveView();
    }

    void Command(unsigned id)
    {
        m_pFrame->Action(id)->trigger();
    }

    CTessaroDoc m_doc;
    CMainFrame* m_pFrame = nullptr;
    CTessaroView* m_pView = nullptr;
    CLoopbackMidiBackend* m_pMidi = nullptr;
};
