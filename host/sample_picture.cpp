#include "host/sample_picture.h"

#include <cstddef>

#include "kv/image.h"

namespace kvhost {

kvp::HGLOBAL MakeSamplePicture(uint32_t width, uint32_t height) {
  const size_t stride = ((24 * size_t{width} + 31) / 32) * 4;
  const kvp::HGLOBAL picture = kvp::GlobalAlloc(kvp::GHND, 40 + stride * height);
  if (picture == 0) return 0;
  auto* base = static_cast<uint8_t*>(kvp::GlobalLock(picture));
  auto* header = reinterpret_cast<KvBitmapInfoHeader*>(base);
  header->biSize = 40;
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = static_cast<uint32_t>(stride * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      uint8_t* p = base + 40 + y * stride + 3 * x;
      p[0] = static_cast<uint8_t>(255 * y / height);
      p[1] = static_cast<uint8_t>((x ^ y) & 0xFF);
      p[2] = static_cast<uint8_t>(255 * x / width);
    }
  }
  kvp::GlobalUnlock(picture);
  return picture;
}

}  // namespace kvhost
