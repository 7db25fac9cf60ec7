// Colour reduction of a packed 24-bit bitmap.
#pragma once
#include <cstdint>

#include "platform/kernel/win_types.h"

namespace kvimg {

// The colour count IMG_hDecrease uses: 0 for a count below 8 or above 256;
// without `exact`, 256 above 16 and 16 otherwise.
int DecreaseColourCount(int32_t colours, bool exact);

// A new unlocked block with the 8-bit bitmap of exactly `colours` table
// entries, or 0 (not a valid 24-bit packed bitmap, no memory). The input is
// only read.
kvp::HGLOBAL Decrease(kvp::HGLOBAL image, int colours);

}  // namespace kvimg
