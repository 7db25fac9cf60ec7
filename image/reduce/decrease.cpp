// IMG_hDecrease: a 24-bit packed bitmap reduced to an 8-bit one.
#include "image/reduce/decrease.h"

#include <cstring>
#include <new>

#include "image/read/decoder.h"
#include "image/reduce/quantiser.h"
#include "image/write/packed_bitmap.h"
#include "platform/kernel/memory.h"

namespace kvimg {

int DecreaseColourCount(int32_t colours, bool exact) {
  if (colours < 8 || colours > 256) return 0;
  if (exact) return colours;
  return colours > 16 ? 256 : 16;
}

kvp::HGLOBAL Decrease(kvp::HGLOBAL image, int colours) {
  const PackedBitmap input(image);
  if (!input.Valid() || input.View().bits != 24 || colours < 1 || colours > 256) return 0;
  const PackedBitmapView& picture = input.View();
  try {
    const std::vector<PaletteColour> palette =
        ChoosePalette(picture, static_cast<unsigned>(colours));
    const kvp::HGLOBAL result =
        AllocatePackedBitmap(picture.width, picture.height, static_cast<unsigned>(colours));
    if (result == 0) return 0;
    auto* base = static_cast<uint8_t*>(kvp::GlobalLock(result));
    auto* table = reinterpret_cast<KvRgbQuad*>(base + sizeof(KvBitmapInfoHeader));
    // Entries past the colours the picture has stay black.
    for (size_t i = 0; i < palette.size(); ++i)
      table[i] = KvRgbQuad{palette[i].blue, palette[i].green, palette[i].red, 0};
    uint8_t* rows = base + sizeof(KvBitmapInfoHeader) + 4 * size_t(colours);
    try {
      MapToPalette(picture, palette, rows, RowStride(picture.width, 8));
    } catch (const std::bad_alloc&) {
      kvp::GlobalUnlock(result);
      kvp::GlobalFree(result);
      return 0;
    }
    kvp::GlobalUnlock(result);
    return result;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace kvimg

extern "C" KVHGLOBAL KV_CALL IMG_hDecrease(KVHGLOBAL image, int32_t colours, int32_t exact) {
  const int count = kvimg::DecreaseColourCount(colours, exact != 0);
  if (count == 0) return 0;
  return kvimg::Decrease(image, count);
}
