// libFuzzer target: arbitrary bytes through every way a DIB is taken in (a
// .bmp file image, a packed DIB, the stored "BA" form), then every read the
// view makes of what was accepted. Damaged input must give an empty object,
// never a read outside the block.
//
// Build with clang (a build folder of its own; not part of the default build):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
//       -DKELVORA_FUZZ=ON -DKELVORA_SANITIZE=ON -DKELVORA_BENCH=OFF
//   ninja -C build-fuzz kelvora_dib_fuzz
//   QT_QPA_PLATFORM=offscreen build-fuzz/kelvora_dib_fuzz -max_len=4096 corpus/
// A seed corpus: a few of src/res/bitmaps/*.bmp and their first few hundred bytes.
#include "gfx/CDib.h"

#include <QByteArray>
#include <QDataStream>
#include <QImage>
#include <QPainter>

#include <cstddef>
#include <cstdint>

namespace {

void Exercise(const CDib& dib)
{
    const QSize size = dib.GetSize();
    const int w = size.width(), h = size.height();
    // Corners, just outside, and a diagonal.
    for (int i = -1; i <= 1; ++i) {
        (void)dib.GetPixelIndex(i * w, 0);
        (void)dib.GetPixelIndex(w - 1, h - 1 + i);
        (void)dib.GetPixelIndex(0, i * h);
    }
    for (int k = 0; k < 8; ++k)
        (void)dib.GetPixelIndex(k * (w - 1) / 7, k * (h - 1) / 7);
    QRgb a = 0, b = 0;
    if (dib.GetMonoColors(a, b))
        (void)(a ^ b);
    (void)dib.CreateDeviceImage();
    QImage target(24, 16, QImage::Format_ARGB32_Premultiplied);
    target.fill(0);
    QPainter dc(&target);
    dib.Draw(dc, -3, -2);
    dib.StretchDraw(dc, 1, 1, 22, 14);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    CDib dib;
    if (dib.LoadFromFileImage(bytes))
        Exercise(dib);
    if (dib.LoadFromPackedDib(bytes))
        Exercise(dib);
    QDataStream ar(bytes);
    if (dib.Serialize(ar, false)) {
        Exercise(dib);
        dib.SetMonoColors(qRgb(1, 2, 3), qRgb(4, 5, 6));
        Exercise(dib);
    }
    return 0;
}
