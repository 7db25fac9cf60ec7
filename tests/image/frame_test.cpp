// The frame's parts: the image builder, messages, the ini settings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image/frame/library_state.h"
#include "image/frame/report.h"
#include "image/frame/wait_settings.h"
#include "platform/kernel/profile.h"
#include "tests/image/image_support.h"

namespace {

TEST(ImageBuilder, RefusesBadSizesBeforeAllocating) {
  kvimgtest::BoxWatch boxes;
  const size_t before = kvp::GlobalLiveBlocks();
  struct Case {
    int64_t width, height;
    unsigned bits;
    unsigned message;
  };
  const Case cases[] = {
      {16384, 16384, 24, 0},     // exactly the cap
      {16384, 16385, 24, 1032},  // one row past it
      {0, 10, 8, 1032},
      {10, -1, 8, 1032},
      {int64_t{1} << 31, 1, 8, 1032},
      {0xFFFFFFFFll, 0xFFFFFFFFll, 24, 1032},
      {10, 10, 16, 1012},
  };
  for (const Case& c : cases) {
    kvimg::ImageBuilder builder;
    const bool began = builder.Begin(c.width, c.height, c.bits, "N");
    EXPECT_EQ(began, c.message == 0) << c.width << "x" << c.height;
    if (!began) {
      char text[400] = {};
      pszIMG_GetMessage(0, text, 399);
      EXPECT_EQ(std::string(text),
                c.message == 1032 ? "Incorrect data found in file N." : "Incorrect pixel per bit");
    }
  }
  EXPECT_EQ(kvp::GlobalLiveBlocks(), before);
}

TEST(ImageBuilder, PixelBlockIsClearedAndRowsRunBottomUp) {
  // A block of the same size filled and freed first, so that a block that
  // is not cleared would show its bytes.
  const KVHGLOBAL dirty = kvp::GlobalAlloc(kvp::GMEM_MOVEABLE, 12 * 3 + 1);
  std::memset(kvp::GlobalLock(dirty), 0xAB, 12 * 3 + 1);
  kvp::GlobalUnlock(dirty);
  kvp::GlobalFree(dirty);
  kvimg::ImageBuilder builder;
  ASSERT_TRUE(builder.Begin(9, 3, 8, "N"));
  EXPECT_EQ(builder.Stride(), 12u);
  ASSERT_TRUE(builder.AllocatePixels());
  for (size_t i = 0; i < 37; ++i) EXPECT_EQ(builder.Pixels()[i], 0) << i;
  const uint8_t top[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_TRUE(builder.PutRowFromTop(0, top, sizeof top));
  EXPECT_EQ(builder.Pixels()[24], 1);  // the top row is the last in the block
  EXPECT_EQ(builder.RowFromTop(3), nullptr);
  ImageRecord* record = builder.Release();
  EXPECT_NE(static_cast<uint8_t*>(record->pixels), nullptr);  // a copy: the field is unaligned
  EXPECT_EQ(builder.Pixels(), nullptr);
  kvimgtest::FreeRecord(record);
}

TEST(RowStride, RoundsToFourBytes) {
  EXPECT_EQ(kvimg::RowStride(1, 1), 4u);
  EXPECT_EQ(kvimg::RowStride(33, 1), 8u);
  EXPECT_EQ(kvimg::RowStride(7, 4), 4u);
  EXPECT_EQ(kvimg::RowStride(9, 4), 8u);
  EXPECT_EQ(kvimg::RowStride(5, 24), 16u);
  EXPECT_EQ(kvimg::RowStride(5, 32), 16u);
  EXPECT_EQ(kvimg::RowStride(0xFFFFFFFFu, 24), 0u);
}

TEST(Messages, MissingTextsLongArgumentsAndTheFilterText) {
  kvimgtest::BoxWatch boxes;
  kvimg::ReportMessage(9999);
  EXPECT_EQ(kvimgtest::LastMessage(), "Erreur 9999");
  EXPECT_EQ(boxes.caption, "erreur");
  const std::string longName(1000, 'n');
  kvimg::ReportMessage(1036, longName.c_str());
  EXPECT_EQ(kvimgtest::LastMessage().size(), 342u);
  kvimg::ReportMessage(1052, 0x1f);
  EXPECT_EQ(kvimgtest::LastMessage(), "Huffman table 0x1f was not defined");
  char filter[200];
  IMG_FormatReconnu(filter, 199);
  EXPECT_EQ(std::string(filter),
            "Images (*.TIF)\n *.tif\nImages (*.GIF)\n *.gif\nImages (*.JPG)\n *.jpg\n");
  char cut[10];
  std::memset(cut, 'x', sizeof cut);
  IMG_FormatReconnu(cut, 6);
  EXPECT_EQ(std::string(cut), "Images");
  IMG_FormatReconnu(nullptr, 5);  // no crash
}

void ReportFatal(const char* raw, ...) {
  va_list arguments;
  va_start(arguments, raw);
  kvimg::ReportRawMessage(1099, raw, arguments);
  va_end(arguments);
}

TEST(MessagesDeathTest, TheFatalKindEndsTheProcess) {
  EXPECT_EXIT(ReportFatal("2fatal %s", "x"), ::testing::ExitedWithCode(3), "Fin d'ex");
}

class WaitSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("KV_WINDIR");
    saved = old == nullptr ? "" : old;
    setenv("KV_WINDIR", dir.path().c_str(), 1);
  }
  void TearDown() override {
    if (saved.empty())
      unsetenv("KV_WINDIR");
    else
      setenv("KV_WINDIR", saved.c_str(), 1);
  }
  std::string Aff() {
    char value[32] = {};
    kvp::GetPrivateProfileStringA("Options", "AFF", "<none>", value, sizeof value, "KVIMG.INI");
    return value;
  }
  kvtest::TempDir dir;
  std::string saved;
};

TEST_F(WaitSettings, TheAffRule) {
  EXPECT_EQ(Aff(), "<none>");
  EXPECT_TRUE(kvimg::WaitWindowWanted());  // missing: shown this once
  EXPECT_EQ(Aff(), "NON");
  EXPECT_FALSE(kvimg::WaitWindowWanted());
  kvp::WritePrivateProfileStringA("Options", "AFF", "oui", "KVIMG.INI");
  EXPECT_TRUE(kvimg::WaitWindowWanted());
  EXPECT_EQ(Aff(), "oui");
  kvp::WritePrivateProfileStringA("Options", "AFF", "yes", "KVIMG.INI");
  EXPECT_FALSE(kvimg::WaitWindowWanted());
  EXPECT_EQ(Aff(), "NON");
  kvp::WritePrivateProfileStringA("Options", "AFF", "", "KVIMG.INI");
  EXPECT_FALSE(kvimg::WaitWindowWanted());
  EXPECT_EQ(Aff(), "NON");
}

TEST_F(WaitSettings, PositionDefaultsToTheCentreAndIsSaved) {
  const kvimg::WaitPosition centre = kvimg::ReadWaitPosition(1024, 768);
  EXPECT_EQ(centre.x, 412);
  EXPECT_EQ(centre.y, 324);
  kvimg::SaveWaitPosition({-15, 700});
  const kvimg::WaitPosition saved = kvimg::ReadWaitPosition(1024, 768);
  EXPECT_EQ(saved.x, -15);
  EXPECT_EQ(saved.y, 700);
}

}  // namespace

namespace {

TEST(ModuleTable, TheHostsTableNamesTheHostModule) {
  const char* missing[] = {"kvnosuchhost.DLL"};
  const ImageModuleTable wrong{missing, 1};
  kvimgtest::BoxWatch boxes;
  EXPECT_EQ(bIMG_InitInstance(0, nullptr, &wrong), 0);
  EXPECT_EQ(std::string(kvimg::ModuleName(0)), "kvnosuchhost.DLL");
  // An index the table does not hold comes from the built-in list.
  EXPECT_EQ(std::string(kvimg::ModuleName(12)), "kvchart.DLL");
  EXPECT_EQ(std::string(kvimg::ModuleName(16)), "");
  EXPECT_EQ(std::string(kvimg::ModuleName(-1)), "");
  const char* right[] = {"kvhost.DLL", nullptr};
  const ImageModuleTable table{right, 2};
  EXPECT_EQ(bIMG_InitInstance(0, nullptr, &table), 1);
  EXPECT_EQ(std::string(kvimg::ModuleName(1)), "kvhfile.DLL");  // a null entry
  EXPECT_EQ(bIMG_InitInstance(0, nullptr, nullptr), 1);
  EXPECT_EQ(std::string(kvimg::ModuleName(7)), "kvhost.DLL");
}

}  // namespace
