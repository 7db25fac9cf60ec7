// JPEG reading against djpeg, with the record's layout, the flags, the
// messages and the size cap.
#include <gtest/gtest.h>

#include <cstring>

#include "image/frame/message_table.h"
#include "image/read/progress.h"
#include "tests/image/image_support.h"

namespace {

using kvimgtest::Rgb;

class JpegRead : public ::testing::Test {
 protected:
  void SetUp() override {
    kvimgtest::RequireTool("cjpeg");
    kvimgtest::RequireTool("djpeg");
  }

  // A JPEG made by cjpeg from the picture (grey: its red channel).
  std::string MakeJpeg(const Rgb& picture, bool grey, const std::string& name) {
    const std::string pnm = dir.File(name + (grey ? ".pgm" : ".ppm"));
    kvimgtest::WritePnm(pnm, picture, grey);
    const std::string jpeg = dir.File(name + ".jpg");
    kvimgtest::Run("cjpeg -quality 85 -outfile " + jpeg + " " + pnm);
    return jpeg;
  }

  Rgb Djpeg(const std::string& jpeg) {
    const std::string out = jpeg + ".pnm";
    kvimgtest::Run("djpeg -pnm -outfile " + out + " " + jpeg);
    return kvimgtest::ReadPnm(out);
  }

  // The record's pixels as top-down triples (grey through its table).
  static Rgb Pixels(const ImageRecord* record) {
    const KvBitmapInfoHeader h = record->header;
    Rgb picture{static_cast<uint32_t>(h.biWidth), static_cast<uint32_t>(h.biHeight), {}};
    picture.bytes.resize(size_t{picture.width} * picture.height * 3);
    const auto* table = reinterpret_cast<const KvRgbQuad*>(
        reinterpret_cast<const uint8_t*>(record) + sizeof(ImageRecord));
    const uint32_t stride = kvimg::RowStride(picture.width, h.biBitCount);
    for (uint32_t y = 0; y < picture.height; ++y) {
      const uint8_t* row = record->pixels + size_t{picture.height - 1 - y} * stride;
      for (uint32_t x = 0; x < picture.width; ++x) {
        uint8_t* p = picture.At(x, y);
        if (h.biBitCount == 24) {
          p[0] = row[3 * x + 2];
          p[1] = row[3 * x + 1];
          p[2] = row[3 * x];
        } else {
          p[0] = table[row[x]].rgbRed;
          p[1] = table[row[x]].rgbGreen;
          p[2] = table[row[x]].rgbBlue;
        }
      }
    }
    return picture;
  }

  kvtest::TempDir dir;
};

TEST_F(JpegRead, ColourAndGreyArePixelExactAgainstDjpeg) {
  // Odd widths: rows padded to 4 bytes in the bitmap.
  for (const bool grey : {false, true}) {
    const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(37, 23), grey, grey ? "g" : "c");
    ImageRecord* record = pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadSilent);
    ASSERT_NE(record, nullptr) << kvimgtest::LastMessage();
    const KvBitmapInfoHeader h = record->header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 37);
    EXPECT_EQ(h.biHeight, 23);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, grey ? 8 : 24);
    const uint32_t stride = grey ? 40 : 112;
    EXPECT_EQ(h.biSizeImage, stride * 23);
    EXPECT_EQ(kvp::GlobalSize(kvp::GlobalHandle(record)),
              sizeof(ImageRecord) + 4 + (grey ? 1024 : 0));
    EXPECT_GE(kvp::GlobalSize(kvp::GlobalHandle(record->pixels)), h.biSizeImage + 1);
    if (grey) {
      const auto* table = reinterpret_cast<const KvRgbQuad*>(
          reinterpret_cast<const uint8_t*>(record) + sizeof(ImageRecord));
      EXPECT_EQ(table[200].rgbRed, 200);
      EXPECT_EQ(table[200].rgbBlue, 200);
    }
    const Rgb expected = Djpeg(jpeg);
    const Rgb ours = Pixels(record);
    EXPECT_EQ(ours.bytes, expected.bytes) << (grey ? "grey" : "colour");
    kvimgtest::FreeRecord(record);
  }
}

TEST_F(JpegRead, BehindATwelveBytePrefix) {
  const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(16, 9), false, "p");
  const std::string prefixed = dir.File("prefixed.jpg");
  kvimgtest::WriteFileBytes(prefixed, std::string(12, '\x01') + kvimgtest::ReadFileBytes(jpeg));
  EXPECT_EQ(nIMG_TypeImage(0, prefixed.c_str(), 0), kImageTypeJpeg);
  ImageRecord* record = pstIMG_LectureImage(0, nullptr, prefixed.c_str(), 0, kImageReadSilent);
  ASSERT_NE(record, nullptr) << kvimgtest::LastMessage();
  EXPECT_EQ(Pixels(record).bytes, Djpeg(jpeg).bytes);
  kvimgtest::FreeRecord(record);
}

TEST_F(JpegRead, HeaderOnlyHasNoPixelBlock) {
  const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(20, 10), true, "h");
  const size_t before = kvp::GlobalLiveBlocks();
  ImageRecord* record =
      pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadHeaderOnly | kImageReadSilent);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(record->pixels), nullptr);  // a copy: the field is unaligned
  const KvBitmapInfoHeader header = record->header;
  EXPECT_EQ(header.biWidth, 20);
  EXPECT_EQ(header.biBitCount, 8);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), before + 1);
  kvimgtest::FreeRecord(record);
}

TEST_F(JpegRead, TruncatedAndCorruptFilesReportAndFreeEverything) {
  const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(64, 64), false, "t");
  const std::string whole = kvimgtest::ReadFileBytes(jpeg);
  struct Case {
    std::string name, bytes;
    unsigned message;
  };
  std::string noComponents = whole;
  // The frame header's component count (SOF0: FF C0, length, precision,
  // height, width, count).
  const size_t sof = noComponents.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  noComponents[sof + 9] = 0;
  const std::vector<Case> cases = {
      {"cut-in-data.jpg", whole.substr(0, whole.size() / 2), 1024},
      {"cut-in-header.jpg", whole.substr(0, 40), 1018},
      {"no-components.jpg", noComponents, 1054},  // "I'm confused about the image width"
  };
  for (const Case& c : cases) {
    const std::string path = dir.File(c.name);
    kvimgtest::WriteFileBytes(path, c.bytes);
    const size_t before = kvp::GlobalLiveBlocks();
    kvimgtest::BoxWatch boxes;
    EXPECT_EQ(pstIMG_LectureImage(0, nullptr, path.c_str(), 0, 0), nullptr) << c.name;
    EXPECT_EQ(kvp::GlobalLiveBlocks(), before) << c.name;
    EXPECT_EQ(boxes.count, 1) << c.name;
    EXPECT_EQ(boxes.caption, "erreur");
    EXPECT_EQ(kvimgtest::LastMessage(), boxes.text);
    std::string upper = path;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    const std::string expected = c.message == 1018 ? "Header of file " + upper + " is incorrect."
                                                   : std::string(kvimg::MessageText(c.message) + 1);
    EXPECT_EQ(boxes.text, expected) << c.name;
  }
}

TEST_F(JpegRead, SilentReadsShowNoBoxAndTheMessageLastsUntilTheNextRead) {
  const std::string missing = dir.File("missing.jpg");
  kvimgtest::BoxWatch boxes;
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, missing.c_str(), 0, kImageReadSilent), nullptr);
  EXPECT_EQ(boxes.count, 0);
  EXPECT_EQ(kvimgtest::LastMessage(), missing + " has an unknown format");
  // Cut by the caller's length, the zero at that position.
  char cut[8];
  std::memset(cut, 'x', sizeof cut);
  pszIMG_GetMessage(0, cut, 5);
  EXPECT_EQ(std::string(cut), missing.substr(0, 5));
  const std::string good = MakeJpeg(kvimgtest::TestPicture(8, 8), true, "ok");
  ImageRecord* record = pstIMG_LectureImage(0, nullptr, good.c_str(), 0, kImageReadSilent);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(kvimgtest::LastMessage(), "");
  kvimgtest::FreeRecord(record);
  // An unknown format is message 1036 too, with the (upper-cased) name.
  const std::string text = dir.File("text.jpg");
  kvimgtest::WriteFileBytes(text, std::string(64, 'a'));
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, text.c_str(), 0, kImageReadSilent), nullptr);
  EXPECT_NE(kvimgtest::LastMessage().find("has an unknown format"), std::string::npos);
}

TEST_F(JpegRead, HugeDimensionsAreRefusedBeforeAllocating) {
  const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(16, 16), false, "big");
  std::string bytes = kvimgtest::ReadFileBytes(jpeg);
  const size_t sof = bytes.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  // Height and width 60000: 60000 x 180000 bytes is above the cap.
  bytes[sof + 5] = static_cast<char>(0xEA);
  bytes[sof + 6] = static_cast<char>(0x60);
  bytes[sof + 7] = static_cast<char>(0xEA);
  bytes[sof + 8] = static_cast<char>(0x60);
  const std::string path = dir.File("huge.jpg");
  kvimgtest::WriteFileBytes(path, bytes);
  const size_t before = kvp::GlobalLiveBlocks();
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, path.c_str(), 0, kImageReadSilent), nullptr);
  EXPECT_EQ(kvp::GlobalLiveBlocks(), before);
  std::string upper = path;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(kvimgtest::LastMessage(), "Incorrect data found in file " + upper + ".");
}

struct ProgressLog {
  std::vector<unsigned> percents;
  unsigned cancelAt = 101;
};

bool LogProgress(unsigned percent, void* context) {
  auto* log = static_cast<ProgressLog*>(context);
  log->percents.push_back(percent);
  return percent < log->cancelAt;
}

TEST_F(JpegRead, ProgressCountsInThirtyTwoBitsAndCancelStopsSilently) {
  // 700 rows: rows x 100 passes 65535 near the end.
  const std::string jpeg = MakeJpeg(kvimgtest::TestPicture(8, 700), true, "tall");
  ProgressLog log;
  kvimg::SetProgressSink(&LogProgress, &log);
  ImageRecord* record = pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadSilent);
  ASSERT_NE(record, nullptr);
  kvimgtest::FreeRecord(record);
  ASSERT_EQ(log.percents.size(), 101u);
  for (unsigned i = 0; i < log.percents.size(); ++i) EXPECT_EQ(log.percents[i], i);

  ProgressLog cancel;
  cancel.cancelAt = 40;
  kvimg::SetProgressSink(&LogProgress, &cancel);
  const size_t before = kvp::GlobalLiveBlocks();
  kvimgtest::BoxWatch boxes;
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, 0), nullptr);
  kvimg::SetProgressSink(nullptr, nullptr);
  EXPECT_EQ(cancel.percents.back(), 40u);
  EXPECT_EQ(boxes.count, 0);
  EXPECT_EQ(kvimgtest::LastMessage(), "");
  EXPECT_EQ(kvp::GlobalLiveBlocks(), before);
}

TEST(Progress, PercentNeverWrapsOrDividesByZero) {
  EXPECT_EQ(kvimg::ProgressPercent(700, 700), 100u);
  EXPECT_EQ(kvimg::ProgressPercent(656, 700), 93u);
  EXPECT_EQ(kvimg::ProgressPercent(32768, 65536), 50u);
  EXPECT_EQ(kvimg::ProgressPercent(65535, 65536), 99u);
  EXPECT_EQ(kvimg::ProgressPercent(0, 0), 100u);
  EXPECT_EQ(kvimg::ProgressPercent(UINT32_MAX, UINT32_MAX), 100u);
}

}  // namespace
