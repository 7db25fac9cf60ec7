// Every file of the generated corpus decodes to exactly the pixels the
// independent decoders (or the tools' own input) give.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "reader_test_support.h"

namespace kv::image::test {
namespace {

struct Case {
  std::string family, file, expected;
};

std::vector<Case> cases(const std::string& family) {
  std::vector<Case> out;
  std::ifstream manifest(corpus_dir() + "/manifest.txt");
  EXPECT_TRUE(manifest.good()) << "no corpus manifest";
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    Case c;
    if (fields >> c.family >> c.file >> c.expected && c.family == family) out.push_back(c);
  }
  return out;
}

void check_family(const std::string& family, size_t at_least) {
  const auto all = cases(family);
  ASSERT_GE(all.size(), at_least) << family;
  for (const Case& c : all) {
    SCOPED_TRACE(c.file);
    const auto bytes = read_file(corpus_dir() + "/" + c.file);
    const auto expected = read_file(corpus_dir() + "/" + c.expected);
    ASSERT_GE(expected.size(), 8u);
    uint32_t width, height;
    std::memcpy(&width, expected.data(), 4);
    std::memcpy(&height, expected.data() + 4, 4);

    DecodedImage image;
    const bool is_gif = family == "gif";
    ReadResult r = is_gif ? decode_gif(bytes, image) : decode_tiff(bytes, image);
    ASSERT_EQ(r.message, 0);
    ASSERT_FALSE(r.cancelled);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    ASSERT_EQ(image.pixels.size(), image.stride() * image.height);
    EXPECT_EQ(image.stride() % 4, 0u);
    const auto rgb = to_rgb(image);
    const std::vector<uint8_t> want(expected.begin() + 8, expected.end());
    ASSERT_EQ(rgb.size(), want.size());
    size_t first_difference = 0;
    while (first_difference < rgb.size() && rgb[first_difference] == want[first_difference])
      ++first_difference;
    EXPECT_EQ(first_difference, rgb.size())
        << "first difference at pixel " << first_difference / 3 << " (x "
        << first_difference / 3 % width << ", y " << first_difference / 3 / width << ")";

    // The header alone gives the same size and colour table.
    DecodedImage header;
    ReadOptions header_only;
    header_only.want_pixels = false;
    r = is_gif ? decode_gif(bytes, header, header_only) : decode_tiff(bytes, header, header_only);
    ASSERT_EQ(r.message, 0);
    EXPECT_TRUE(header.pixels.empty());
    EXPECT_EQ(header.width, image.width);
    EXPECT_EQ(header.bits, image.bits);
    EXPECT_EQ(header.palette, image.palette);
  }
}

TEST(ReaderCorpus, TiffStripsNoneLzwPredictorPackBits) {
  check_family("tiff_strips", 36);
}
TEST(ReaderCorpus, TiffBilevelFaxCodings) {
  check_family("tiff_bilevel", 30);
}
TEST(ReaderCorpus, TiffCmyk) {
  check_family("tiff_cmyk", 4);
}
TEST(ReaderCorpus, TiffWrittenByteOrdersDepthsStrips) {
  check_family("tiff_written", 14);
}
TEST(ReaderCorpus, Gif) {
  check_family("gif", 13);
}

TEST(ReaderCorpus, ToolFilesTheReaderRefuses) {
  for (const Case& c : cases("refuse_1036")) {
    SCOPED_TRACE(c.file);
    DecodedImage image;
    EXPECT_EQ(decode_tiff(read_file(corpus_dir() + "/" + c.file), image).message, 1036);
    EXPECT_TRUE(image.pixels.empty());
  }
  EXPECT_EQ(cases("refuse_1036").size(), 2u);
}

}  // namespace
}  // namespace kv::image::test
