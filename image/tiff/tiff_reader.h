// The TIFF reader: the first image of a baseline TIFF file (one sample plane;
// none, LZW, PackBits or fax coded strips) as a 1-, 4-, 8- or 24-bit bitmap.
#pragma once

#include "image/readers/reader_core.h"

namespace kv::image::tiff {

ReadResult read_tiff(ByteSource& source, const ReadOptions& options, DecodedImage& image);

}  // namespace kv::image::tiff
