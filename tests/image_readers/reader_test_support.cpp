#include "reader_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "image/gif/gif_reader.h"
#include "image/tiff/tiff_reader.h"

namespace kv::image::test {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot open " << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {
std::string files_dir() {
  const char* dir = std::getenv("KV_IMAGE_FILES");
  if (dir == nullptr) {
    ADD_FAILURE() << "KV_IMAGE_FILES is not set (run the tests through ctest)";
    return "";
  }
  return dir;
}
}  // namespace

std::string corpus_dir() {
  return files_dir() + "/corpus";
}
std::string hostile_dir() {
  return files_dir() + "/hostile";
}

std::vector<uint8_t> to_rgb(const DecodedImage& image) {
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t{image.width} * image.height * 3);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.block + (image.height - 1 - y) * image.stride();
    for (uint32_t x = 0; x < image.width; ++x) {
      if (image.bits == 24) {
        rgb.insert(rgb.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
        continue;
      }
      const uint32_t bit = x * image.bits;
      const uint32_t mask = (1u << image.bits) - 1;
      const uint32_t index = (row[bit / 8] >> (8 - image.bits - bit % 8)) & mask;
      const uint32_t entry = image.palette.at(index);
      rgb.insert(rgb.end(), {static_cast<uint8_t>(entry >> 16), static_cast<uint8_t>(entry >> 8),
                             static_cast<uint8_t>(entry)});
    }
  }
  return rgb;
}

ReadResult decode_tiff(const std::vector<uint8_t>& bytes, DecodedImage& image,
                       const ReadOptions& options) {
  SpanSource source(bytes);
  return tiff::read_tiff(source, options, image);
}

ReadResult decode_gif(const std::vector<uint8_t>& bytes, DecodedImage& image,
                      const ReadOptions& options) {
  SpanSource source(bytes);
  return gif::read_gif(source, options, image);
}

}  // namespace kv::image::test
