#pragma once
// Where each hand-sign picture comes from, and which key is the highest one
// held. Pictures are numbered by their sign index (Solfege.h): 0 the blank
// picture, then do .. do', then the raised and the lowered chromatic signs.
#include "view/KeyboardGeometry.h"
#include "view/Solfege.h"

// One holder per picture of the pane.
constexpr int kHandSignHolders = kHandSignCount;

// The bitmap of a sign at the normal size or twice that; 0 for an index
// outside the set.
unsigned HandSignBitmapId(int sign, bool large);

// The highest key slot (12 down to 0) that is pressed; -1 if none.
int GetHighestHeldKey(const GUIKeySlots& keySlots);
