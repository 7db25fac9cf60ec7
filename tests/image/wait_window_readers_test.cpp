// The wait window over the GIF and TIFF readers: their progress brings the
// window up, a click on "&Cancel" ends the read with no picture and no
// message, and a click beside the button lets it finish.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "image/frame/wait_window.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/profile.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"
#include "tests/image/image_support.h"

namespace {

using namespace kvp;

int gWindows = 0;
int gReleaseX = 10;

// Presses the button and releases it at (gReleaseX, 10) of its client area.
void PressCancel(HWND, HWND button) {
  ++gWindows;
  InjectMouse(button, WM_LBUTTONDOWN, 10, 10);
  InjectMouse(button, WM_LBUTTONUP, gReleaseX, 10);
}

struct ReaderFile {
  const char* name;
  const char* pilOptions;  // the keyword arguments of PIL's save
};

class ReaderWaitWindow : public ::testing::TestWithParam<ReaderFile> {
 protected:
  void SetUp() override {
    const char* old = std::getenv("KV_WINDIR");
    savedWindir_ = old == nullptr ? "" : old;
    setenv("KV_WINDIR", dir_.path().c_str(), 1);
    WritePrivateProfileStringA("Options", "AFF", "OUI", "KVIMG.INI");
    // Tall enough that the readers report progress many times.
    const std::string pgm = dir_.File("tall.pgm");
    kvimgtest::WritePnm(pgm, kvimgtest::TestPicture(16, 400), true);
    file_ = dir_.File(GetParam().name);
    ASSERT_TRUE(kvimgtest::Run("/usr/bin/python3 -c \"from PIL import Image; Image.open('" + pgm +
                               "').save('" + file_ + "'" + GetParam().pilOptions + ")\""));
    gWindows = 0;
    gReleaseX = 10;
    kvimg::SetWaitWindowObserver(&PressCancel);
  }
  void TearDown() override {
    kvimg::SetWaitWindowObserver(nullptr);
    kvimg::DestroyWaitWindow();
    if (savedWindir_.empty())
      unsetenv("KV_WINDIR");
    else
      setenv("KV_WINDIR", savedWindir_.c_str(), 1);
  }

  kvtest::TempDir dir_;
  std::string savedWindir_;
  std::string file_;
};

TEST_P(ReaderWaitWindow, CancelStopsTheReadSilentlyAndLeavesNothing) {
  kvimgtest::BoxWatch boxes;
  const size_t blocks = GlobalLiveBlocks();
  const size_t windows = UiLiveWindows();
  const size_t objects = GdiLiveObjects();
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, file_.c_str(), 0, kImageReadWaitWindow), nullptr);
  EXPECT_EQ(gWindows, 1);
  EXPECT_EQ(boxes.count, 0);
  EXPECT_EQ(kvimgtest::LastMessage(), "");
  EXPECT_EQ(GlobalLiveBlocks(), blocks);
  EXPECT_EQ(UiLiveWindows(), windows);
  EXPECT_EQ(GdiLiveObjects(), objects);
  EXPECT_EQ(kvimg::WaitWindowHandle(), nullptr);
}

TEST_P(ReaderWaitWindow, AClickBesideTheButtonLetsTheReadFinish) {
  gReleaseX = 150;  // the button is 100 pixels wide
  ImageRecord* record = pstIMG_LectureImage(0, nullptr, file_.c_str(), 0, kImageReadWaitWindow);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(gWindows, 1);
  EXPECT_EQ(kvimg::WaitWindowHandle(), nullptr);
  kvimgtest::FreeRecord(record);
}

INSTANTIATE_TEST_SUITE_P(Readers, ReaderWaitWindow,
                         ::testing::Values(ReaderFile{"tall.gif", ", interlace=0"},
                                           ReaderFile{"tall-i.gif", ""}, ReaderFile{"tall.tif", ""},
                                           ReaderFile{"tall-lzw.tif", ", compression='tiff_lzw'"},
                                           ReaderFile{"tall-packbits.tif",
                                                      ", compression='packbits'"}),
                         [](const ::testing::TestParamInfo<ReaderFile>& param) {
                           std::string name;
                           for (const char* c = param.param.name; *c != '\0'; ++c)
                             name += (std::isalnum(static_cast<unsigned char>(*c)) != 0) ? *c : '_';
                           return name;
                         });

}  // namespace
