#include "gfx/ArtworkResources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE declares the registration function at the scope it is used
// in, so it has to be called from a function outside any namespace.
static void RegisterArtwork()
{
    Q_INIT_RESOURCE(artwork);
}

void EnsureArtworkResources()
{
    static std::once_flag once;
    std::call_once(once, RegisterArtwork);
}
