// Pictures, files and oracles shared by the kvimage tests.
#pragma once
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/read/decoder.h"
#include "kv/image.h"
#include "platform/kernel/memory.h"
#include "platform/ui/message_box.h"
#include "tests/support/temp_dir.h"

namespace kvimgtest {

// A picture as red, green, blue triples, top row first.
struct Rgb {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> bytes;
  uint8_t* At(uint32_t x, uint32_t y) { return &bytes[(size_t{y} * width + x) * 3]; }
};

// Smooth colour ramps with a little deterministic texture: a picture with
// many colours where reduction and compression errors stay measurable.
inline Rgb TestPicture(uint32_t width, uint32_t height, uint32_t seed = 1) {
  Rgb picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
  uint32_t state = seed * 2654435761u + 12345;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>((state >> 24) % 9) - 4;
      uint8_t* p = picture.At(x, y);
      auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
      p[0] = clamp(static_cast<int>(255 * x / (width > 1 ? width - 1 : 1)) + noise);
      p[1] = clamp(static_cast<int>(255 * y / (height > 1 ? height - 1 : 1)) + noise);
      p[2] = clamp(static_cast<int>(128 + 100 * std::sin((x + y) / 9.0)) + noise);
    }
  return picture;
}

inline std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline void WritePnm(const std::string& path, const Rgb& picture, bool grey) {
  std::string out = (grey ? "P5\n" : "P6\n") + std::to_string(picture.width) + " " +
                    std::to_string(picture.height) + "\n255\n";
  for (size_t i = 0; i < picture.bytes.size(); i += 3)
    if (grey)
      out += static_cast<char>(picture.bytes[i]);
    else
      out.append(reinterpret_cast<const char*>(&picture.bytes[i]), 3);
  WriteFileBytes(path, out);
}

// Reads a binary PPM (P6) or PGM (P5), grey expanded to triples; empty on
// a malformed file.
inline Rgb ReadPnm(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  Rgb picture;
  size_t at = 0;
  auto token = [&]() {
    while (at < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
    const size_t start = at;
    while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at]))) ++at;
    return bytes.substr(start, at - start);
  };
  const std::string magic = token();
  if (magic != "P5" && magic != "P6") return picture;
  picture.width = static_cast<uint32_t>(std::stoul(token()));
  picture.height = static_cast<uint32_t>(std::stoul(token()));
  token();
  ++at;
  const size_t count = size_t{picture.width} * picture.height;
  const size_t per = magic == "P6" ? 3 : 1;
  if (bytes.size() < at + count * per) return Rgb{};
  picture.bytes.resize(count * 3);
  for (size_t i = 0; i < count; ++i)
    for (size_t c = 0; c < 3; ++c)
      picture.bytes[i * 3 + c] = static_cast<uint8_t>(bytes[at + i * per + (per == 3 ? c : 0)]);
  return picture;
}

// Runs a shell command line; the test fails (loudly, naming the tool) when
// it does not succeed.
inline bool Run(const std::string& command) {
  const int status = std::system(command.c_str());
  EXPECT_EQ(status, 0) << "command failed: " << command;
  return status == 0;
}

inline void RequireTool(const char* tool) {
  const std::string probe = std::string("command -v ") + tool + " >/dev/null 2>&1";
  ASSERT_EQ(std::system(probe.c_str()), 0)
      << tool << " is missing: run scripts/install-deps.sh (scripts/packages/image.txt)";
}

// A packed 24-bit bitmap of the picture in a new global block (unlocked).
inline KVHGLOBAL PackedBitmap24(const Rgb& picture) {
  const uint32_t stride = kvimg::RowStride(picture.width, 24);
  const size_t bytes = 40 + size_t{stride} * picture.height;
  const KVHGLOBAL block = kvp::GlobalAlloc(kvp::GHND, bytes);
  auto* base = static_cast<uint8_t*>(kvp::GlobalLock(block));
  auto* header = reinterpret_cast<KvBitmapInfoHeader*>(base);
  header->biSize = 40;
  header->biWidth = static_cast<int32_t>(picture.width);
  header->biHeight = static_cast<int32_t>(picture.height);
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * picture.height;
  for (uint32_t y = 0; y < picture.height; ++y) {
    uint8_t* row = base + 40 + size_t{picture.height - 1 - y} * stride;
    for (uint32_t x = 0; x < picture.width; ++x) {
      const uint8_t* p = &picture.bytes[(size_t{y} * picture.width + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  kvp::GlobalUnlock(block);
  return block;
}

// The picture of a packed 8-bit bitmap through its colour table.
inline Rgb ExpandPacked8(KVHGLOBAL block) {
  auto* base = static_cast<const uint8_t*>(kvp::GlobalLock(block));
  const auto* header = reinterpret_cast<const KvBitmapInfoHeader*>(base);
  Rgb picture{static_cast<uint32_t>(header->biWidth), static_cast<uint32_t>(header->biHeight), {}};
  picture.bytes.resize(size_t{picture.width} * picture.height * 3);
  const auto* table = reinterpret_cast<const KvRgbQuad*>(base + header->biSize);
  const uint8_t* rows = base + header->biSize + 4 * header->biClrUsed;
  const uint32_t stride = kvimg::RowStride(picture.width, 8);
  for (uint32_t y = 0; y < picture.height; ++y)
    for (uint32_t x = 0; x < picture.width; ++x) {
      const KvRgbQuad& c = table[rows[size_t{picture.height - 1 - y} * stride + x]];
      uint8_t* p = picture.At(x, y);
      p[0] = c.rgbRed;
      p[1] = c.rgbGreen;
      p[2] = c.rgbBlue;
    }
  kvp::GlobalUnlock(block);
  return picture;
}

// Mean absolute difference per channel between two pictures of one size.
inline double MeanError(const Rgb& a, const Rgb& b) {
  if (a.bytes.size() != b.bytes.size() || a.bytes.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.bytes.size(); ++i) sum += std::abs(int(a.bytes[i]) - int(b.bytes[i]));
  return sum / static_cast<double>(a.bytes.size());
}

inline double Psnr(const Rgb& a, const Rgb& b) {
  if (a.bytes.size() != b.bytes.size() || a.bytes.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.bytes.size(); ++i) {
    const double d = double(a.bytes[i]) - double(b.bytes[i]);
    sum += d * d;
  }
  const double mse = sum / static_cast<double>(a.bytes.size());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// Frees a record a read returned, with its pixel block.
inline void FreeRecord(ImageRecord* record) {
  if (record == nullptr) return;
  if (record->pixels != nullptr) {
    const KVHGLOBAL pixels = kvp::GlobalHandle(record->pixels);
    kvp::GlobalUnlock(pixels);
    kvp::GlobalFree(pixels);
  }
  const KVHGLOBAL block = kvp::GlobalHandle(record);
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

// Counts the message boxes shown while it lives, keeping the last one.
class BoxWatch {
 public:
  BoxWatch() { previous_ = kvp::SetMessageBoxHook(&BoxWatch::Hook, this); }
  ~BoxWatch() { kvp::SetMessageBoxHook(previous_, nullptr); }
  int count = 0;
  std::string caption, text;

 private:
  static int Hook(void*, const char* text, const char* caption, unsigned, void* context) {
    auto* self = static_cast<BoxWatch*>(context);
    ++self->count;
    self->caption = caption == nullptr ? "" : caption;
    self->text = text == nullptr ? "" : text;
    return kvp::IDOK;
  }
  kvp::MessageBoxHook previous_ = nullptr;
};

// The last message since the read began, as the host reads it.
inline std::string LastMessage() {
  char buffer[400] = {};
  pszIMG_GetMessage(0, buffer, sizeof buffer - 1);
  return buffer;
}

// Starts the library once for the whole test program.
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(bIMG_InitInstance(0, nullptr, nullptr), 1); }
  void TearDown() override { bIMG_FinInstance(0); }
};

}  // namespace kvimgtest
