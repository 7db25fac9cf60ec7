// Graphic font objects of the platform layer: what goes in comes back out
// through GetObjectA, handles die with DeleteObject, and the live count
// follows every object.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/gdi/fonts.h"

namespace {

using namespace kvp;

LOGFONTA Read(HFONT font) {
  LOGFONTA description;
  std::memset(&description, 0xAB, sizeof description);
  EXPECT_EQ(GetObjectA(font, sizeof description, &description),
            static_cast<int>(sizeof description));
  return description;
}

TEST(GdiFont, CreateFontKeepsEveryValue) {
  const size_t before = GdiLiveObjects();
  HFONT font = CreateFontA(-12, 7, 900, 450, FW_BOLD, 1, 1, 1, DEFAULT_CHARSET, 3, 2, 5, 0x22,
                           "Liberation Sans");
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GdiLiveObjects(), before + 1);
  EXPECT_EQ(GetObjectType(font), OBJ_FONT);
  const LOGFONTA d = Read(font);
  EXPECT_EQ(d.lfHeight, -12);
  EXPECT_EQ(d.lfWidth, 7);
  EXPECT_EQ(d.lfEscapement, 900);
  EXPECT_EQ(d.lfOrientation, 450);
  EXPECT_EQ(d.lfWeight, FW_BOLD);
  EXPECT_EQ(d.lfItalic, 1);
  EXPECT_EQ(d.lfUnderline, 1);
  EXPECT_EQ(d.lfStrikeOut, 1);
  EXPECT_EQ(d.lfCharSet, DEFAULT_CHARSET);
  EXPECT_EQ(d.lfOutPrecision, 3);
  EXPECT_EQ(d.lfClipPrecision, 2);
  EXPECT_EQ(d.lfQuality, 5);
  EXPECT_EQ(d.lfPitchAndFamily, 0x22);
  EXPECT_STREQ(d.lfFaceName, "Liberation Sans");
  // Unused bytes of the name are zero, not left over from anything.
  for (size_t i = std::strlen(d.lfFaceName); i < sizeof d.lfFaceName; ++i) {
    EXPECT_EQ(d.lfFaceName[i], '\0') << i;
  }
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_EQ(GdiLiveObjects(), before);
}

TEST(GdiFont, FlagsKeepTheirLowByteAsWindowsStoresThem) {
  HFONT font = CreateFontA(10, 0, 0, 0, 0, 0x102, 0x200, 0xFF, 0x1EE, 0, 0, 0, 0, "A");
  const LOGFONTA d = Read(font);
  EXPECT_EQ(d.lfItalic, 0x02);
  EXPECT_EQ(d.lfUnderline, 0x00);
  EXPECT_EQ(d.lfStrikeOut, 0xFF);
  EXPECT_EQ(d.lfCharSet, 0xEE);
  DeleteObject(font);
}

TEST(GdiFont, FaceNamesAreCutAndTerminated) {
  const std::string longName(100, 'x');
  HFONT cut = CreateFontA(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, longName.c_str());
  EXPECT_EQ(std::string(Read(cut).lfFaceName), std::string(LF_FACESIZE - 1, 'x'));
  HFONT none = CreateFontA(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  EXPECT_STREQ(Read(none).lfFaceName, "");

  // An indirect record whose 32 name bytes hold no zero at all.
  LOGFONTA unterminated{};
  std::memset(unterminated.lfFaceName, 'y', sizeof unterminated.lfFaceName);
  HFONT fromRecord = CreateFontIndirectA(&unterminated);
  ASSERT_NE(fromRecord, nullptr);
  EXPECT_EQ(std::string(Read(fromRecord).lfFaceName), std::string(LF_FACESIZE - 1, 'y'));
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  for (HFONT font : {cut, none, fromRecord}) EXPECT_TRUE(DeleteObject(font));
}

TEST(GdiFont, IndirectCopyIsAnIndependentObject) {
  HFONT original = CreateFontA(-20, 0, 0, 0, FW_BOLD, 1, 0, 1, 1, 0, 0, 0, 0, "Arial");
  const LOGFONTA d = Read(original);
  HFONT copy = CreateFontIndirectA(&d);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, original);
  EXPECT_TRUE(DeleteObject(original));
  const LOGFONTA copied = Read(copy);
  EXPECT_EQ(std::memcmp(&d, &copied, sizeof d), 0);
  EXPECT_TRUE(DeleteObject(copy));
}

TEST(GdiFont, GetObjectSizesAndPartialCopies) {
  HFONT font = CreateFontA(-9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Face");
  EXPECT_EQ(GetObjectA(font, 0, nullptr), static_cast<int>(sizeof(LOGFONTA)));
  unsigned char buffer[sizeof(LOGFONTA) + 8];
  std::memset(buffer, 0xCC, sizeof buffer);
  // A short buffer takes only what fits; the bytes after it stay untouched.
  EXPECT_EQ(GetObjectA(font, 4, buffer), 4);
  int32_t height;
  std::memcpy(&height, buffer, 4);
  EXPECT_EQ(height, -9);
  EXPECT_EQ(buffer[4], 0xCC);
  // A larger buffer takes the record and nothing more.
  EXPECT_EQ(GetObjectA(font, sizeof buffer, buffer), static_cast<int>(sizeof(LOGFONTA)));
  EXPECT_EQ(buffer[sizeof(LOGFONTA)], 0xCC);
  EXPECT_EQ(GetObjectA(font, -1, buffer), 0);
  DeleteObject(font);
}

TEST(GdiFont, DeadAndForgedHandlesAreRefused) {
  const size_t before = GdiLiveObjects();
  HFONT font = CreateFontA(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_FALSE(DeleteObject(font));
  LOGFONTA d{};
  EXPECT_EQ(GetObjectA(font, sizeof d, &d), 0);
  EXPECT_EQ(GetObjectType(font), 0u);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(&d)));
  EXPECT_EQ(GetObjectA(reinterpret_cast<HGDIOBJ>(uintptr_t{1}), sizeof d, &d), 0);
  EXPECT_EQ(GdiLiveObjects(), before);
  // A new object does not come back under the deleted handle.
  HFONT next = CreateFontA(10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  EXPECT_NE(next, font);
  DeleteObject(next);
}

TEST(GdiFont, ThreadsCreatingAndDeletingKeepTheCountRight) {
  const size_t before = GdiLiveObjects();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      std::vector<HFONT> fonts;
      for (int i = 0; i < 500; ++i) {
        fonts.push_back(CreateFontA(-(t * 1000 + i), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "T"));
      }
      for (int i = 0; i < 500; ++i) {
        LOGFONTA d{};
        if (GetObjectA(fonts[i], sizeof d, &d) != sizeof d || d.lfHeight != -(t * 1000 + i)) {
          ADD_FAILURE() << "font " << i << " of thread " << t << " changed";
        }
        if (!DeleteObject(fonts[i])) ADD_FAILURE() << "delete failed";
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(GdiLiveObjects(), before);
}

}  // namespace
