// Progress after every row, cancelling mid-image, and a caller-given pixel
// block that cannot be had.
#include <gtest/gtest.h>

#include "image/tiff/tiff_samples.h"
#include "reader_test_support.h"

namespace kv::image::test {
namespace {

using Decode = ReadResult (*)(const std::vector<uint8_t>&, DecodedImage&, const ReadOptions&);

struct Sample {
  const char* file;
  Decode decode;
};

const Sample kSamples[] = {
    {"/pil-256-i1.gif", &decode_gif},
    {"/pil-256-i0.gif", &decode_gif},
    {"/rgb-lzw_2-L-r7.tif", &decode_tiff},
    {"/page-g4-B-r16.tif", &decode_tiff},
    {"/wide-g3_1d_fill-L-r1000.tif", &decode_tiff},
    {"/grey8-packbits-B-r1.tif", &decode_tiff},
};

TEST(ReaderProgress, EveryRowIsReportedInOrder) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    const auto bytes = read_file(corpus_dir() + s.file);
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    ReadOptions options;
    options.progress = [&](uint32_t done, uint32_t total) {
      calls.emplace_back(done, total);
      return true;
    };
    DecodedImage image;
    ASSERT_TRUE(s.decode(bytes, image, options).ok());
    ASSERT_EQ(calls.size(), image.height);
    for (uint32_t i = 0; i < calls.size(); ++i) {
      EXPECT_EQ(calls[i].first, i + 1);
      EXPECT_EQ(calls[i].second, image.height);
    }
  }
}

TEST(ReaderProgress, CancelEndsWithoutMessageOrImage) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    const auto bytes = read_file(corpus_dir() + s.file);
    for (uint32_t stop_at : {1u, 3u}) {
      uint32_t calls = 0;
      ReadOptions options;
      options.progress = [&](uint32_t done, uint32_t) {
        ++calls;
        return done < stop_at;
      };
      DecodedImage image;
      const ReadResult r = s.decode(bytes, image, options);
      EXPECT_TRUE(r.cancelled);
      EXPECT_EQ(r.message, 0);
      EXPECT_EQ(calls, stop_at) << "decoding went on after the cancel";
      EXPECT_EQ(image.block, nullptr);
    }
  }
}

TEST(ReaderProgress, RefusedPixelBlockEndsTheRead) {
  for (const Sample& s : kSamples) {
    SCOPED_TRACE(s.file);
    ReadOptions options;
    uint64_t asked = 0;
    options.pixel_block = [&](const DecodedImage& header) -> uint8_t* {
      asked = header.block_size();
      return nullptr;
    };
    DecodedImage image;
    const ReadResult r = s.decode(read_file(corpus_dir() + s.file), image, options);
    EXPECT_TRUE(r.reported);
    EXPECT_FALSE(r.ok());
    EXPECT_GT(asked, 0u);
  }
}

TEST(ReaderProgress, PixelCapRefusesBeforeAllocating) {
  ReadOptions options;
  options.pixel_cap = 1000;
  bool asked = false;
  options.pixel_block = [&](const DecodedImage&) -> uint8_t* {
    asked = true;
    return nullptr;
  };
  DecodedImage image;
  EXPECT_EQ(decode_tiff(read_file(corpus_dir() + "/rgb.tif"), image, options).message, 1032);
  EXPECT_EQ(decode_gif(read_file(corpus_dir() + "/pil-256-i0.gif"), image, options).message, 1032);
  EXPECT_FALSE(asked);
}

// The corner values of CMYK: no ink is white, full ink black.
TEST(ReaderSamples, CmykCornersAndRgbOrder) {
  uint8_t cmyk[] = {0, 0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 128};
  uint8_t out[12];
  tiff::convert_row({4, 32, 5, false}, cmyk, out);
  const uint8_t want[] = {255, 255, 255, 0, 0, 0, 255, 255, 0, 127, 127, 127};
  EXPECT_TRUE(std::equal(out, out + 12, want));
  uint8_t rgb[] = {1, 2, 3, 10, 20, 30};
  uint8_t bgr[6];
  tiff::convert_row({2, 24, 2, true}, rgb, bgr);
  const uint8_t want_bgr[] = {3, 2, 1, 33, 22, 11};
  EXPECT_TRUE(std::equal(bgr, bgr + 6, want_bgr));
}

}  // namespace
}  // namespace kv::image::test
