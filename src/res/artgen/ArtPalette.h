#pragma once
// The fixed 256-colour palette of the 8-bit pictures and the quantiser that
// maps a rendered picture onto it.
#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace artgen {

// Always the same 256 entries; entry 0 is black.
const std::vector<QRgb>& ArtPalette();

// Index of the nearest entry (squared RGB distance, first of equals).
uint8_t NearestEntry(const std::vector<QRgb>& palette, QRgb colour);

// One palette index per pixel, rows top to bottom; alpha is ignored.
std::vector<uint8_t> Quantize(const QImage& image, const std::vector<QRgb>& palette);

// The image quantised to ArtPalette, as an 8-bit .bmp file.
QByteArray EncodeArtBitmap(const QImage& image);

} // namespace artgen
