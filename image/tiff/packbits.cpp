#include "image/tiff/packbits.h"

#include <cstring>

namespace kv::image::tiff {

bool decode_packbits(std::span<const uint8_t> data, std::span<uint8_t> out) {
  size_t in = 0, written = 0;
  while (written < out.size()) {
    if (in == data.size()) return false;
    const int n = static_cast<int8_t>(data[in++]);
    if (n >= 0) {
      const size_t count = static_cast<size_t>(n) + 1;
      if (data.size() - in < count || out.size() - written < count) return false;
      std::memcpy(out.data() + written, data.data() + in, count);
      in += count;
      written += count;
    } else if (n != -128) {
      const size_t count = static_cast<size_t>(1 - n);
      if (in == data.size() || out.size() - written < count) return false;
      std::memset(out.data() + written, data[in++], count);
      written += count;
    }
  }
  return true;
}

}  // namespace kv::image::tiff
