#pragma once
// The real main window, built as start-up builds it, on loopback MIDI devices
// (or on a backend the benchmark installed itself).
#include "app/CMainFrame.h"
#include "app/CTessaroApp.h"
#include "app/CTessaroDoc.h"
#include "platform/LoopbackMidiBackend.h"
#include "view/CTessaroView.h"

#include <memory>

struct BenchWindow {
    BenchWindow(unsigned inputs, unsigned outputs)
        : BenchWindow(std::make_unique<CLoopbackMidiBackend>(inputs, outputs)) {}
    explicit BenchWindow(std::unique_ptr<IMidiBackend> backend)
    {
        MidiSystem::Install(std::move(backend));
        frame = CTessaroApp::CreateMainWindow(&doc);
        view = frame->GetActiveView();
    }
    ~BenchWindow()
    {
        frame->close();
        delete frame;
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    CTessaroDoc doc;
    CMainFrame* frame;
    CTessaroView* view;
};
