// Windows of the window layer shown by the GTK backend on a virtual X
// server: where they are mapped, what the server shows of their picture,
// what the user's input becomes, and nothing of GTK left behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/window.h"
#include "x_tools.h"

namespace {

using namespace kvp;

// Paints the client area in the colour kept in the window's user data and
// counts the buttons it was given.
int leftDowns = 0;
int rightDowns = 0;
POINT lastDown{-1, -1};
HWND lastDownWindow = nullptr;
int closes = 0;
bool refuseClose = false;  // WM_CLOSE answered without destroying
int sizes = 0;
SIZE lastSize{0, 0};
UINT lastKey = 0;
int keyDowns = 0;

LRESULT ColourProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      HBRUSH brush =
          CreateSolidBrush(static_cast<COLORREF>(GetWindowLongPtrA(window, GWLP_USERDATA)));
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      ++leftDowns;
      lastDown = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      lastDownWindow = window;
      return 0;
    case WM_CLOSE:
      ++closes;
      if (refuseClose) return 0;
      break;
    case WM_SIZE:
      ++sizes;
      lastSize = SIZE{LOWORD(lParam), HIWORD(lParam)};
      break;
    case WM_KEYDOWN:
      ++keyDowns;
      lastKey = static_cast<UINT>(wParam);
      return 0;
    case WM_RBUTTONDOWN:
      ++rightDowns;
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Pumps until `done` holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  MSG message;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class GtkWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_STREQ(UiBackendName(), "gtk") << "these tests run on a display (scripts/with-xvfb.sh)";
    WNDCLASSA record{};
    record.lpfnWndProc = ColourProcedure;
    record.lpszClassName = "GtkColourWindow";
    ASSERT_NE(RegisterClassA(&record), 0);
    leftDowns = rightDowns = closes = sizes = keyDowns = 0;
    refuseClose = false;
    lastKey = 0;
    lastDownWindow = nullptr;
    char name[] = "/tmp/kv-gtk-test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
  }
  void TearDown() override {
    UnregisterClassA("GtkColourWindow", nullptr);
    EXPECT_EQ(UiLiveWindows(), 0u);
    EXPECT_EQ(UiBackendLiveObjects(), 0u) << "GTK objects left behind";
    rmdir(directory_.c_str());
  }
  HWND Make(const char* title, COLORREF colour, int x, int y, int width, int height,
            DWORD style = WS_OVERLAPPEDWINDOW) {
    HWND window = CreateWindowExA(0, "GtkColourWindow", title, style, x, y, width, height, nullptr,
                                  nullptr, nullptr, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(colour));
    return window;
  }
  std::string directory_;
};

TEST_F(GtkWindowTest, MapsAtItsPlaceWithItsClientSizeAndShowsItsPicture) {
  HWND window = Make("kv gtk colour", 0x0000FF /* red */, 120, 90, 260, 180);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk colour");
  ASSERT_NE(shown, 0u);
  // The X window is the client area, where the window layer has it on the
  // screen (inside the frame of the window's rectangle).
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  EXPECT_GT(origin.x, 120);
  EXPECT_GT(origin.y, 90);
  ASSERT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == origin.x && at.y == origin.y && at.width == client.right &&
           at.height == client.bottom;
  })) << "mapped at "
      << x_tools::GeometryOf(shown).x << "," << x_tools::GeometryOf(shown).y;
  UiBackendLiveObjects();  // drawn by now
  cairo_surface_t* shot = x_tools::Screenshot(shown, directory_);
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(x_tools::PixelAt(shot, client.right / 2, client.bottom / 2), 0xFF0000u);
  cairo_surface_destroy(shot);

  // Moved and resized by the program: the X window follows.
  MoveWindow(window, 40, 30, 200, 150, TRUE_);
  GetClientRect(window, &client);
  origin = POINT{0, 0};
  ClientToScreen(window, &origin);
  EXPECT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == origin.x && at.y == origin.y && at.width == client.right &&
           at.height == client.bottom;
  }));

  DestroyWindow(window);
  EXPECT_EQ(UiBackendLiveObjects(), 0u);
  EXPECT_FALSE(x_tools::WindowShown("kv gtk colour"));
}

std::string Id(unsigned long window) {
  return std::to_string(window);
}

// Where the window's client area starts on the screen.
int ScreenLeft(HWND window) {
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return origin.x;
}

TEST_F(GtkWindowTest, ButtonsAndKeysOfTheUserReachTheWindowUnderThePointer) {
  HWND parent = Make("kv gtk input", 0xFFFFFF, 200, 150, 300, 220);
  // A child in green at (50, 40) of the parent's client area, 80 x 60.
  HWND child = CreateWindowExA(0, "GtkColourWindow", "", WS_CHILD | WS_VISIBLE, 50, 40, 80, 60,
                               parent, nullptr, nullptr, nullptr);
  SetWindowLongPtrA(child, GWLP_USERDATA, 0x00FF00);
  ShowWindow(parent, SW_SHOW);
  UpdateWindow(parent);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk input");
  ASSERT_NE(shown, 0u);
  PumpUntil([&] { return x_tools::GeometryOf(shown).x == ScreenLeft(parent); });
  UiBackendLiveObjects();

  // The child is drawn into its parent's window.
  cairo_surface_t* shot = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    if (shot != nullptr) cairo_surface_destroy(shot);
    shot = x_tools::Screenshot(shown, directory_);
    return shot != nullptr && x_tools::PixelAt(shot, 90, 70) == 0x00FF00u &&
           x_tools::PixelAt(shot, 10, 10) == 0xFFFFFFu;
  })) << "the child's green is not on the screen";
  if (shot != nullptr) cairo_surface_destroy(shot);

  // A left click over the parent, then one over the child (in its own
  // coordinates), a right click; all synthesized at the X server.
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + Id(shown) + " 20 30 click 1"), 0);
  EXPECT_TRUE(PumpUntil([&] { return leftDowns == 1; }));
  EXPECT_EQ(lastDownWindow, parent);
  EXPECT_EQ(lastDown.x, 20);
  EXPECT_EQ(lastDown.y, 30);
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + Id(shown) + " 60 55 click 1"), 0);
  EXPECT_TRUE(PumpUntil([&] { return leftDowns == 2; }));
  EXPECT_EQ(lastDownWindow, child);
  EXPECT_EQ(lastDown.x, 10);
  EXPECT_EQ(lastDown.y, 15);
  ASSERT_EQ(x_tools::Run("xdotool click 3"), 0);
  EXPECT_TRUE(PumpUntil([&] { return rightDowns == 1; }));

  // A disabled window gets nothing.
  EnableWindow(parent, FALSE_);
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + Id(shown) + " 25 25 click 1"), 0);
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(leftDowns, 2) << "a disabled window was clicked";
  EnableWindow(parent, TRUE_);

  // Keys go to the window with the focus.
  SetFocus(child);
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + Id(shown) + " 5 5 windowfocus --sync " +
                         Id(shown) + " key q"),
            0);
  EXPECT_TRUE(PumpUntil([&] { return keyDowns == 1; }));
  EXPECT_EQ(lastKey, static_cast<UINT>('Q'));

  DestroyWindow(parent);
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(GtkWindowTest, CaptureGrabsThePointerForTheCapturingWindow) {
  HWND window = Make("kv gtk capture", 0x808080, 100, 100, 200, 150);
  ShowWindow(window, SW_SHOW);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk capture");
  ASSERT_NE(shown, 0u);
  PumpUntil([&] { return x_tools::GeometryOf(shown).x == ScreenLeft(window); });
  SetCapture(window);
  UiBackendLiveObjects();
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  // Far outside the window: the capturing window still gets the press, in
  // its own coordinates.
  ASSERT_EQ(x_tools::Run("xdotool mousemove 700 600 click 1"), 0);
  EXPECT_TRUE(PumpUntil([&] { return leftDowns == 1; }));
  EXPECT_EQ(lastDownWindow, window);
  EXPECT_EQ(lastDown.x, 700 - origin.x);
  EXPECT_EQ(lastDown.y, 600 - origin.y);
  // Released: a press out there goes elsewhere.
  ReleaseCapture();
  UiBackendLiveObjects();
  ASSERT_EQ(x_tools::Run("xdotool mousemove 700 600 click 1"), 0);
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_EQ(leftDowns, 1);
  DestroyWindow(window);
}

TEST_F(GtkWindowTest, HiddenWindowsLeaveTheScreenAndComeBack) {
  HWND window = Make("kv gtk hidden", 0x0000FF, 300, 200, 160, 120);
  ShowWindow(window, SW_SHOW);
  ASSERT_NE(x_tools::WaitForWindow("kv gtk hidden"), 0u);
  ShowWindow(window, SW_HIDE);
  UiBackendLiveObjects();
  EXPECT_FALSE(x_tools::WindowShown("kv gtk hidden"));
  EXPECT_EQ(UiBackendLiveObjects(), 0u) << "a hidden window keeps no GTK window";
  ShowWindow(window, SW_SHOW);
  const unsigned long again = x_tools::WaitForWindow("kv gtk hidden");
  ASSERT_NE(again, 0u);
  EXPECT_TRUE(PumpUntil([&] { return x_tools::GeometryOf(again).x == ScreenLeft(window); }));
  SetWindowTextA(window, "kv gtk renamed");
  InvalidateRect(window, nullptr, TRUE_);
  EXPECT_TRUE(PumpUntil([&] { return x_tools::WindowShown("kv gtk renamed"); }))
      << "the title follows the window's text";
  DestroyWindow(window);
}

TEST_F(GtkWindowTest, ASizeGivenFromOutsideIsTakenAndRepainted) {
  HWND window = Make("kv gtk sized", 0xFF0000 /* blue */, 50, 50, 200, 150);
  ShowWindow(window, SW_SHOW);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk sized");
  ASSERT_NE(shown, 0u);
  PumpUntil([&] { return x_tools::GeometryOf(shown).x == ScreenLeft(window); });
  UiBackendLiveObjects();
  sizes = 0;
  ASSERT_EQ(x_tools::Run("xdotool windowsize " + Id(shown) + " 320 260"), 0);
  EXPECT_TRUE(PumpUntil([&] { return sizes > 0 && lastSize.cx == 320 && lastSize.cy == 260; }));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 260);
  cairo_surface_t* shot = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    if (shot != nullptr) cairo_surface_destroy(shot);
    UiBackendLiveObjects();
    shot = x_tools::Screenshot(shown, directory_);
    return shot != nullptr && cairo_image_surface_get_width(shot) == 320 &&
           x_tools::PixelAt(shot, 310, 250) == 0x0000FFu;
  })) << "the new area is not painted";
  if (shot != nullptr) cairo_surface_destroy(shot);
  DestroyWindow(window);
}

TEST_F(GtkWindowTest, AnXWindowDestroyedFromOutsideClosesTheWindow) {
  HWND window = Make("kv gtk killed", 0x00FFFF, 400, 300, 150, 100);
  ShowWindow(window, SW_SHOW);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk killed");
  ASSERT_NE(shown, 0u);
  ASSERT_EQ(x_tools::Run("xdotool windowclose " + Id(shown)), 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
  EXPECT_EQ(closes, 1);
  if (IsWindow(window)) DestroyWindow(window);
}

TEST_F(GtkWindowTest, TheCloseButtonsRequestIsWmCloseWhichTheProgramMayRefuse) {
  HWND window = Make("kv gtk close", 0x00FF00, 250, 200, 150, 100);
  ShowWindow(window, SW_SHOW);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk close");
  ASSERT_NE(shown, 0u);
  // Refused: the window stays, on the screen too.
  refuseClose = true;
  ASSERT_TRUE(x_tools::AskToClose(shown));
  EXPECT_TRUE(PumpUntil([&] { return closes == 1; }));
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_TRUE(IsWindow(window));
  UiBackendLiveObjects();
  EXPECT_TRUE(x_tools::WindowShown("kv gtk close"));
  // Accepted: the default handling destroys it, and its X window goes.
  refuseClose = false;
  ASSERT_TRUE(x_tools::AskToClose(shown));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); }));
  EXPECT_EQ(closes, 2);
  UiBackendLiveObjects();
  EXPECT_FALSE(x_tools::WindowShown("kv gtk close"));
  if (IsWindow(window)) DestroyWindow(window);
}

TEST_F(GtkWindowTest, ManyWindowsMadeAndDestroyedLeaveNoGtkObject) {
  for (int round = 0; round < 20; ++round) {
    HWND window = Make("kv gtk churn", static_cast<COLORREF>(round * 0x0A0A0A), 10 + round * 5,
                       10 + round * 3, 120, 90);
    ShowWindow(window, round % 3 == 0 ? SW_SHOW : SW_SHOWNA);
    if (round % 2 == 0) MoveWindow(window, 30, 30, 100 + round, 80 + round, TRUE_);
    if (round % 4 == 1) ShowWindow(window, SW_HIDE);
    DestroyWindow(window);
  }
  EXPECT_EQ(UiBackendLiveObjects(), 0u);
  EXPECT_FALSE(x_tools::WindowShown("kv gtk churn"));
}

}  // namespace
