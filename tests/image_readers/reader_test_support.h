// Helpers of the reader tests: files, the corpus directory the fixture
// made, and a bitmap turned back into top-down RGB for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/readers/reader_core.h"

namespace kv::image::test {

std::vector<uint8_t> read_file(const std::string& path);
// The generated corpus and hostile files, under the directory named by
// KV_IMAGE_FILES (the test fails when it is unset).
std::string corpus_dir();
std::string hostile_dir();
// Top-down RGB triples of the bitmap, colours through its table.
std::vector<uint8_t> to_rgb(const DecodedImage& image);

// Decodes bytes in memory with the TIFF or the GIF reader.
ReadResult decode_tiff(const std::vector<uint8_t>& bytes, DecodedImage& image,
                       const ReadOptions& options = {});
ReadResult decode_gif(const std::vector<uint8_t>& bytes, DecodedImage& image,
                      const ReadOptions& options = {});

}  // namespace kv::image::test
