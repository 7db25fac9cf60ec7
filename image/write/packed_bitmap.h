// A packed device-independent bitmap in one global block: the bitmap
// header, its colour table, then the rows bottom-up, each padded to 4
// bytes. The caller's header is checked against the block it sits in before
// anything is read or allocated.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/image.h"
#include "platform/kernel/win_types.h"

namespace kvimg {

struct PackedBitmapView {
  const KvBitmapInfoHeader* header = nullptr;
  const KvRgbQuad* colours = nullptr;
  unsigned colourCount = 0;  // entries of the colour table
  const uint8_t* rows = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  unsigned bits = 0;
  uint32_t stride = 0;

  // Row `rowFromTop` (0 = the picture's top row).
  const uint8_t* RowFromTop(uint32_t rowFromTop) const {
    return rows + size_t{height - 1 - rowFromTop} * stride;
  }
};

// Locks the block for the view's lifetime; Valid() is false when the handle
// is not a block, the header is not a plain (uncompressed, bottom-up)
// bitmap of 1, 4, 8 or 24 bits, the colour table holds more than 256
// entries (or more than the depth allows), or the rows would reach past the
// block's end.
class PackedBitmap {
 public:
  explicit PackedBitmap(kvp::HGLOBAL block);
  ~PackedBitmap();
  PackedBitmap(const PackedBitmap&) = delete;
  PackedBitmap& operator=(const PackedBitmap&) = delete;

  bool Valid() const { return valid_; }
  const PackedBitmapView& View() const { return view_; }

  // Every pixel of a 1-, 4- or 8-bit bitmap indexes an entry of its table.
  bool IndexesInTable() const;

 private:
  kvp::HGLOBAL block_;
  const uint8_t* base_ = nullptr;
  bool valid_ = false;
  PackedBitmapView view_;
};

// The colour count a header names: biClrUsed, or 2^bits when that is 0 (24
// bits: none).
unsigned HeaderColourCount(const KvBitmapInfoHeader& header);

// A new unlocked moveable block holding a packed 8-bit bitmap of the given
// size with `colours` table entries (zero-filled), or 0.
kvp::HGLOBAL AllocatePackedBitmap(uint32_t width, uint32_t height, unsigned colours);

}  // namespace kvimg
