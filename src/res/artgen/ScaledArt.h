#pragma once
// The pictures at any scale the program shows them at. Scales 1 and 2 are
// the committed files, byte for byte; the program draws the larger scales
// it needs (a maximised window fitted to a big screen) with the same code,
// so nothing on screen is an enlarged copy.
#include <QByteArray>

#include <vector>

namespace artgen {

inline constexpr int kMaxArtScale = 8;

// The .bmp file of a hand sign at scale (280 x 240 times scale): sign 0 the
// blank picture, 1..8 do re mi fa so la ti do', 9..13 di ri fi si li, 14..18
// ra me se le te. Empty for a sign or a scale (1..kMaxArtScale) outside.
QByteArray HandSignBitmapAt(int sign, int scale);

// The nine keyboard bitmaps at scale, as .bmp files, in the order picture,
// hit map, white key down, white key up, up with the right neighbour held,
// up with both held, up with the left held, black key down, black key up.
// Empty for a scale outside 1..kMaxArtScale.
std::vector<QByteArray> KeyboardBitmapsAt(int scale);

} // namespace artgen
