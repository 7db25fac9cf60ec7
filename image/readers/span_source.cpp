#include <algorithm>
#include <cstring>

#include "image/readers/reader_core.h"

namespace kv::image {

size_t SpanSource::read_some(uint8_t* buffer, size_t count) {
  size_t n = std::min(count, bytes_.size() - position_);
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  return n;
}

bool SpanSource::seek(uint64_t position) {
  if (position > bytes_.size()) return false;
  position_ = static_cast<size_t>(position);
  return true;
}

bool provide_pixel_block(const ReadOptions& options, DecodedImage& image) {
  if (options.pixel_block) {
    image.block = options.pixel_block(image);
    return image.block != nullptr;
  }
  image.pixels.assign(static_cast<size_t>(image.block_size()), 0);
  image.block = image.pixels.data();
  return true;
}

}  // namespace kv::image
