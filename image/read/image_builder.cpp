#include <cstring>

#include "image/read/decoder.h"
#include "image/read/pixel_cap.h"
#include "platform/kernel/memory.h"

namespace kvimg {

namespace {

uint64_t g_pixelBlockCap = kMaxPixelBlockBytes;

void* LockedBlock(size_t bytes, bool zeroed) {
  const kvp::HGLOBAL block = kvp::GlobalAlloc(zeroed ? kvp::GHND : kvp::GMEM_MOVEABLE, bytes);
  if (block == 0) return nullptr;
  void* address = kvp::GlobalLock(block);
  if (address == nullptr) kvp::GlobalFree(block);
  return address;
}

void FreeLocked(void* address) {
  if (address == nullptr) return;
  const kvp::HGLOBAL block = kvp::GlobalHandle(address);
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

// Entries of the colour table: 2^bits as a 16-bit value, so 24 bits has none.
unsigned TableEntries(unsigned bits) {
  return static_cast<uint16_t>(1u << bits);
}

KvRgbQuad* Colours(ImageRecord* record) {
  return reinterpret_cast<KvRgbQuad*>(reinterpret_cast<uint8_t*>(record) + sizeof(ImageRecord));
}

}  // namespace

uint64_t PixelBlockCap() {
  return g_pixelBlockCap;
}
void SetPixelBlockCap(uint64_t bytes) {
  g_pixelBlockCap = bytes;
}

uint32_t RowStride(uint32_t width, unsigned bits) {
  const uint64_t counted = bits > 8 ? 24 : bits;
  const uint64_t bytes = (counted * width + 7) / 8;
  const uint64_t stride = (bytes + 3) & ~uint64_t{3};
  return stride > UINT32_MAX ? 0 : static_cast<uint32_t>(stride);
}

ImageBuilder::~ImageBuilder() {
  FreeLocked(pixels_);
  FreeLocked(record_);
}

bool ImageBuilder::Begin(int64_t width, int64_t height, unsigned bits, const char* name) {
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
    ReportMessage(kMsgBitsPerPixel);
    return false;
  }
  if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) {
    ReportMessage(kMsgIncorrectData, name);
    return false;
  }
  const uint32_t stride = RowStride(static_cast<uint32_t>(width), bits);
  // Both factors are below 2^32, so the product fits 64 bits.
  const uint64_t bytes = uint64_t{stride} * static_cast<uint64_t>(height);
  if (stride == 0 || bytes > g_pixelBlockCap || bytes >= UINT32_MAX) {
    ReportMessage(kMsgIncorrectData, name);
    return false;
  }
  FreeLocked(pixels_);
  FreeLocked(record_);
  pixels_ = nullptr;
  record_ = static_cast<ImageRecord*>(
      LockedBlock(sizeof(ImageRecord) + 4 + 4 * size_t{TableEntries(bits)}, true));
  if (record_ == nullptr) {
    ReportMessage(kMsgNoMemory);
    return false;
  }
  stride_ = stride;
  KvBitmapInfoHeader& header = record_->header;
  header.biSize = 40;
  header.biWidth = static_cast<int32_t>(width);
  header.biHeight = static_cast<int32_t>(height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<uint16_t>(bits);
  header.biSizeImage = static_cast<uint32_t>(bytes);
  return true;
}

unsigned ImageBuilder::ColourCount() const {
  return record_ == nullptr ? 0 : TableEntries(record_->header.biBitCount);
}

void ImageBuilder::SetColour(unsigned index, uint8_t red, uint8_t green, uint8_t blue) {
  if (index >= ColourCount()) return;
  KvRgbQuad& entry = Colours(record_)[index];
  entry.rgbRed = red;
  entry.rgbGreen = green;
  entry.rgbBlue = blue;
  entry.rgbReserved = 0;
}

void ImageBuilder::SetGreyRamp() {
  const unsigned count = ColourCount();
  for (unsigned i = 0; i < count; ++i) {
    const auto level = static_cast<uint8_t>(count > 1 ? i * 255 / (count - 1) : 0);
    SetColour(i, level, level, level);
  }
}

bool ImageBuilder::AllocatePixels() {
  if (record_ == nullptr) return false;
  FreeLocked(pixels_);
  pixels_ = static_cast<uint8_t*>(LockedBlock(size_t{record_->header.biSizeImage} + 1, true));
  if (pixels_ == nullptr) {
    ReportMessage(kMsgNoMemory);
    return false;
  }
  record_->pixels = pixels_;
  return true;
}

uint8_t* ImageBuilder::RowFromTop(uint32_t rowFromTop) {
  if (pixels_ == nullptr || rowFromTop >= Height()) return nullptr;
  return pixels_ + size_t{Height() - 1 - rowFromTop} * stride_;
}

bool ImageBuilder::PutRowFromTop(uint32_t rowFromTop, const uint8_t* bytes, size_t count) {
  uint8_t* row = RowFromTop(rowFromTop);
  if (row == nullptr || bytes == nullptr) return false;
  std::memcpy(row, bytes, count < stride_ ? count : stride_);
  return true;
}

void ImageBuilder::FillPixels(uint8_t value) {
  if (pixels_ != nullptr) std::memset(pixels_, value, record_->header.biSizeImage);
}

uint32_t ImageBuilder::Width() const {
  return record_ == nullptr ? 0 : static_cast<uint32_t>(record_->header.biWidth);
}
uint32_t ImageBuilder::Height() const {
  return record_ == nullptr ? 0 : static_cast<uint32_t>(record_->header.biHeight);
}
unsigned ImageBuilder::Bits() const {
  return record_ == nullptr ? 0 : record_->header.biBitCount;
}

ImageRecord* ImageBuilder::Release() {
  ImageRecord* record = record_;
  record_ = nullptr;
  pixels_ = nullptr;
  return record;
}

}  // namespace kvimg
