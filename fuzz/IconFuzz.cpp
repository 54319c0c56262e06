// libFuzzer target: arbitrary bytes as an .ico file held in memory, through
// the count, every image's size, loading each image at its own size and at
// another, and drawing it; the same bytes also as one icon image of the
// bitmap reader. Damaged input must give a count of 0 or an empty picture,
// never a read outside the data or an allocation the data does not justify.
//
// Build with clang (a build folder of its own; not part of the default build):
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja \
//       -DKELVORA_FUZZ=ON -DKELVORA_SANITIZE=ON -DKELVORA_BENCH=OFF
//   ninja -C build-fuzz kelvora_icon_fuzz
//   cp -r fuzz/corpus/icon /tmp/icon-corpus   # the fuzzer adds to its corpus
//   QT_QPA_PLATFORM=offscreen build-fuzz/kelvora_icon_fuzz -max_len=32768 /tmp/icon-corpus
// The seeds in fuzz/corpus/icon: the program's icon, cut copies of it, an
// icon with a PNG image and a monochrome one.
#include "about/CIconPicture.h"
#include "gfx/CDib.h"

#include <QByteArray>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QImage target(40, 40, QImage::Format_ARGB32_Premultiplied);
    target.fill(0xFF808080u);
    QPainter dc(&target);

    CIconPicture picture;
    // One past the count as well, which must fail; a lying count is only
    // followed a few entries.
    const int count = std::min<int>(CIconPicture::GetFileImageCount(bytes), 8);
    for (int i = 0; i <= count; ++i) {
        const QSize own = CIconPicture::GetFileImageSize(i, bytes);
        if (picture.LoadFromFileImage(i, bytes)) {
            // What a caller chose by must be what it gets.
            if (picture.GetIconSize() != own)
                __builtin_trap();
            picture.Render(&dc, QRect(2, 2, 32, 32), QRect(2, 2, 36, 36));
        }
        if (picture.LoadFromFileImage(i, bytes, 17, 9)) {
            if (picture.GetIconSize() != QSize(17, 9))
                __builtin_trap();
            picture.Render(&dc, QRect(0, 0, 17, 9), QRect(5, 5, 30, 30));
        }
    }

    CDib dib;
    if (dib.LoadFromIconImage(bytes))
        (void)dib.CreateIconImage();
    return 0;
}
