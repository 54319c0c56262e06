#pragma once
// Encoders for the files we commit. They are our own and write every byte
// the same way every time (no time stamps, no library-version-dependent
// compression), so a regenerated file can be compared with the committed one.
#include <QByteArray>
#include <QImage>
#include <QRgb>
#include <QString>

#include <cstdint>
#include <vector>

namespace artgen {

// An uncompressed bottom-up BMP of 8 bits per pixel with a 256-entry table.
// indices: one per pixel, rows top to bottom.
QByteArray EncodeBmp8(int width, int height, const std::vector<uint8_t>& indices,
                      const std::vector<QRgb>& palette);

// A PNG of 8-bit RGBA from a (non-premultiplied) ARGB image. The pictures
// are tiny, so the zlib stream is made of stored blocks.
QByteArray EncodePng(const QImage& image);

// An .ico holding one 32-bit image with alpha (and the AND mask) per entry.
QByteArray EncodeIco(const std::vector<QImage>& images);

bool WriteBytes(const QString& path, const QByteArray& bytes);

} // namespace artgen
