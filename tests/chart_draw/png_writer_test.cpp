// PNG files of bitmaps: every pixel of the bitmap comes back from netpbm's
// decoder exactly, pngcheck accepts every chunk and its CRC, and a write
// that cannot finish is reported and leaves no partial file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/pens_brushes.h"

namespace {

using namespace kvp;

std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int code = pclose(pipe);
  if (status != nullptr) *status = code;
  return out;
}

class PngFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"pngtopnm", "pngcheck"}) {
      ASSERT_NE(Shell(std::string("command -v ") + tool), "")
          << tool << " missing: bash scripts/install-deps.sh";
    }
    char pattern[] = "/tmp/kvchart-png-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::string folder;
};

// A memory context over a white bitmap.
struct Raster {
  Raster(int width, int height) {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, width, height);
    old = SelectObject(dc, bitmap);
  }
  ~Raster() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
};

// Pixels of every channel value, in no order a filter could predict, and
// antialiased text and curves over them.
void PaintNoise(const Raster& r, int width, int height, unsigned seed) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1103515245u + 12345u;
      const unsigned v = seed >> 8;
      HBRUSH brush = CreateSolidBrush(RGB(v & 0xFF, (v >> 8) & 0xFF, (x + y) & 0xFF));
      const RECT box{x, y, x + 1, y + 1};
      FillRect(r.dc, &box, brush);
      DeleteObject(brush);
    }
  }
  HFONT font = CreateFontA(-15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  HGDIOBJ previous = SelectObject(r.dc, font);
  SetBkMode(r.dc, TRANSPARENT);
  TextOutA(r.dc, 2, 1, "Quarterly 2.5E+005", 18);
  Ellipse(r.dc, 3, 2, width - 3, height - 1);
  SelectObject(r.dc, previous);
  DeleteObject(font);
}

// The pixels of a binary PPM (P6, maxval 255) as COLORREFs, row by row.
bool ReadPpm(const std::string& ppm, int* width, int* height, std::vector<COLORREF>* pixels) {
  int maxval = 0, consumed = 0;
  if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", width, height, &maxval, &consumed) != 3 ||
      maxval != 255 || *width <= 0 || *height <= 0)
    return false;
  const size_t start = static_cast<size_t>(consumed) + 1;  // one blank after the maxval
  const size_t count = static_cast<size_t>(*width) * static_cast<size_t>(*height);
  if (ppm.size() != start + 3 * count) return false;
  pixels->clear();
  for (size_t i = 0; i < count; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(ppm.data() + start + 3 * i);
    pixels->push_back(RGB(p[0], p[1], p[2]));
  }
  return true;
}

void ExpectSamePixels(const Raster& r, int width, int height, const std::string& png) {
  int status = -1;
  Shell("pngcheck -q '" + png + "'", &status);
  EXPECT_EQ(status, 0) << "pngcheck refused " << png;
  int w = 0, h = 0;
  std::vector<COLORREF> pixels;
  ASSERT_TRUE(ReadPpm(Shell("pngtopnm '" + png + "' 2>/dev/null"), &w, &h, &pixels)) << png;
  ASSERT_EQ(w, width);
  ASSERT_EQ(h, height);
  int differing = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      differing += pixels[static_cast<size_t>(y) * width + x] != GetPixel(r.dc, x, y);
  EXPECT_EQ(differing, 0) << png;
}

TEST_F(PngFiles, EveryPixelDecodesAsDrawnAtOddAndTinySizes) {
  for (const auto& [width, height] : {std::pair{1, 1}, {1, 9}, {97, 1}, {129, 41}}) {
    Raster r(width, height);
    PaintNoise(r, width, height, static_cast<unsigned>(width * 31 + height));
    const std::string png =
        folder + "/noise-" + std::to_string(width) + "x" + std::to_string(height) + ".png";
    ASSERT_TRUE(WriteBitmapPng(r.bitmap, png.c_str()));
    ExpectSamePixels(r, width, height, png);
  }
}

TEST_F(PngFiles, AFlatChartLikePictureDecodesAsDrawnAndStaysSmall) {
  Raster r(640, 480);
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  const RECT column{100, 50, 180, 470};
  FillRect(r.dc, &column, blue);
  DeleteObject(blue);
  Pie(r.dc, 300, 100, 600, 400, 450, 100, 600, 250);
  const std::string png = folder + "/flat.png";
  ASSERT_TRUE(WriteBitmapPng(r.bitmap, png.c_str()));
  ExpectSamePixels(r, 640, 480, png);
  // Raw it would be 921,600 bytes; the filter and zlib must still compress.
  EXPECT_LT(std::filesystem::file_size(png), 30000u);
}

TEST_F(PngFiles, RowsLikeTheRowAboveButNotFlatDecodeAsDrawn) {
  // Vertical stripes of every colour with a few dots: each row repeats the
  // row above far more than its own pixels repeat, so rows go as their
  // differences from the row above, with every byte value in them.
  constexpr int kWidth = 203, kHeight = 37;
  Raster r(kWidth, kHeight);
  unsigned seed = 11;
  for (int x = 0; x < kWidth; ++x) {
    seed = seed * 1103515245u + 12345u;
    HBRUSH brush = CreateSolidBrush(RGB((seed >> 8) & 0xFF, (seed >> 16) & 0xFF, x & 0xFF));
    const RECT stripe{x, 0, x + 1, kHeight};
    FillRect(r.dc, &stripe, brush);
    DeleteObject(brush);
  }
  for (int y = 1; y < kHeight; y += 2) {
    seed = seed * 1103515245u + 12345u;
    const int x = static_cast<int>((seed >> 8) % kWidth);
    HBRUSH brush = CreateSolidBrush(RGB(y * 7, 255 - y, (seed >> 20) & 0xFF));
    const RECT dot{x, y, x + 3, y + 1};
    FillRect(r.dc, &dot, brush);
    DeleteObject(brush);
  }
  const std::string png = folder + "/stripes.png";
  ASSERT_TRUE(WriteBitmapPng(r.bitmap, png.c_str()));
  ExpectSamePixels(r, kWidth, kHeight, png);
}

TEST_F(PngFiles, RewritingReplacesAnOlderLongerFile) {
  const std::string png = folder + "/again.png";
  {
    Raster big(200, 200);
    PaintNoise(big, 200, 200, 7);
    ASSERT_TRUE(WriteBitmapPng(big.bitmap, png.c_str()));
  }
  Raster small(3, 2);
  ASSERT_TRUE(WriteBitmapPng(small.bitmap, png.c_str()));
  ExpectSamePixels(small, 3, 2, png);
}

TEST_F(PngFiles, FailuresAreReportedAndLeaveNoPartialFile) {
  Raster r(200, 200);
  PaintNoise(r, 200, 200, 3);
  EXPECT_FALSE(WriteBitmapPng(r.bitmap, (folder + "/no/such/folder.png").c_str()));
  EXPECT_FALSE(WriteBitmapPng(r.bitmap, nullptr));
  EXPECT_FALSE(WriteBitmapPng(nullptr, (folder + "/nothing.png").c_str()));
  EXPECT_FALSE(std::filesystem::exists(folder + "/nothing.png"));
  // A device that refuses every byte: the failure is seen at the flush,
  // and the device itself is left alone.
  EXPECT_FALSE(WriteBitmapPng(r.bitmap, "/dev/full"));
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));

  // A file that fills up part-way (a file size limit of 2000 bytes in a
  // child process): failure, and the partial file is gone.
  const std::string partial = folder + "/partial.png";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{2000, 2000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool failed = !WriteBitmapPng(r.bitmap, partial.c_str());
    _exit(failed && !std::filesystem::exists(partial) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a write cut short was reported as success or left a file";
  // Without the limit the same picture is written whole.
  ASSERT_TRUE(WriteBitmapPng(r.bitmap, partial.c_str()));
  EXPECT_GT(std::filesystem::file_size(partial), 2000u);
}

}  // namespace
