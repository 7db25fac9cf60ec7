#include "image/write/gif_writer.h"

#include <new>

#include "image/write/output_file.h"

namespace kvimg {

namespace {

constexpr int kHashSlots = 5003;
constexpr unsigned kMaxCodes = 4096;
constexpr unsigned kMaxBits = 12;

// Packs codes least significant bit first into sub-blocks of at most 255
// bytes, each preceded by its length.
class CodePacker {
 public:
  explicit CodePacker(std::vector<uint8_t>& out) : out_(out) {}

  void Put(unsigned code, unsigned bits) {
    accumulator_ |= static_cast<uint32_t>(code) << pending_;
    pending_ += bits;
    while (pending_ >= 8) {
      Byte(static_cast<uint8_t>(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      pending_ -= 8;
    }
  }

  void Finish() {
    if (pending_ > 0) Byte(static_cast<uint8_t>(accumulator_ & 0xFF));
    pending_ = 0;
    accumulator_ = 0;
    FlushBlock();
    out_.push_back(0);
  }

 private:
  void Byte(uint8_t value) {
    block_[blockLength_++] = value;
    if (blockLength_ == 255) FlushBlock();
  }
  void FlushBlock() {
    if (blockLength_ == 0) return;
    out_.push_back(static_cast<uint8_t>(blockLength_));
    out_.insert(out_.end(), block_, block_ + blockLength_);
    blockLength_ = 0;
  }

  std::vector<uint8_t>& out_;
  uint32_t accumulator_ = 0;
  unsigned pending_ = 0;
  uint8_t block_[255] = {};
  unsigned blockLength_ = 0;
};

// The code width follows the decoder's table: the decoder adds one entry
// for every code after the first one since a clear, and reads one bit more
// once its next free entry reaches the current limit.
class CodeWriter {
 public:
  CodeWriter(CodePacker& packer, unsigned codeSize)
      : packer_(packer), clear_(1u << codeSize), initialBits_(codeSize + 1) {
    Reset();
  }

  void Clear() {
    packer_.Put(clear_, bits_);
    Reset();
  }

  void Data(unsigned code) {
    packer_.Put(code, bits_);
    if (firstSinceClear_) {
      firstSinceClear_ = false;
    } else if (decoderNext_ < kMaxCodes) {
      ++decoderNext_;
    }
    if (decoderNext_ == (1u << bits_) && bits_ < kMaxBits) ++bits_;
  }

  void End() { packer_.Put(clear_ + 1, bits_); }

 private:
  void Reset() {
    bits_ = initialBits_;
    decoderNext_ = clear_ + 2;
    firstSinceClear_ = true;
  }

  CodePacker& packer_;
  unsigned clear_;
  unsigned initialBits_;
  unsigned bits_ = 0;
  unsigned decoderNext_ = 0;
  bool firstSinceClear_ = true;
};

}  // namespace

unsigned GifColourBits(unsigned colours) {
  unsigned bits = 1;
  while (bits < 8 && (1u << bits) < colours) ++bits;
  return bits;
}

std::vector<uint8_t> EncodeGifLzw(const std::vector<uint8_t>& pixels, unsigned codeSize) {
  std::vector<uint8_t> out;
  CodePacker packer(out);
  CodeWriter writer(packer, codeSize);
  const unsigned clear = 1u << codeSize;
  // Open hash of (pixel, prefix) -> code: a key is pixel << 12 | prefix.
  std::vector<int32_t> keys(kHashSlots, -1);
  std::vector<uint16_t> codes(kHashSlots, 0);
  unsigned nextCode = clear + 2;
  writer.Clear();
  if (pixels.empty()) {
    writer.End();
    packer.Finish();
    return out;
  }
  unsigned prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const unsigned pixel = pixels[i];
    const int32_t key = static_cast<int32_t>((pixel << 12) | prefix);
    int slot = static_cast<int>((pixel * 16 + prefix) % kHashSlots);
    const int step = slot == 0 ? 1 : kHashSlots - slot;
    bool found = false;
    while (keys[slot] >= 0) {
      if (keys[slot] == key) {
        prefix = codes[slot];
        found = true;
        break;
      }
      slot -= step;
      if (slot < 0) slot += kHashSlots;
    }
    if (found) continue;
    writer.Data(prefix);
    if (nextCode < kMaxCodes) {
      keys[slot] = key;
      codes[slot] = static_cast<uint16_t>(nextCode++);
    } else {
      writer.Clear();
      std::fill(keys.begin(), keys.end(), -1);
      nextCode = clear + 2;
    }
    prefix = pixel;
  }
  writer.Data(prefix);
  writer.End();
  packer.Finish();
  return out;
}

bool WriteGifFile(const PackedBitmap& bitmap, const char* fileName) {
  if (!bitmap.Valid() || bitmap.View().bits > 8 || !bitmap.IndexesInTable()) return false;
  const PackedBitmapView& view = bitmap.View();
  if (view.width > 0xFFFF || view.height > 0xFFFF || view.colourCount == 0) return false;
  const unsigned bits = GifColourBits(view.colourCount);
  const unsigned codeSize = bits < 2 ? 2 : bits;
  try {
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t{view.width} * view.height);
    const unsigned perByte = 8 / view.bits;
    const unsigned mask = (1u << view.bits) - 1;
    for (uint32_t y = 0; y < view.height; ++y) {
      const uint8_t* row = view.RowFromTop(y);
      for (uint32_t x = 0; x < view.width; ++x) {
        const unsigned shift = 8 - view.bits * (x % perByte + 1);
        pixels.push_back(static_cast<uint8_t>((row[x / perByte] >> shift) & mask));
      }
    }
    std::vector<uint8_t> file = {'G', 'I', 'F', '8', '7', 'a'};
    auto put16 = [&file](uint32_t value) {
      file.push_back(static_cast<uint8_t>(value & 0xFF));
      file.push_back(static_cast<uint8_t>(value >> 8));
    };
    put16(view.width);
    put16(view.height);
    file.push_back(static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
    file.push_back(0);  // background
    file.push_back(0);  // aspect
    for (unsigned i = 0; i < (1u << bits); ++i) {
      const bool used = i < view.colourCount;
      file.push_back(used ? view.colours[i].rgbRed : 0);
      file.push_back(used ? view.colours[i].rgbGreen : 0);
      file.push_back(used ? view.colours[i].rgbBlue : 0);
    }
    file.push_back(',');
    put16(0);
    put16(0);
    put16(view.width);
    put16(view.height);
    file.push_back(0);
    file.push_back(static_cast<uint8_t>(codeSize));
    const std::vector<uint8_t> data = EncodeGifLzw(pixels, codeSize);
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(';');
    OutputFile output;
    if (!output.Open(fileName)) return false;
    if (!output.Write(file.data(), file.size())) return false;
    return output.Commit();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kvimg
