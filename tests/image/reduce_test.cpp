// Colour reduction: the count rule, hostile headers, the result's layout,
// and the error against libjpeg's quantiser (djpeg -colors) and PIL.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/image/image_support.h"

namespace {

using kvimgtest::Rgb;

struct Reduced {
  KVHGLOBAL block = 0;
  ~Reduced() {
    if (block != 0) kvp::GlobalFree(block);
  }
};

// A copy: the header is not aligned in every block.
KvBitmapInfoHeader HeaderOf(KVHGLOBAL block) {
  const KvBitmapInfoHeader header = *static_cast<const KvBitmapInfoHeader*>(kvp::GlobalLock(block));
  kvp::GlobalUnlock(block);
  return header;
}

TEST(Decrease, ColourCountRule) {
  const Rgb picture = kvimgtest::TestPicture(40, 30);
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
  for (const int exact : {0, 1}) {
    EXPECT_EQ(IMG_hDecrease(image, 300, exact), 0u);
    EXPECT_EQ(IMG_hDecrease(image, 5, exact), 0u);
    EXPECT_EQ(IMG_hDecrease(image, 7, exact), 0u);
  }
  struct Case {
    int asked, exact;
    uint32_t colours;
  };
  for (const Case c : {Case{100, 0, 256}, Case{12, 0, 16}, Case{17, 0, 256}, Case{16, 0, 16},
                       Case{8, 0, 16}, Case{8, 1, 8}, Case{100, 1, 100}, Case{256, 1, 256}}) {
    Reduced reduced{IMG_hDecrease(image, c.asked, c.exact)};
    ASSERT_NE(reduced.block, 0u) << c.asked;
    const KvBitmapInfoHeader h = HeaderOf(reduced.block);
    EXPECT_EQ(h.biBitCount, 8);
    EXPECT_EQ(h.biClrUsed, c.colours) << c.asked << " exact " << c.exact;
    EXPECT_EQ(h.biSizeImage, 40u * 30);
    EXPECT_EQ(h.biWidth, 40);
    EXPECT_EQ(h.biHeight, 30);
    EXPECT_EQ(kvp::GlobalSize(reduced.block), 40 + 4 * c.colours + 40 * 30);
  }
  kvp::GlobalFree(image);
}

TEST(Decrease, LeavesTheInputUnchangedAndKeepsFewColoursExact) {
  Rgb picture = kvimgtest::TestPicture(33, 17);
  // Three colours only: every pixel keeps its colour.
  const uint8_t colours[3][3] = {{250, 10, 10}, {10, 200, 30}, {20, 20, 240}};
  for (uint32_t y = 0; y < picture.height; ++y)
    for (uint32_t x = 0; x < picture.width; ++x)
      std::memcpy(picture.At(x, y), colours[(x / 5 + y) % 3], 3);
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
  const size_t size = kvp::GlobalSize(image);
  const std::string before(static_cast<const char*>(kvp::GlobalLock(image)), size);
  kvp::GlobalUnlock(image);
  Reduced reduced{IMG_hDecrease(image, 8, 1)};
  ASSERT_NE(reduced.block, 0u);
  EXPECT_EQ(std::string(static_cast<const char*>(kvp::GlobalLock(image)), size), before);
  kvp::GlobalUnlock(image);
  EXPECT_EQ(kvimgtest::ExpandPacked8(reduced.block).bytes, picture.bytes);
  kvp::GlobalFree(image);
}

TEST(Decrease, RefusesHeadersTheBlockDoesNotHold) {
  const Rgb picture = kvimgtest::TestPicture(16, 16);
  auto withHeader = [&](auto change) {
    const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
    change(*static_cast<KvBitmapInfoHeader*>(kvp::GlobalLock(image)));
    kvp::GlobalUnlock(image);
    return image;
  };
  const std::vector<KVHGLOBAL> bad = {
      withHeader([](KvBitmapInfoHeader& h) { h.biHeight = -16; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biHeight = 17; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biWidth = 0x7FFFFFFF; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biBitCount = 8; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biBitCount = 32; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biClrUsed = 0xFFFFFFFF; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biSize = 0x10000000; }),
      withHeader([](KvBitmapInfoHeader& h) { h.biCompression = 1; }),
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(IMG_hDecrease(bad[i], 256, 1), 0u) << i;
    EXPECT_EQ(IMG_bConvert(bad[i], "/nonexistent/never.gif", kImageWriteGif, 256), 0) << i;
    kvp::GlobalFree(bad[i]);
  }
  EXPECT_EQ(IMG_hDecrease(0, 256, 1), 0u);
  EXPECT_EQ(IMG_hDecrease(0xDEADBEEF, 256, 1), 0u);
}

// The mean error per channel of the picture mapped to the nearest entry of
// the block's colour table, without diffusion.
double MeanErrorOfNearest(KVHGLOBAL block, const Rgb& source) {
  const auto* base = static_cast<const uint8_t*>(kvp::GlobalLock(block));
  const auto* h = reinterpret_cast<const KvBitmapInfoHeader*>(base);
  const auto* table = reinterpret_cast<const KvRgbQuad*>(base + h->biSize);
  double sum = 0;
  for (size_t i = 0; i < source.bytes.size(); i += 3) {
    long best = -1;
    int bestIndex = 0;
    for (uint32_t c = 0; c < h->biClrUsed; ++c) {
      const long dr = source.bytes[i] - table[c].rgbRed,
                 dg = source.bytes[i + 1] - table[c].rgbGreen,
                 db = source.bytes[i + 2] - table[c].rgbBlue;
      const long d = dr * dr + dg * dg + db * db;
      if (best < 0 || d < best) {
        best = d;
        bestIndex = static_cast<int>(c);
      }
    }
    sum += std::abs(source.bytes[i] - table[bestIndex].rgbRed) +
           std::abs(source.bytes[i + 1] - table[bestIndex].rgbGreen) +
           std::abs(source.bytes[i + 2] - table[bestIndex].rgbBlue);
  }
  kvp::GlobalUnlock(block);
  return sum / static_cast<double>(source.bytes.size());
}

// Our reduction against libjpeg's two-pass quantiser and PIL's median cut
// on the same picture: the palette has exactly the colours asked for; with
// diffusion (as djpeg dithers) the mean error per channel stays within 15%
// of djpeg's, and the palette itself, mapped without diffusion as PIL's
// quantize maps, within 25% of PIL's.
TEST(Decrease, ErrorWithinABoundOfDjpegAndPil) {
  kvimgtest::RequireTool("cjpeg");
  kvimgtest::RequireTool("djpeg");
  ASSERT_EQ(std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null"), 0)
      << "python3-pil is missing: run scripts/install-deps.sh";
  kvtest::TempDir dir;
  const Rgb picture = kvimgtest::TestPicture(160, 120, 7);
  const std::string ppm = dir.File("in.ppm");
  kvimgtest::WritePnm(ppm, picture, false);
  // djpeg quantises a decoded JPEG: quantise ours from the same decoded
  // picture, so that the three start from identical pixels.
  const std::string jpeg = dir.File("in.jpg");
  ASSERT_TRUE(kvimgtest::Run("cjpeg -quality 100 -outfile " + jpeg + " " + ppm));
  const std::string decoded = dir.File("decoded.ppm");
  ASSERT_TRUE(kvimgtest::Run("djpeg -pnm -outfile " + decoded + " " + jpeg));
  const Rgb source = kvimgtest::ReadPnm(decoded);
  ASSERT_EQ(source.bytes.size(), picture.bytes.size());
  for (const int colours : {16, 64, 256}) {
    const std::string djpegOut = dir.File("djpeg" + std::to_string(colours) + ".ppm");
    ASSERT_TRUE(kvimgtest::Run("djpeg -colors " + std::to_string(colours) + " -pnm -outfile " +
                               djpegOut + " " + jpeg));
    const std::string pilOut = dir.File("pil" + std::to_string(colours) + ".ppm");
    ASSERT_TRUE(
        kvimgtest::Run("/usr/bin/python3 -c \"from PIL import Image; "
                       "Image.open('" +
                       decoded + "').quantize(" + std::to_string(colours) +
                       ").convert('RGB').save('" + pilOut + "')\""));
    const KVHGLOBAL image = kvimgtest::PackedBitmap24(source);
    Reduced reduced{IMG_hDecrease(image, colours, 1)};
    kvp::GlobalFree(image);
    ASSERT_NE(reduced.block, 0u);
    EXPECT_EQ(HeaderOf(reduced.block).biClrUsed, static_cast<uint32_t>(colours));
    const double ours = kvimgtest::MeanError(kvimgtest::ExpandPacked8(reduced.block), source);
    const double oursUndithered = MeanErrorOfNearest(reduced.block, source);
    const double djpeg = kvimgtest::MeanError(kvimgtest::ReadPnm(djpegOut), source);
    const double pil = kvimgtest::MeanError(kvimgtest::ReadPnm(pilOut), source);
    std::printf("%3d colours: mean error ours %.2f (undithered %.2f), djpeg %.2f, PIL %.2f\n",
                colours, ours, oursUndithered, djpeg, pil);
    EXPECT_LE(ours, 1.15 * djpeg) << colours;
    EXPECT_LE(oursUndithered, 1.25 * pil) << colours;
  }
}

}  // namespace
