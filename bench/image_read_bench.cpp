// Decodes a GIF or TIFF file with the image library's readers, as a process
// of its own so that bench/run-image-read.sh can time it the way it times
// tiffcp, Pillow and gif2rgb: reading the file through a source with read,
// seek and size (as the host's file sources are), decoding every pixel into
// the bitmap, and exiting.
#include <cstdio>

#include "image/gif/gif_reader.h"
#include "image/tiff/tiff_reader.h"

namespace {

class FileSource final : public kv::image::ByteSource {
 public:
  explicit FileSource(std::FILE* file) : file_(file) {}
  size_t read_some(uint8_t* buffer, size_t count) override {
    return std::fread(buffer, 1, count, file_);
  }
  bool seek(uint64_t position) override {
    return std::fseek(file_, static_cast<long>(position), SEEK_SET) == 0;
  }
  int64_t size() override {
    const long here = std::ftell(file_);
    std::fseek(file_, 0, SEEK_END);
    const long size = std::ftell(file_);
    std::fseek(file_, here, SEEK_SET);
    return size;
  }

 private:
  std::FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (in == nullptr) return 1;
  char signature[3] = {};
  const bool gif = std::fread(signature, 1, 3, in) == 3 && signature[0] == 'G' &&
                   signature[1] == 'I' && signature[2] == 'F';
  FileSource source(in);
  kv::image::DecodedImage image;
  const kv::image::ReadResult r = gif ? kv::image::gif::read_gif(source, {}, image)
                                      : kv::image::tiff::read_tiff(source, {}, image);
  std::fclose(in);
  if (!r.ok()) {
    std::fprintf(stderr, "%s: message %d\n", argv[1], r.message);
    return 1;
  }
  return 0;
}
