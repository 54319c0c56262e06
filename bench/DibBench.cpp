// The two things the keyboard pane does per note and per mouse move at the
// large scale: paint one key overlay onto the keyboard picture, and find the
// key under a point of the hit map.
#include "gfx/CDibPicture.h"

#include "res/ResourceIds.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

void BM_DrawKeyOverlayLarge(benchmark::State& state)
{
    CDibPicture keyboard, key;
    if (!keyboard.LoadBitmap(IDB_KEYBOARD_L) || !key.LoadBitmap(IDB_WHITE_DOWN_L)) {
        state.SkipWithError("artwork missing");
        return;
    }
    // The label's pixmap on the raster engine is premultiplied ARGB.
    QImage pane(keyboard.GetSize(), QImage::Format_ARGB32_Premultiplied);
    {
        QPainter dc(&pane);
        const QRect all(QPoint(0, 0), keyboard.GetSize());
        keyboard.Draw(dc, all, all);
    }
    int w = 0;
    for (auto _ : state) {
        // As the view does it: a painter per note, the key at its place.
        const QRect r(QPoint(12 + 40 * w, 156), key.GetSize());
        QPainter dc(&pane);
        key.Draw(dc, r, r);
        dc.end();
        benchmark::ClobberMemory();
        w = (w + 1) % 8;
    }
}
BENCHMARK(BM_DrawKeyOverlayLarge);

void BM_HitTestLarge(benchmark::State& state)
{
    CDibPicture map;
    if (!map.LoadBitmap(IDB_KEYBOARD_MAP_L)) {
        state.SkipWithError("artwork missing");
        return;
    }
    int x = 0, y = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.GetPixelIndex(x, y));
        x = (x + 37) % 348;
        y = (y + 53) % 248;
    }
}
BENCHMARK(BM_HitTestLarge);

} // namespace
