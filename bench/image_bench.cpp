// kvimage's side of the image benchmark (bench/run-image.sh): one
// operation per run, its processor time (user + system) printed in
// seconds.
//
//   bench_image read FILE.jpg        read through the host's opener
//   bench_image reduce FILE.ppm N    IMG_hDecrease to N colours
//   bench_image gif FILE.ppm OUT N   IMG_bConvert to a GIF of N colours
//   bench_image gifwrite FILE.ppm OUT N
//                                    only the GIF writing of the N-colour
//                                    bitmap (reduced before the clock starts)
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "image/read/decoder.h"
#include "image/write/gif_writer.h"
#include "image/write/packed_bitmap.h"
#include "kv/image.h"
#include "platform/kernel/memory.h"

namespace {

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A binary PPM as a packed 24-bit bitmap (bottom-up, blue-green-red).
KVHGLOBAL LoadPpm(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  uint32_t width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  if (magic != "P6" || width == 0 || height == 0) return 0;
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (bytes.size() < size_t{width} * height * 3) return 0;
  const uint32_t stride = kvimg::RowStride(width, 24);
  const KVHGLOBAL block = kvp::GlobalAlloc(kvp::GHND, 40 + size_t{stride} * height);
  auto* base = static_cast<uint8_t*>(kvp::GlobalLock(block));
  auto* h = reinterpret_cast<KvBitmapInfoHeader*>(base);
  h->biSize = 40;
  h->biWidth = static_cast<int32_t>(width);
  h->biHeight = static_cast<int32_t>(height);
  h->biPlanes = 1;
  h->biBitCount = 24;
  h->biSizeImage = stride * height;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = base + 40 + size_t{height - 1 - y} * stride;
    const char* from = bytes.data() + size_t{y} * width * 3;
    for (uint32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(from[3 * x + 2]);
      row[3 * x + 1] = static_cast<uint8_t>(from[3 * x + 1]);
      row[3 * x + 2] = static_cast<uint8_t>(from[3 * x]);
    }
  }
  kvp::GlobalUnlock(block);
  return block;
}

void FreeRecord(ImageRecord* record) {
  for (void* address : {static_cast<void*>(record->pixels), static_cast<void*>(record)}) {
    const kvp::HGLOBAL block = kvp::GlobalHandle(address);
    kvp::GlobalUnlock(block);
    kvp::GlobalFree(block);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_image read|reduce|gif|gifwrite FILE [OUT] [N]\n");
    return 2;
  }
  if (bIMG_InitInstance(0, nullptr, nullptr) != 1) {
    std::fprintf(stderr, "bench_image: kvimage did not start\n");
    return 1;
  }
  const std::string mode = argv[1];
  double seconds = -1;
  if (mode == "read") {
    const double start = ProcessorSeconds();
    ImageRecord* record = pstIMG_LectureImage(0, nullptr, argv[2], 0, kImageReadSilent);
    seconds = ProcessorSeconds() - start;
    if (record == nullptr) return 1;
    FreeRecord(record);
  } else {
    const KVHGLOBAL image = LoadPpm(argv[2]);
    if (image == 0) return 1;
    if (mode == "reduce" && argc == 4) {
      const double start = ProcessorSeconds();
      const KVHGLOBAL reduced = IMG_hDecrease(image, std::atoi(argv[3]), 1);
      seconds = ProcessorSeconds() - start;
      if (reduced == 0) return 1;
    } else if (mode == "gif" && argc == 5) {
      const double start = ProcessorSeconds();
      const bool written = IMG_bConvert(image, argv[3], kImageWriteGif, std::atoi(argv[4])) == 1;
      seconds = ProcessorSeconds() - start;
      if (!written) return 1;
    } else if (mode == "gifwrite" && argc == 5) {
      const KVHGLOBAL reduced = IMG_hDecrease(image, std::atoi(argv[4]), 1);
      if (reduced == 0) return 1;
      const kvimg::PackedBitmap bitmap(reduced);
      const double start = ProcessorSeconds();
      const bool written = kvimg::WriteGifFile(bitmap, argv[3]);
      seconds = ProcessorSeconds() - start;
      if (!written) return 1;
    } else {
      return 2;
    }
  }
  std::printf("%.4f\n", seconds);
  return 0;
}
