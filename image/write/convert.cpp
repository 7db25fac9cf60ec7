// IMG_bConvert: a packed bitmap written as a GIF or JPEG file.
#include "image/reduce/decrease.h"
#include "image/write/gif_writer.h"
#include "image/write/jpeg_writer.h"
#include "platform/kernel/memory.h"

namespace kvimg {

namespace {

bool ConvertToGif(kvp::HGLOBAL image, const char* fileName, int32_t colours) {
  const int count = DecreaseColourCount(colours, true);
  if (count == 0) return false;
  const kvp::HGLOBAL reduced = Decrease(image, count);
  if (reduced == 0) return false;
  bool written = false;
  {
    const PackedBitmap bitmap(reduced);
    written = bitmap.Valid() && bitmap.View().bits == 8 && WriteGifFile(bitmap, fileName);
  }
  kvp::GlobalFree(reduced);
  return written;
}

}  // namespace

}  // namespace kvimg

extern "C" int32_t KV_CALL IMG_bConvert(KVHGLOBAL image, const char* fileName, int16_t type,
                                        int32_t parameter) {
  if (type == kImageWriteGif) return kvimg::ConvertToGif(image, fileName, parameter) ? 1 : 0;
  if (type == kImageWriteJpeg) {
    const kvimg::PackedBitmap bitmap(image);
    return kvimg::WriteJpegFile(bitmap, fileName, parameter) ? 1 : 0;
  }
  return 0;
}
