// The readers inside the library: read through pstIMG_LectureImage2 with the
// stand-in host's opener, the record and pixel block equal what the decoders
// give on their own, and failures leave their message for pszIMG_GetMessage.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "kv/image.h"
#include "platform/kernel/memory.h"
#include "reader_test_support.h"

namespace kv::image::test {
namespace {

struct Library {
  decltype(&bIMG_InitInstance) init = nullptr;
  decltype(&pstIMG_LectureImage2) read = nullptr;
  decltype(&pszIMG_GetMessage) message = nullptr;
};

// The library is loaded after the host's module (linked into this test),
// as the host loads it.
const Library& library() {
  static Library lib = [] {
    Library l;
    EXPECT_NE(dlopen(KV_HOST_LIBRARY, RTLD_NOW | RTLD_GLOBAL), nullptr) << dlerror();
    void* handle = dlopen(KV_IMAGE_LIBRARY, RTLD_NOW);
    EXPECT_NE(handle, nullptr) << dlerror();
    if (handle == nullptr) return l;
    l.init = reinterpret_cast<decltype(l.init)>(dlsym(handle, "bIMG_InitInstance"));
    l.read = reinterpret_cast<decltype(l.read)>(dlsym(handle, "pstIMG_LectureImage2"));
    l.message = reinterpret_cast<decltype(l.message)>(dlsym(handle, "pszIMG_GetMessage"));
    EXPECT_EQ(l.init(0, nullptr, nullptr), 1);
    return l;
  }();
  return lib;
}

constexpr uint16_t kHeaderOnly = 1;
constexpr uint16_t kSilent = 2;

void free_block(void* p) {
  kvp::HGLOBAL h = kvp::GlobalHandle(p);
  kvp::GlobalUnlock(h);
  kvp::GlobalFree(h);
}

void expect_record_matches(const std::string& path, bool is_gif) {
  SCOPED_TRACE(path);
  const Library& lib = library();
  ASSERT_NE(lib.read, nullptr);
  DecodedImage own;
  const auto bytes = read_file(path);
  ASSERT_TRUE((is_gif ? decode_gif(bytes, own) : decode_tiff(bytes, own)).ok());

  ImageRecord* record = lib.read(0, nullptr, path.c_str(), 0, kSilent, -1);
  ASSERT_NE(record, nullptr);
  // The record is packed: its members are read by value, never bound to a
  // reference.
  const int32_t width = record->header.biWidth, height = record->header.biHeight;
  const unsigned bits = record->header.biBitCount;
  const uint64_t size = record->header.biSizeImage;
  uint8_t* const pixels = record->pixels;
  EXPECT_EQ(width, static_cast<int32_t>(own.width));
  EXPECT_EQ(height, static_cast<int32_t>(own.height));
  EXPECT_EQ(bits, own.bits);
  EXPECT_EQ(size, own.block_size());
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::memcmp(pixels, own.block, own.block_size()), 0);
  const auto* colours = reinterpret_cast<const KvRgbQuad*>(record + 1);
  for (size_t i = 0; i < own.palette.size(); ++i) {
    EXPECT_EQ(colours[i].rgbRed, static_cast<uint8_t>(own.palette[i] >> 16)) << i;
    EXPECT_EQ(colours[i].rgbBlue, static_cast<uint8_t>(own.palette[i])) << i;
  }
  free_block(pixels);
  free_block(record);

  record = lib.read(0, nullptr, path.c_str(), 0, kSilent | kHeaderOnly, -1);
  ASSERT_NE(record, nullptr);
  const uint8_t* const no_pixels = record->pixels;
  const unsigned header_bits = record->header.biBitCount;
  EXPECT_EQ(no_pixels, nullptr);
  EXPECT_EQ(header_bits, own.bits);
  free_block(record);
}

TEST(ReaderFrame, GifAndTiffReadThroughTheLibrary) {
  const std::string dir = corpus_dir();
  expect_record_matches(dir + "/interlaced-odd.gif", true);
  expect_record_matches(dir + "/offset-background.gif", true);
  expect_record_matches(dir + "/page-g4-B-r16.tif", false);
  expect_record_matches(dir + "/rgb-lzw_2-L-r7.tif", false);
  expect_record_matches(dir + "/cmyk-packbits.tif", false);
  expect_record_matches(dir + "/palette8-packbits-B-r1.tif", false);
}

std::string failure_text(const std::string& path) {
  const Library& lib = library();
  EXPECT_EQ(lib.read(0, nullptr, path.c_str(), 0, kSilent, -1), nullptr) << path;
  char text[200];
  return lib.message(0, text, sizeof text - 1);
}

TEST(ReaderFrame, FailuresLeaveTheirMessage) {
  const std::string d = hostile_dir();
  EXPECT_EQ(failure_text(d + "/t-palette-24.tif"), "Incorrect photometric ratio");
  EXPECT_EQ(failure_text(d + "/t-fewer-offsets.tif"), "Band address not found");
  EXPECT_EQ(failure_text(d + "/t-lzw-table-full.tif"), "Decompression error");
  EXPECT_EQ(failure_text(d + "/g-table-full.gif"), "Decoding error : No ClearCode");
  EXPECT_EQ(failure_text(d + "/t-t4options-2d.tif").rfind(" has an unknown format"),
            failure_text(d + "/t-t4options-2d.tif").size() - 22);
  const std::string coding = failure_text(d + "/g-code-too-high.gif");
  EXPECT_EQ(coding.rfind("Coding of image ", 0), 0u) << coding;
  EXPECT_NE(coding.find("G-CODE-TOO-HIGH.GIF"), std::string::npos) << coding;
  const std::string incorrect = failure_text(d + "/g-min-code-size-12.gif");
  EXPECT_EQ(incorrect.rfind("Incorrect data found in file ", 0), 0u) << incorrect;
  EXPECT_EQ(failure_text(d + "/t-4-gigapixels.tif").rfind("Incorrect data found in file ", 0), 0u);
}

}  // namespace
}  // namespace kv::image::test
