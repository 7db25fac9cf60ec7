// The picture the image demos write: a packed 24-bit bitmap (header, then
// rows bottom-up, each padded to four bytes) in a global memory block, as
// the host hands pictures to kvimage.
#pragma once
#include <cstdint>

#include "platform/kernel/memory.h"

namespace kvhost {

// Gradients crossed by a pattern, so that colour reduction and JPEG both
// have something to do; 0 when the block cannot be had. The caller frees it.
kvp::HGLOBAL MakeSamplePicture(uint32_t width, uint32_t height);

}  // namespace kvhost
