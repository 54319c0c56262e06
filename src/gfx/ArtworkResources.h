#pragma once
// The artwork lives in a resource file compiled into the static res library.
// Nothing in a static library is linked unless referenced, so whoever reads
// ":/res/..." must first make sure the resources are registered.

// Registers the artwork resources once; cheap to call again.
void EnsureArtworkResources();
