// Malformed and hostile files: each ends with its message (or reads, where
// the reader is meant to cope), never past a buffer, never with a pixel
// block left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "image/tiff/tiff_reader.h"
#include "reader_test_support.h"

namespace kv::image::test {
namespace {

void check_hostile(char prefix, size_t at_least) {
  std::ifstream manifest(hostile_dir() + "/manifest.txt");
  ASSERT_TRUE(manifest.good());
  std::string line;
  size_t seen = 0;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    std::string file, expected;
    int message = -1;
    fields >> file >> message >> expected;
    if (file.empty() || file[0] != prefix) continue;
    ++seen;
    SCOPED_TRACE(file);
    const auto bytes = read_file(hostile_dir() + "/" + file);
    DecodedImage image;
    ReadResult r = prefix == 'g' ? decode_gif(bytes, image) : decode_tiff(bytes, image);
    EXPECT_EQ(r.message, message);
    EXPECT_FALSE(r.cancelled);
    if (message != 0) {
      EXPECT_EQ(image.block, nullptr);
      EXPECT_TRUE(image.pixels.empty());
      continue;
    }
    if (expected.empty()) continue;
    const auto want = read_file(hostile_dir() + "/" + expected);
    uint32_t width, height;
    std::memcpy(&width, want.data(), 4);
    std::memcpy(&height, want.data() + 4, 4);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    EXPECT_TRUE(to_rgb(image) == std::vector<uint8_t>(want.begin() + 8, want.end()));
  }
  EXPECT_GE(seen, at_least);
}

TEST(ReaderHostile, TiffFilesEndWithTheirMessages) {
  check_hostile('t', 50);
}
TEST(ReaderHostile, GifFilesEndWithTheirMessages) {
  check_hostile('g', 22);
}

// A ByteSource that counts what it hands out.
class CountingSource final : public ByteSource {
 public:
  explicit CountingSource(const std::vector<uint8_t>& bytes) : inner_(bytes) {}
  size_t read_some(uint8_t* buffer, size_t count) override {
    const size_t got = inner_.read_some(buffer, count);
    total += got;
    return got;
  }
  bool seek(uint64_t position) override { return inner_.seek(position); }
  int64_t size() override { return inner_.size(); }
  uint64_t total = 0;

 private:
  SpanSource inner_;
};

// Strips that all reach the end of a large file are read only as far as
// their rows can need: the whole file is not read again for each.
TEST(ReaderHostile, ManyStripsReadOnlyWhatTheirRowsNeed) {
  const auto bytes = read_file(hostile_dir() + "/t-many-strips-no-counts.tif");
  ASSERT_GT(bytes.size(), 2u << 20);
  CountingSource source(bytes);
  DecodedImage image;
  ASSERT_TRUE(tiff::read_tiff(source, {}, image).ok());
  EXPECT_EQ(image.height, 4000u);
  EXPECT_LT(source.total, uint64_t{4000} * (2 * 64 + 4096) + bytes.size());
}

// Every truncation of good files fails cleanly or reads: no crash, no
// block left behind on failure.
TEST(ReaderHostile, EveryTruncationOfGoodFiles) {
  for (const char* name : {"t-lzw-literals.tif", "t-mh-ok.tif", "g-literals.gif"}) {
    SCOPED_TRACE(name);
    const auto bytes = read_file(hostile_dir() + "/" + name);
    for (size_t length = 0; length < bytes.size(); length += 1 + length / 64) {
      const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + length);
      DecodedImage image;
      ReadResult r = name[0] == 'g' ? decode_gif(cut, image) : decode_tiff(cut, image);
      if (!r.ok()) {
        EXPECT_EQ(image.block, nullptr) << length;
      }
    }
  }
}

}  // namespace
}  // namespace kv::image::test
