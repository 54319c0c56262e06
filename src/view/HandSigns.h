#pragma once
// Which hand-sign picture belongs to which scale degree, and which key is the
// highest one held. The degree is the display note minus 60 (C major from
// middle C); -1 is the blank picture shown when nothing is held.
#include "view/KeyboardGeometry.h"

// Holders of the pane: the blank picture and the eight signs do re mi fa so
// la ti do'.
constexpr int kHandSignHolders = 9;
constexpr int kBlankHandSign = 0;

// The holder of a degree's picture: 0 for -1 (blank), 1..8 for 0 2 4 5 7 9
// 11 12; -1 for the black keys and every degree outside.
int HandSignHolderIndex(int degree);
// The bitmap of a holder at either size.
unsigned HandSignBitmapId(int holder, bool large);

// The highest key slot (12 down to 0) that is pressed; -1 if none.
int GetHighestHeldKey(const GUIKeySlots& keySlots);
