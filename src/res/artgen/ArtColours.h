#pragma once
// The named colours of our artwork. The 8-bit pictures are quantised to one
// fixed palette (ArtPalette.cpp) built from these and the blends between the
// pairs that meet at antialiased edges, so every edge finds a close entry.
#include <QRgb>

namespace artgen {

// Hand signs
constexpr QRgb kPaper = 0xFFF7F2E6;      // background, warm off-white
constexpr QRgb kInk = 0xFF2B1A10;        // outlines, very dark brown
constexpr QRgb kSkin = 0xFFF3BE8F;
constexpr QRgb kSkinShade = 0xFFD99163;
constexpr QRgb kSkinLight = 0xFFFBDCC0;
constexpr QRgb kSleeve = 0xFF2F5F92;
constexpr QRgb kSleeveShade = 0xFF22466E;
constexpr QRgb kLabel = 0xFF1E3A5F;      // syllable letters
constexpr QRgb kLadder = 0xFFD7CCB4;     // the faint degree ladder
constexpr QRgb kAccent = 0xFFD9542F;     // current degree on the ladder

// Keyboard
constexpr QRgb kCase = 0xFF2C2C2E;
constexpr QRgb kCaseEdge = 0xFF161617;
constexpr QRgb kFelt = 0xFF8E1B1F;
constexpr QRgb kKeyWhite = 0xFFFFFFFF;
constexpr QRgb kKeyShadeLight = 0xFFE9E9E9;
constexpr QRgb kKeyShade = 0xFFD2D2D2;
constexpr QRgb kKeyStripTop = 0xFFC2C2C2;
constexpr QRgb kKeyStrip = 0xFFA9A9A9;
constexpr QRgb kKeyStripLow = 0xFF8C8C8C;
constexpr QRgb kKeyStripPressed = 0xFF777777;
constexpr QRgb kKeyStripPressedLow = 0xFF5C5C5C;
constexpr QRgb kKeySide = 0xFF686868;
constexpr QRgb kKeyGap = 0xFF161616;
constexpr QRgb kBlackKey = 0xFF1B1B1C;
constexpr QRgb kBlackKeyEdge = 0xFF060606;
constexpr QRgb kBlackKeyShine = 0xFF4A4A4C;
constexpr QRgb kBlackKeyFront = 0xFF3A3A3C;
constexpr QRgb kBlackKeyFrontLow = 0xFF2A2A2B;
constexpr QRgb kDot = 0xFFE3262B;
constexpr QRgb kDotRim = 0xFF7E0D10;

} // namespace artgen
