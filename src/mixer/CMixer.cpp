#include "mixer/CMixer.h"
