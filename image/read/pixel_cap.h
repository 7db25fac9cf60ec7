// The cap on a read's pixel block. The fuzz targets lower it so that a
// hostile header cannot make them spend their time on a huge picture.
#pragma once
#include <cstdint>

namespace kvimg {

uint64_t PixelBlockCap();
void SetPixelBlockCap(uint64_t bytes);

}  // namespace kvimg
