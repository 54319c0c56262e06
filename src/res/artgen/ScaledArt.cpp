#include "res/artgen/ScaledArt.h"

#include "res/artgen/ArtGen.h"

namespace artgen {

QByteArray HandSignBitmapAt(int sign, int scale)
{
    if (sign < 0 || sign >= kHandSignCount || scale < 1 || scale > kMaxArtScale)
        return {};
    return HandSignPicture(sign, scale);
}

std::vector<QByteArray> KeyboardBitmapsAt(int scale)
{
    if (scale < 1 || scale > kMaxArtScale)
        return {};
    return KeyboardSet(scale);
}

} // namespace artgen
