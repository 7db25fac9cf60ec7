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
      return 0;
    case WM_RBUTTONDOWN:
      ++rightDowns;
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
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
    leftDowns = rightDowns = 0;
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
  RECT client;
  GetClientRect(window, &client);
  ASSERT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == 120 && at.y == 90 && at.width == client.right && at.height == client.bottom;
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
  EXPECT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == 40 && at.y == 30 && at.width == client.right && at.height == client.bottom;
  }));

  DestroyWindow(window);
  EXPECT_EQ(UiBackendLiveObjects(), 0u);
  EXPECT_FALSE(x_tools::WindowShown("kv gtk colour"));
}

}  // namespace
