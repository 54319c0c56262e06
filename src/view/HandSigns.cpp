#include "view/HandSigns.h"

#include "res/ResourceIds.h"

int HandSignHolderIndex(int degree)
{
    switch (degree) {
    case -1: return kBlankHandSign;
    case 0: return 1;
    case 2: return 2;
    case 4: return 3;
    case 5: return 4;
    case 7: return 5;
    case 9: return 6;
    case 11: return 7;
    case 12: return 8;
    default: return -1;
    }
}

unsigned HandSignBitmapId(int holder, bool large)
{
    if (holder == kBlankHandSign)
        return large ? IDB_HANDSIGN_BLANK_L : IDB_HANDSIGN_BLANK;
    return (large ? IDB_HANDSIGN_FIRST_L : IDB_HANDSIGN_FIRST) + unsigned(holder - 1);
}

int GetHighestHeldKey(const GUIKeySlots& keySlots)
{
    for (int k = int(keySlots.size()) - 1; k >= 0; --k)
        if (keySlots[size_t(k)].IsPressed())
            return k;
    return -1;
}
