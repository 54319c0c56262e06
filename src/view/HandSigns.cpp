#include "view/HandSigns.h"

#include "res/ResourceIds.h"

unsigned HandSignBitmapId(int sign, bool large)
{
    if (sign == kSignBlank)
        return large ? IDB_HANDSIGN_BLANK_L : IDB_HANDSIGN_BLANK;
    if (sign >= kSignDo && sign <= kSignHighDo)
        return (large ? IDB_HANDSIGN_FIRST_L : IDB_HANDSIGN_FIRST) + unsigned(sign - kSignDo);
    // The chromatic bitmaps run di ri fi si li ra me se le te, as the indexes do.
    if (sign >= kSignRaisedFirst && sign < kHandSignCount)
        return (large ? IDB_HANDSIGN_CHROMATIC_FIRST_L : IDB_HANDSIGN_CHROMATIC_FIRST) +
               unsigned(sign - kSignRaisedFirst);
    return 0;
}

int GetHighestHeldKey(const GUIKeySlots& keySlots)
{
    for (int k = int(keySlots.size()) - 1; k >= 0; --k)
        if (keySlots[size_t(k)].IsPressed())
            return k;
    return -1;
}
