// The GIF reader: the logical screen, its colour table and the first image
// of a GIF87a or GIF89a stream, as an 8-bit bitmap of the screen's size.
#pragma once

#include "image/readers/reader_core.h"

namespace kv::image::gif {

ReadResult read_gif(ByteSource& source, const ReadOptions& options, DecodedImage& image);

}  // namespace kv::image::gif
