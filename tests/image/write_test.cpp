// GIF and JPEG writing, read back by giflib, PIL and libjpeg-turbo.
#include <gtest/gtest.h>

#include <cstring>

#include "image/write/gif_writer.h"
#include "image/write/jpeg_writer.h"
#include "platform/kernel/fault.h"
#include "tests/image/image_support.h"

namespace {

using kvimgtest::Rgb;

bool Exists(const std::string& path) {
  return std::ifstream(path).good();
}

// A packed palette bitmap: `bits` deep, the given table, pixel indexes from
// `index(x, y)`.
template <typename Index>
KVHGLOBAL PackedPalette(uint32_t width, uint32_t height, unsigned bits,
                        const std::vector<KvRgbQuad>& table, Index index) {
  const uint32_t stride = kvimg::RowStride(width, bits);
  const size_t bytes = 40 + 4 * table.size() + size_t{stride} * height;
  const KVHGLOBAL block = kvp::GlobalAlloc(kvp::GHND, bytes);
  auto* base = static_cast<uint8_t*>(kvp::GlobalLock(block));
  auto* h = reinterpret_cast<KvBitmapInfoHeader*>(base);
  h->biSize = 40;
  h->biWidth = static_cast<int32_t>(width);
  h->biHeight = static_cast<int32_t>(height);
  h->biPlanes = 1;
  h->biBitCount = static_cast<uint16_t>(bits);
  h->biSizeImage = stride * height;
  h->biClrUsed = static_cast<uint32_t>(table.size());
  std::memcpy(base + 40, table.data(), 4 * table.size());
  uint8_t* rows = base + 40 + 4 * table.size();
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = rows + size_t{height - 1 - y} * stride;
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned value = index(x, y);
      const unsigned perByte = 8 / bits;
      const unsigned shift = 8 - bits * (x % perByte + 1);
      row[x / perByte] = static_cast<uint8_t>(row[x / perByte] | value << shift);
    }
  }
  kvp::GlobalUnlock(block);
  return block;
}

// The writers' refusals and failures, checked without any decoder.
class WriterFailures : public ::testing::Test {
 protected:
  kvtest::TempDir dir;
};

// Output read back by the independent decoders, which must be installed.
class Writers : public WriterFailures {
 protected:
  void SetUp() override {
    kvimgtest::RequireTool("gif2rgb");
    kvimgtest::RequireTool("djpeg");
    ASSERT_EQ(std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null"), 0)
        << "python3-pil is missing: run scripts/install-deps.sh";
  }

  // The GIF as giflib decodes it (RGB triples, top row first).
  Rgb Gif2Rgb(const std::string& gif, uint32_t width, uint32_t height) {
    const std::string out = gif + ".rgb";
    kvimgtest::Run("gif2rgb -1 -o " + out + " " + gif);
    return Rgb{width, height, [&] {
                 const std::string bytes = kvimgtest::ReadFileBytes(out);
                 return std::vector<uint8_t>(bytes.begin(), bytes.end());
               }()};
  }

  // PIL's reading: the palette indexes top row first, as one hex string,
  // and the file's size and palette length.
  std::string PilIndexes(const std::string& gif) {
    const std::string out = gif + ".pil";
    kvimgtest::Run("/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + gif +
                   "'); assert im.mode == 'P', im.mode; open('" + out +
                   "', 'wb').write(im.tobytes())\"");
    return kvimgtest::ReadFileBytes(out);
  }
};

TEST_F(Writers, GifDecodesInGiflibAndPilToExactlyOurReducedImage) {
  // Noise at 256 colours fills the 4096-code table many times over.
  for (const auto& [width, height, colours] :
       std::vector<std::tuple<uint32_t, uint32_t, int>>{{301, 203, 256}, {64, 48, 16}, {7, 5, 8}}) {
    Rgb picture = kvimgtest::TestPicture(width, height, width);
    uint32_t state = 99;
    for (uint8_t& byte : picture.bytes) {
      state = state * 1103515245u + 12345u;
      byte = static_cast<uint8_t>(byte ^ ((state >> 16) & 0x3F));
    }
    const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
    const std::string gif = dir.File("out" + std::to_string(colours) + ".gif");
    ASSERT_EQ(IMG_bConvert(image, gif.c_str(), kImageWriteGif, colours), 1);
    const KVHGLOBAL reduced = IMG_hDecrease(image, colours, 1);
    ASSERT_NE(reduced, 0u);
    const Rgb expected = kvimgtest::ExpandPacked8(reduced);
    EXPECT_EQ(Gif2Rgb(gif, width, height).bytes, expected.bytes) << colours;
    const std::string indexes = PilIndexes(gif);
    const auto* base = static_cast<const uint8_t*>(kvp::GlobalLock(reduced));
    std::string ours;
    const uint32_t stride = kvimg::RowStride(width, 8);
    for (uint32_t y = 0; y < height; ++y)
      ours.append(
          reinterpret_cast<const char*>(base + 40 + 4 * colours + size_t{height - 1 - y} * stride),
          width);
    kvp::GlobalUnlock(reduced);
    EXPECT_EQ(indexes, ours) << colours;
    const std::string bytes = kvimgtest::ReadFileBytes(gif);
    EXPECT_EQ(bytes.substr(0, 6), "GIF87a");
    EXPECT_EQ(bytes.back(), ';');
    kvp::GlobalFree(reduced);
    kvp::GlobalFree(image);
  }
}

TEST_F(Writers, TwoColourBitmapHasATwoEntryTableAndCodeSizeTwo) {
  const std::vector<KvRgbQuad> table = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  for (const unsigned bits : {1u, 8u}) {
    const KVHGLOBAL block = PackedPalette(
        19, 11, bits, table, [](uint32_t x, uint32_t y) { return (x * y + x) % 3 == 0 ? 1u : 0u; });
    const std::string gif = dir.File("two" + std::to_string(bits) + ".gif");
    {
      const kvimg::PackedBitmap bitmap(block);
      ASSERT_TRUE(kvimg::WriteGifFile(bitmap, gif.c_str()));
    }
    const std::string bytes = kvimgtest::ReadFileBytes(gif);
    EXPECT_EQ(static_cast<uint8_t>(bytes[10]), 0x80);  // table of 2^1 entries
    // Header 13, table 6, descriptor 10, then the minimum code size.
    EXPECT_EQ(bytes[13 + 6 + 10], 2);
    const Rgb decoded = Gif2Rgb(gif, 19, 11);
    for (uint32_t y = 0; y < 11; ++y)
      for (uint32_t x = 0; x < 19; ++x)
        EXPECT_EQ(decoded.bytes[(y * 19 + x) * 3], (x * y + x) % 3 == 0 ? 255 : 0);
    kvp::GlobalFree(block);
  }
  // The exported writer reduces first, and 2 colours is below its count.
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(kvimgtest::TestPicture(8, 8));
  const std::string refused = dir.File("refused.gif");
  EXPECT_EQ(IMG_bConvert(image, refused.c_str(), kImageWriteGif, 2), 0);
  EXPECT_FALSE(Exists(refused));
  EXPECT_EQ(IMG_bConvert(image, refused.c_str(), 3, 75), 0);
  EXPECT_FALSE(Exists(refused));
  kvp::GlobalFree(image);
}

TEST_F(WriterFailures, GifWriterRefusesIndexesPastTheTable) {
  const std::vector<KvRgbQuad> table = {{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}};
  const KVHGLOBAL block =
      PackedPalette(4, 4, 8, table, [](uint32_t x, uint32_t y) { return x == 3 ? 7u : 1u; });
  const std::string gif = dir.File("bad.gif");
  const kvimg::PackedBitmap bitmap(block);
  EXPECT_FALSE(kvimg::WriteGifFile(bitmap, gif.c_str()));
  EXPECT_FALSE(Exists(gif));
  kvp::GlobalFree(block);
}

TEST_F(Writers, JpegAtQualitySeventyFiveDecodesAboveThirtyDecibels) {
  const Rgb picture = kvimgtest::TestPicture(120, 90, 3);
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
  const std::string jpeg = dir.File("out.jpg");
  ASSERT_EQ(IMG_bConvert(image, jpeg.c_str(), kImageWriteJpeg, 75), 1);
  const std::string ppm = dir.File("out.ppm");
  ASSERT_TRUE(kvimgtest::Run("djpeg -pnm -outfile " + ppm + " " + jpeg));
  const double psnr = kvimgtest::Psnr(kvimgtest::ReadPnm(ppm), picture);
  std::printf("PSNR at quality 75: %.2f dB\n", psnr);
  EXPECT_GT(psnr, 30.0);
  kvp::GlobalFree(image);
}

TEST_F(Writers, JpegFromPaletteDepthsLooksColoursUp) {
  const std::vector<KvRgbQuad> table = {
      {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
  for (const unsigned bits : {1u, 4u, 8u}) {
    const unsigned count = bits == 1 ? 2 : 4;
    const std::vector<KvRgbQuad> used(table.begin(), table.begin() + count);
    // Blocks of one colour, 16 pixels wide, so that compression keeps them.
    const KVHGLOBAL block = PackedPalette(
        64, 32, bits, used, [count](uint32_t x, uint32_t) { return (x / 16) % count; });
    const std::string jpeg = dir.File("p" + std::to_string(bits) + ".jpg");
    ASSERT_EQ(IMG_bConvert(block, jpeg.c_str(), kImageWriteJpeg, 95), 1) << bits;
    const std::string ppm = jpeg + ".ppm";
    ASSERT_TRUE(kvimgtest::Run("djpeg -pnm -outfile " + ppm + " " + jpeg));
    const Rgb decoded = kvimgtest::ReadPnm(ppm);
    ASSERT_EQ(decoded.bytes.size(), 64u * 32 * 3);
    Rgb expected{64, 32, std::vector<uint8_t>(64 * 32 * 3)};
    for (uint32_t y = 0; y < 32; ++y)
      for (uint32_t x = 0; x < 64; ++x) {
        const KvRgbQuad& c = used[(x / 16) % count];
        expected.At(x, y)[0] = c.rgbRed;
        expected.At(x, y)[1] = c.rgbGreen;
        expected.At(x, y)[2] = c.rgbBlue;
      }
    // cjpeg compresses the looked-up picture with the same defaults and
    // quality: both decode to the same pixels.
    const std::string reference = dir.File("ref" + std::to_string(bits));
    kvimgtest::WritePnm(reference + ".ppm", expected, false);
    ASSERT_TRUE(kvimgtest::Run("cjpeg -quality 95 -outfile " + reference + ".jpg " + reference +
                               ".ppm && djpeg -pnm -outfile " + reference + ".out.ppm " +
                               reference + ".jpg"));
    EXPECT_EQ(decoded.bytes, kvimgtest::ReadPnm(reference + ".out.ppm").bytes) << bits;
    kvp::GlobalFree(block);
  }
}

TEST_F(WriterFailures, JpegRefusalsLeaveAnExistingFileAlone) {
  const std::string existing = dir.File("keep.jpg");
  kvimgtest::WriteFileBytes(existing, "precious");
  kvimgtest::BoxWatch boxes;
  // A 16-bit bitmap.
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(kvimgtest::TestPicture(8, 8));
  static_cast<KvBitmapInfoHeader*>(kvp::GlobalLock(image))->biBitCount = 16;
  kvp::GlobalUnlock(image);
  EXPECT_EQ(IMG_bConvert(image, existing.c_str(), kImageWriteJpeg, 75), 0);
  EXPECT_EQ(boxes.text, "Incorrect BMP or not supported");
  EXPECT_EQ(kvimgtest::ReadFileBytes(existing), "precious");
  kvp::GlobalFree(image);
  // An index past the colour table.
  const std::vector<KvRgbQuad> table = {{0, 0, 0, 0}, {9, 9, 9, 0}};
  const KVHGLOBAL palette =
      PackedPalette(4, 4, 4, table, [](uint32_t x, uint32_t) { return x == 2 ? 9u : 0u; });
  boxes.count = 0;
  EXPECT_EQ(IMG_bConvert(palette, existing.c_str(), kImageWriteJpeg, 75), 0);
  EXPECT_EQ(boxes.count, 1);
  EXPECT_EQ(kvimgtest::ReadFileBytes(existing), "precious");
  kvp::GlobalFree(palette);
}

TEST_F(WriterFailures, AFailedWriteRemovesThePartialFile) {
  // Noise compresses badly: the JPEG takes several 4096-byte writes.
  kvimgtest::Rgb picture = kvimgtest::TestPicture(200, 150, 5);
  uint32_t state = 5;
  for (uint8_t& byte : picture.bytes) byte = static_cast<uint8_t>(state = state * 69069u + 1);
  const KVHGLOBAL image = kvimgtest::PackedBitmap24(picture);
  const std::string jpeg = dir.File("partial.jpg");
  const std::string gif = dir.File("partial.gif");
  kvimgtest::BoxWatch boxes;
  for (const unsigned nth : {1u, 3u}) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Write, nth, 112 /* disk full */);
    EXPECT_EQ(IMG_bConvert(image, jpeg.c_str(), kImageWriteJpeg, 75), 0) << nth;
    EXPECT_GE(kvp::fault::Calls(kvp::fault::Op::Write), nth);
    EXPECT_FALSE(Exists(jpeg)) << nth;
  }
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Write, 1, 112);
  EXPECT_EQ(IMG_bConvert(image, gif.c_str(), kImageWriteGif, 256), 0);
  EXPECT_FALSE(Exists(gif));
  kvp::fault::Reset();
  kvp::GlobalFree(image);
}

TEST(GifLzw, CodeWidthAndClearFollowTheDecoder) {
  // 2-bit code size: clear 4, end 5, first codes 3 bits wide.
  const std::vector<uint8_t> data = kvimg::EncodeGifLzw({0, 0, 0, 0}, 2);
  // Codes: clear(4) 0 6 0 at 3 bits, then the end code 5 at 4 bits: the
  // decoder's table reached 8 entries with the last 0. Least significant
  // bit first.
  ASSERT_GE(data.size(), 3u);
  EXPECT_EQ(data[0], 2);  // one sub-block of two bytes
  EXPECT_EQ(data[1], 0x84);
  EXPECT_EQ(data[2], 0x51);
  EXPECT_EQ(data.back(), 0);
  EXPECT_EQ(kvimg::GifColourBits(2), 1u);
  EXPECT_EQ(kvimg::GifColourBits(3), 2u);
  EXPECT_EQ(kvimg::GifColourBits(17), 5u);
  EXPECT_EQ(kvimg::GifColourBits(256), 8u);
}

}  // namespace
