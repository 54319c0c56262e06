// The keyboard and hand-sign panes in the real window, at the large scale the
// lesson is shown at: one note drawn (on, then off), also at a fitted scale
// with and without its name, one hit test under the mouse, the repaint that
// puts a drawn note on screen, and the loads that a change of scale costs.
#include "BenchWindow.h"
#include "res/ResourceIds.h"
#include "view/CHandSignPane.h"
#include "view/CKeyboardPane.h"
#include "view/CTessaroView.h"

#include <QCoreApplication>
#include <QWindow>
#include <benchmark/benchmark.h>

#include <string>

namespace {

struct Window : BenchWindow {
    explicit Window(int scale = 2, bool names = false)
        : BenchWindow(0, 1)
        , pane(view->m_pKeyboardPicture)
    {
        if (names)
            view->OnKeyNames(1);
        pane->LoadKeyboardBitmaps(scale);
        view->LayoutPanes();
    }
    CKeyboardPane* pane;
};

// Every key of the octave in turn, pressed then released: one message per
// iteration, white keys with their neighbour-dependent pictures included.
void BM_DrawKeyboardMessageLarge(benchmark::State& state)
{
    Window w;
    int i = 0;
    for (auto _ : state) {
        const int note = 60 + (i / 2) % 13;
        w.pane->DrawKeyboardMessage(w.view->MakeNoteMessage(uint8_t(note), (i & 1) == 0));
        ++i;
    }
}
BENCHMARK(BM_DrawKeyboardMessageLarge);

// One key, pressed then released, at scale 4 (a fitted window); the argument
// says whether the held key carries its letter.
void BM_DrawKeyScaled(benchmark::State& state)
{
    Window w(4, state.range(0) != 0);
    if (w.pane->Scale() != 4)
        state.SetLabel("scale 4 not drawn yet: scale " + std::to_string(w.pane->Scale()));
    int i = 0;
    for (auto _ : state) {
        w.pane->DrawKeyboardMessage(w.view->MakeNoteMessage(66, (i & 1) == 0));
        ++i;
    }
}
BENCHMARK(BM_DrawKeyScaled)->ArgName("names")->Arg(0)->Arg(1);

// The key under the mouse, for points spread over the whole picture.
void BM_HitTestKeyboardLarge(benchmark::State& state)
{
    Window w;
    const QPoint origin = w.pane->pos() + w.pane->PictureOrigin();
    int x = 0, y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.view->HitTestKeyboard(origin + QPoint(x, y)));
        x = (x + 37) % 348;
        y = (y + 53) % 248;
    }
}
BENCHMARK(BM_HitTestKeyboardLarge);

// What putting a drawn key on screen costs: the whole control repainted.
void BM_RepaintKeyboardLarge(benchmark::State& state)
{
    Window w;
    w.frame->show();
    for (int i = 0; i < 20 && !w.frame->windowHandle()->isExposed(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!w.pane->isVisible() || !w.frame->windowHandle()->isExposed()) {
        state.SkipWithError("window not shown");
        return;
    }
    w.view->SendAndAnimate(w.view->MakeNoteMessage(64, true));
    QCoreApplication::processEvents();
    for (auto _ : state)
        w.pane->repaint();
}
BENCHMARK(BM_RepaintKeyboardLarge);

// A change of scale: the nine keyboard bitmaps loaded and the picture composed.
void BM_SwitchKeyboardScale(benchmark::State& state)
{
    Window w;
    bool large = false;
    for (auto _ : state) {
        w.pane->LoadKeyboardBitmaps(large);
        large = !large;
    }
}
BENCHMARK(BM_SwitchKeyboardScale);

// The deferred part of the maximised hand-sign pane: the eight large signs.
void BM_LoadLargeHandSigns(benchmark::State& state)
{
    for (auto _ : state) {
        CDibPicture signs[8];
        for (unsigned i = 0; i < 8; ++i)
            benchmark::DoNotOptimize(signs[i].LoadBitmap(IDB_HANDSIGN_FIRST_L + i));
    }
}
BENCHMARK(BM_LoadLargeHandSigns)->Unit(benchmark::kMillisecond);

} // namespace
