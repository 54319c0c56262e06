#pragma once
// A millisecond tick count that wraps at 2^32, like the multimedia time the log
// measures its offsets with.
#include <cstdint>

uint32_t GetTickCountMs();
