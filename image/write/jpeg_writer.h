// JFIF writing of a packed bitmap through libjpeg-turbo.
#pragma once

#include "image/write/packed_bitmap.h"

namespace kvimg {

// Writes the 1-, 4-, 8- or 24-bit bitmap with the given quality. A bitmap
// of another depth, a colour table above 256 entries or a pixel past its
// table is message 1051, found before the file is created; a failure
// inside libjpeg reports its message. No file is left after a failure.
bool WriteJpegFile(const PackedBitmap& bitmap, const char* fileName, int quality);

}  // namespace kvimg
