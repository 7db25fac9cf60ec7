// Recognition from the first bytes, and through the host's opener.
#include "image/read/recognise.h"

#include <gtest/gtest.h>

#include <cstring>

#include "kv/host_exports.h"
#include "tests/image/image_support.h"

namespace {

using kvimg::RecogniseBytes;

std::vector<uint8_t> Bytes(const std::string& start) {
  std::vector<uint8_t> bytes(32, 'x');
  std::memcpy(bytes.data(), start.data(), start.size());
  return bytes;
}

TEST(Recognition, GifNeedsSevenOrNineThenA) {
  EXPECT_EQ(RecogniseBytes(Bytes("GIF87a").data(), 32).type, kImageTypeGif);
  EXPECT_EQ(RecogniseBytes(Bytes("GIF89a").data(), 32).type, kImageTypeGif);
  EXPECT_EQ(RecogniseBytes(Bytes("GIF88a").data(), 32).type, kImageTypeUnknown);
  EXPECT_EQ(RecogniseBytes(Bytes("GIF87b").data(), 32).type, kImageTypeUnknown);
}

TEST(Recognition, TiffInBothByteOrders) {
  const kvimg::Recognition big = RecogniseBytes(Bytes(std::string("MM\0*", 4)).data(), 32);
  EXPECT_EQ(big.type, kImageTypeTiff);
  EXPECT_TRUE(big.bigEndian);
  const kvimg::Recognition little = RecogniseBytes(Bytes(std::string("II*\0", 4)).data(), 32);
  EXPECT_EQ(little.type, kImageTypeTiff);
  EXPECT_FALSE(little.bigEndian);
  // "II" with the big-endian 42 is not TIFF.
  EXPECT_EQ(RecogniseBytes(Bytes(std::string("II\0*", 4)).data(), 32).type, kImageTypeUnknown);
}

TEST(Recognition, JpegMarkerOnlyAtZeroOrTwelve) {
  for (size_t offset = 0; offset < 30; ++offset) {
    std::vector<uint8_t> bytes(32, 0);
    bytes[offset] = 0xFF;
    bytes[offset + 1] = 0xD8;
    const kvimg::Recognition found = RecogniseBytes(bytes.data(), bytes.size());
    if (offset == 0 || offset == 12) {
      EXPECT_EQ(found.type, kImageTypeJpeg) << offset;
      EXPECT_EQ(found.jpegOffset, offset);
    } else {
      EXPECT_EQ(found.type, kImageTypeUnknown) << offset;
    }
  }
  // The marker at 30 lies partly outside the bytes searched.
  std::vector<uint8_t> late(32, 0);
  late[30] = 0xFF;
  late[31] = 0xD8;
  EXPECT_EQ(RecogniseBytes(late.data(), late.size()).type, kImageTypeUnknown);
}

TEST(Recognition, FewerThan32BytesAreUnknown) {
  const std::vector<uint8_t> gif = Bytes("GIF89a");
  EXPECT_EQ(RecogniseBytes(gif.data(), 31).type, kImageTypeUnknown);
  EXPECT_EQ(RecogniseBytes(nullptr, 32).type, kImageTypeUnknown);
}

class RecognitionFiles : public ::testing::Test {
 protected:
  kvtest::TempDir dir;
};

TEST_F(RecognitionFiles, ThroughTheHostsOpener) {
  const std::string gif = dir.File("picture.gif");
  kvimgtest::WriteFileBytes(gif, std::string("GIF89a") + std::string(40, '\0'));
  EXPECT_EQ(nIMG_TypeImage(0, gif.c_str(), 0), kImageTypeGif);
  const std::string prefixed = dir.File("prefixed.jpg");
  kvimgtest::WriteFileBytes(prefixed, std::string(12, 'p') + "\xFF\xD8" + std::string(40, '\0'));
  EXPECT_EQ(nIMG_TypeImage2(0, prefixed.c_str(), 0, 7), kImageTypeJpeg);
  const std::string shortFile = dir.File("short.gif");
  kvimgtest::WriteFileBytes(shortFile, "GIF89a");
  EXPECT_EQ(nIMG_TypeImage(0, shortFile.c_str(), 0), kImageTypeUnknown);
  EXPECT_EQ(nIMG_TypeImage(0, dir.File("missing.gif").c_str(), 0), kImageTypeUnknown);
  EXPECT_EQ(nIMG_TypeImage(0, "", 0), kImageTypeNone);
  // A kind this host cannot open.
  EXPECT_EQ(nIMG_TypeImage(0, gif.c_str(), 3), kImageTypeUnknown);
}

TEST_F(RecognitionFiles, KindZeroNamesAreUpperCasedAndTheSourceRewound) {
  const std::string path = dir.File("mixed.gif");
  kvimgtest::WriteFileBytes(path, std::string("GIF87a") + std::string(40, 'z'));
  ImageSource source{};
  ASSERT_NE(BMP_bOpenExport(&source, path.c_str(), -1, 0, 0), 0);
  kvimg::ByteSource bytes(source);
  EXPECT_EQ(kvimg::RecogniseSource(bytes).type, kImageTypeGif);
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(std::string(source.name), upper);
  ASSERT_TRUE(bytes.Rewind());
  char first[6];
  ASSERT_TRUE(bytes.ReadExact(first, 6));
  EXPECT_EQ(std::string(first, 6), "GIF87a");
  source.close(&source);
}

TEST_F(RecognitionFiles, HostSourceOperations) {
  const std::string path = dir.File("ten.bin");
  kvimgtest::WriteFileBytes(path, "0123456789");
  ImageSource source{};
  ASSERT_NE(BMP_bOpenExport(&source, path.c_str(), -1, 0, 0), 0);
  EXPECT_EQ(source.kind, 0);
  EXPECT_EQ(source.size(&source), 10);
  char buffer[16] = {};
  EXPECT_EQ(source.readSome(&source, buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  // The all-or-nothing read fails when fewer bytes remain.
  EXPECT_EQ(source.read(&source, buffer, 7), 0);
  EXPECT_EQ(source.seek(&source, 8, 0), 8);
  EXPECT_EQ(source.readSome(&source, buffer, 16), 2);
  EXPECT_EQ(source.seek(&source, -1, 0), -1);
  EXPECT_EQ(source.rewind(&source, 0), 0);
  EXPECT_NE(source.read(&source, buffer, 10), 0);
  source.close(&source);
  // After close the operations fail instead of reaching a stale handle.
  EXPECT_EQ(source.readSome(&source, buffer, 1), -1);
  EXPECT_EQ(source.size(&source), -1);
  source.close(&source);
  EXPECT_EQ(BMP_bOpenExport(&source, std::string(300, 'a').c_str(), -1, 0, 0), 0);
  EXPECT_EQ(BMP_bOpenExport(&source, nullptr, -1, 0, 0), 0);
  EXPECT_EQ(BMP_bOpenExport(nullptr, path.c_str(), -1, 0, 0), 0);
}

}  // namespace
