// Product identification lives with the converters (src/convert/identify.h); this name stays
// for code that reaches it through the window model.
#pragma once

#include "convert/identify.h"
