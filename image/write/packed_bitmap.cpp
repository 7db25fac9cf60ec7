#include "image/write/packed_bitmap.h"

#include <cstring>

#include "image/read/decoder.h"
#include "platform/kernel/memory.h"

namespace kvimg {

unsigned HeaderColourCount(const KvBitmapInfoHeader& header) {
  if (header.biClrUsed != 0) return header.biClrUsed > 0xFFFF ? 0xFFFF : header.biClrUsed;
  return header.biBitCount <= 8 ? 1u << header.biBitCount : 0;
}

PackedBitmap::PackedBitmap(kvp::HGLOBAL block) : block_(block) {
  const size_t size = kvp::GlobalSize(block);
  if (size < sizeof(KvBitmapInfoHeader)) return;
  base_ = static_cast<const uint8_t*>(kvp::GlobalLock(block));
  if (base_ == nullptr) return;
  const auto* header = reinterpret_cast<const KvBitmapInfoHeader*>(base_);
  const unsigned bits = header->biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return;
  if (header->biSize < sizeof(KvBitmapInfoHeader) || header->biSize > size) return;
  if (header->biCompression != 0 || header->biWidth < 1 || header->biHeight < 1) return;
  const unsigned colours = HeaderColourCount(*header);
  if (colours > 256 || (bits <= 8 && colours > (1u << bits))) return;
  const uint32_t stride = RowStride(static_cast<uint32_t>(header->biWidth), bits);
  const uint64_t tableEnd = uint64_t{header->biSize} + 4ull * colours;
  const uint64_t rowsEnd = tableEnd + uint64_t{stride} * static_cast<uint32_t>(header->biHeight);
  if (stride == 0 || rowsEnd > size) return;
  view_.header = header;
  view_.colours = reinterpret_cast<const KvRgbQuad*>(base_ + header->biSize);
  view_.colourCount = colours;
  view_.rows = base_ + tableEnd;
  view_.width = static_cast<uint32_t>(header->biWidth);
  view_.height = static_cast<uint32_t>(header->biHeight);
  view_.bits = bits;
  view_.stride = stride;
  valid_ = true;
}

PackedBitmap::~PackedBitmap() {
  if (base_ != nullptr) kvp::GlobalUnlock(block_);
}

bool PackedBitmap::IndexesInTable() const {
  if (!valid_ || view_.bits > 8) return valid_;
  const unsigned limit = view_.colourCount;
  const unsigned perByte = 8 / view_.bits;
  const unsigned mask = (1u << view_.bits) - 1;
  for (uint32_t y = 0; y < view_.height; ++y) {
    const uint8_t* row = view_.RowFromTop(y);
    for (uint32_t x = 0; x < view_.width; ++x) {
      const unsigned shift = 8 - view_.bits * (x % perByte + 1);
      if (((row[x / perByte] >> shift) & mask) >= limit) return false;
    }
  }
  return true;
}

kvp::HGLOBAL AllocatePackedBitmap(uint32_t width, uint32_t height, unsigned colours) {
  const uint32_t stride = RowStride(width, 8);
  const uint64_t bytes = sizeof(KvBitmapInfoHeader) + 4ull * colours + uint64_t{stride} * height;
  if (stride == 0 || bytes > kMaxPixelBlockBytes + 2048) return 0;
  const kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, static_cast<size_t>(bytes));
  if (block == 0) return 0;
  auto* header = static_cast<KvBitmapInfoHeader*>(kvp::GlobalLock(block));
  header->biSize = sizeof(KvBitmapInfoHeader);
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biPlanes = 1;
  header->biBitCount = 8;
  header->biSizeImage = stride * height;
  header->biClrUsed = colours;
  kvp::GlobalUnlock(block);
  return block;
}

}  // namespace kvimg
