// The GIF reader on whole files: blocks, tables, extensions, LZW data,
// interlace and placement on the screen.
#include <cstddef>
#include <cstdint>

#include "image/gif/gif_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kv::image::SpanSource source({data, size});
  kv::image::ReadOptions options;
  options.pixel_cap = 4u << 20;
  kv::image::DecodedImage image;
  kv::image::gif::read_gif(source, options, image);
  options.want_pixels = false;
  kv::image::gif::read_gif(source, options, image);
  return 0;
}
