// The wait window, the hourglass and the disabled window, driven through
// injected input on the headless screen.
#include "image/frame/wait_window.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/read/progress.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/profile.h"
#include "platform/ui/input.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "tests/image/image_support.h"

namespace {

using namespace kvp;

// What the observer saw of the wait window while a read ran.
struct Seen {
  int windows = 0;
  std::string caption;
  RECT where{};
  int releaseX = 10;
};
Seen seen;

class WaitWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    kvimgtest::RequireTool("cjpeg");
    const char* old = std::getenv("KV_WINDIR");
    savedWindir = old == nullptr ? "" : old;
    setenv("KV_WINDIR", dir.path().c_str(), 1);
    WritePrivateProfileStringA("Options", "AFF", "OUI", "KVIMG.INI");
    const std::string pgm = dir.File("tall.pgm");
    kvimgtest::WritePnm(pgm, kvimgtest::TestPicture(8, 300), true);
    jpeg = dir.File("tall.jpg");
    ASSERT_TRUE(kvimgtest::Run("cjpeg -grayscale -outfile " + jpeg + " " + pgm));
    seen = Seen{};
  }
  void TearDown() override {
    kvimg::SetWaitWindowObserver(nullptr);
    kvimg::DestroyWaitWindow();
    if (savedWindir.empty())
      unsetenv("KV_WINDIR");
    else
      setenv("KV_WINDIR", savedWindir.c_str(), 1);
  }

  static int Position(const char* key) {
    return static_cast<int>(GetPrivateProfileIntA("Position", key, -99999, "KVIMG.INI"));
  }

  // Presses the button and releases it at (seen.releaseX, 10) of its client
  // area; the read's first progress report takes the input in.
  static void PressCancel(HWND window, HWND button) {
    ++seen.windows;
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof caption);
    seen.caption = caption;
    GetWindowRect(window, &seen.where);
    InjectMouse(button, WM_LBUTTONDOWN, 10, 10);
    InjectMouse(button, WM_LBUTTONUP, seen.releaseX, 10);
  }

  static void Count(HWND, HWND) { ++seen.windows; }

  kvtest::TempDir dir;
  std::string savedWindir;
  std::string jpeg;
};

TEST_F(WaitWindow, CancelReleasedInsideTheButtonStopsTheReadSilently) {
  kvimg::SetWaitWindowObserver(&PressCancel);
  kvimgtest::BoxWatch boxes;
  const size_t blocks = GlobalLiveBlocks();
  const size_t windows = UiLiveWindows();
  const size_t objects = GdiLiveObjects();
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow), nullptr);
  EXPECT_EQ(GdiLiveObjects(), objects);  // pens, brushes, bitmaps and contexts of the bar
  EXPECT_EQ(seen.windows, 1);
  EXPECT_EQ(seen.caption, "tall.jpg");  // the source's name after its folders
  EXPECT_EQ(boxes.count, 0);
  EXPECT_EQ(kvimgtest::LastMessage(), "");
  EXPECT_EQ(GlobalLiveBlocks(), blocks);
  EXPECT_EQ(UiLiveWindows(), windows);
  EXPECT_EQ(kvimg::WaitWindowHandle(), nullptr);
  // Centred on the screen by default, and saved where it stood.
  EXPECT_EQ(seen.where.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
  EXPECT_EQ(Position("X"), seen.where.left);
  EXPECT_EQ(Position("Y"), seen.where.top);
}

TEST_F(WaitWindow, ReleasedOutsideTheButtonDoesNotCancel) {
  seen.releaseX = 150;  // the button is 100 pixels wide
  kvimg::SetWaitWindowObserver(&PressCancel);
  ImageRecord* record = pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(seen.windows, 1);
  kvimgtest::FreeRecord(record);
  // The saved position is where the next window opens.
  WritePrivateProfileStringA("Position", "X", "33", "KVIMG.INI");
  WritePrivateProfileStringA("Position", "Y", "44", "KVIMG.INI");
  seen = Seen{};
  seen.releaseX = 150;
  record = pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(seen.where.left, 33);
  EXPECT_EQ(seen.where.top, 44);
  kvimgtest::FreeRecord(record);
}

TEST_F(WaitWindow, WithoutTheSettingTheFirstReadShowsItAndLeavesNon) {
  WritePrivateProfileStringA("Options", "AFF", nullptr, "KVIMG.INI");
  kvimg::SetWaitWindowObserver(&Count);
  const HCURSOR cursor = GetCursor();
  for (int read = 0; read < 2; ++read) {
    ImageRecord* record = pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow);
    ASSERT_NE(record, nullptr);
    kvimgtest::FreeRecord(record);
  }
  EXPECT_EQ(seen.windows, 1);  // the second read used the hourglass
  char value[8] = {};
  GetPrivateProfileStringA("Options", "AFF", "", value, sizeof value, "KVIMG.INI");
  EXPECT_STREQ(value, "NON");
  EXPECT_EQ(GetCursor(), cursor);
}

TEST_F(WaitWindow, HeaderOnlyOrAnExtraArgumentShowNoWaitWindow) {
  kvimg::SetWaitWindowObserver(&Count);
  ImageRecord* record =
      pstIMG_LectureImage(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow | kImageReadHeaderOnly);
  kvimgtest::FreeRecord(record);
  record = pstIMG_LectureImage2(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow, 4);
  kvimgtest::FreeRecord(record);
  EXPECT_EQ(seen.windows, 0);
}

TEST_F(WaitWindow, TheMessageBoxComesAfterTheWindowIsGone) {
  const std::string cut = dir.File("cut.jpg");
  const std::string whole = kvimgtest::ReadFileBytes(jpeg);
  kvimgtest::WriteFileBytes(cut, whole.substr(0, whole.size() - 60));  // rows, then the end
  kvimg::SetWaitWindowObserver(&Count);
  struct Check {
    static int Hook(HWND, const char*, const char*, UINT, void* context) {
      *static_cast<bool*>(context) = kvimg::WaitWindowHandle() == nullptr;
      return IDOK;
    }
  };
  bool goneFirst = false;
  const MessageBoxHook previous = SetMessageBoxHook(&Check::Hook, &goneFirst);
  EXPECT_EQ(pstIMG_LectureImage(0, nullptr, cut.c_str(), 0, kImageReadWaitWindow), nullptr);
  SetMessageBoxHook(previous, nullptr);
  EXPECT_EQ(seen.windows, 1) << kvimgtest::LastMessage();
  EXPECT_TRUE(goneFirst);
}

TEST_F(WaitWindow, TheBarAndTheCaption) {
  ASSERT_TRUE(kvimg::CreateWaitWindow(nullptr));
  const HWND window = kvimg::WaitWindowHandle();
  char caption[64] = {};
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, "Wait ...");
  EXPECT_FALSE(IsWindowVisible(window));  // shown with the first progress
  EXPECT_NE(GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  kvimg::SetWaitWindowName("C:\\PICTURES\\SEA.JPG");
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, "SEA.JPG");
  kvimg::SetWaitWindowName("A:SEA.JPG");
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, "SEA.JPG");
  kvimg::SetWaitWindowName("/tmp/pictures/sea.jpg");
  GetWindowTextA(window, caption, sizeof caption);
  EXPECT_STREQ(caption, "sea.jpg");
  char text[16] = {};
  GetWindowTextA(kvimg::WaitCancelButton(), text, sizeof text);
  EXPECT_STREQ(text, "&Cancel");

  kvimg::PaintWaitBar(40);
  RECT client{};
  GetClientRect(window, &client);
  const int right = client.right - 20;
  const HDC dc = GetWindowClientDC(window);
  EXPECT_EQ(GetPixel(dc, 22, 21), RGB(0, 0, 255));             // done: blue
  EXPECT_EQ(GetPixel(dc, right - 3, 21), RGB(255, 255, 255));  // to do: white
  EXPECT_EQ(GetPixel(dc, 60, 19), RGB(0, 0, 0));               // black frame
  EXPECT_EQ(GetPixel(dc, 60, 18), RGB(128, 128, 128));         // grey above
  EXPECT_EQ(GetPixel(dc, 60, 43), RGB(255, 255, 255));         // white below
  ReleaseDC(window, dc);
  kvimg::DestroyWaitWindow();
  EXPECT_FALSE(IsWindow(window));
}

LRESULT KVP_CALLBACK PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

struct DuringRead {
  HWND window = nullptr;
  bool disabled = false;
  bool waitCursor = false;
  HWND capture = nullptr;
};

bool LookDuringRead(unsigned, void* context) {
  auto* during = static_cast<DuringRead*>(context);
  during->disabled = !IsWindowEnabled(during->window);
  during->waitCursor = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
  during->capture = GetCapture();
  return true;
}

TEST_F(WaitWindow, HourglassCaptureAndDisabledWindowAreRestored) {
  WNDCLASSA plain{};
  plain.lpfnWndProc = PlainProcedure;
  plain.lpszClassName = "KVIMGTESTHOST";
  RegisterClassA(&plain);
  const HWND host = CreateWindowExA(0, "KVIMGTESTHOST", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                    0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  const HWND other = CreateWindowExA(0, "KVIMGTESTHOST", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host, nullptr);
  const HCURSOR cursor = GetCursor();
  DuringRead during;
  during.window = host;
  kvimg::SetProgressSink(&LookDuringRead, &during);
  ImageRecord* record = pstIMG_LectureImage(0, host, jpeg.c_str(), 0, kImageReadHourglass);
  ASSERT_NE(record, nullptr);
  kvimgtest::FreeRecord(record);
  EXPECT_FALSE(during.disabled);
  EXPECT_TRUE(during.waitCursor);
  EXPECT_EQ(during.capture, host);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(GetCursor(), cursor);
  // Disabled during the read (which, as on Windows, also ends a capture).
  record =
      pstIMG_LectureImage(0, host, jpeg.c_str(), 0, kImageReadHourglass | kImageReadDisableWindow);
  ASSERT_NE(record, nullptr);
  kvimgtest::FreeRecord(record);
  EXPECT_TRUE(during.disabled);
  EXPECT_TRUE(IsWindowEnabled(host));
  EXPECT_EQ(GetCursor(), cursor);

  // Another window holds the capture: it keeps it.
  SetCapture(other);
  record = pstIMG_LectureImage(0, host, jpeg.c_str(), 0, kImageReadHourglass);
  ASSERT_NE(record, nullptr);
  kvimgtest::FreeRecord(record);
  EXPECT_EQ(during.capture, other);
  EXPECT_EQ(GetCapture(), other);
  ReleaseCapture();
  kvimg::SetProgressSink(nullptr, nullptr);
  DestroyWindow(host);
  DestroyWindow(other);
  UnregisterClassA("KVIMGTESTHOST", nullptr);
}

}  // namespace
