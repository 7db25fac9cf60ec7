// The hourglass: SetCursor(IDC_WAIT) shows the watch over the program's
// windows, and the arrow comes back with it. The cursor shown is asked of
// the X server (XFixes), on a connection of the test's own.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/ui/messages.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/window.h"
#include "x_tools.h"

namespace {

using namespace kvp;

LRESULT PlainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

template <typename Done>
bool WaitFor(Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Pump();
    UiBackendLiveObjects();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST(GtkCursorTest, TheWaitCursorIsTheWatchOverTheWindowsAndTheArrowComesBack) {
  ASSERT_STREQ(UiBackendName(), "gtk") << "run on a display (scripts/with-xvfb.sh)";
  const x_tools::CursorWatch cursor;
  ASSERT_TRUE(cursor.Usable()) << "no XFixes on the display";

  WNDCLASSA record{};
  record.lpfnWndProc = PlainProcedure;
  record.lpszClassName = "GtkCursorWindow";
  ASSERT_NE(RegisterClassA(&record), 0);
  HWND window =
      CreateWindowExA(0, "GtkCursorWindow", "kv gtk cursor", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                      100, 300, 200, nullptr, nullptr, nullptr, nullptr);
  const unsigned long shown = x_tools::WaitForWindow("kv gtk cursor");
  ASSERT_NE(shown, 0u);
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + std::to_string(shown) + " 50 50"), 0);
  UiBackendLiveObjects();
  const unsigned long arrow = cursor.Shown();

  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  EXPECT_TRUE(WaitFor([&] { return cursor.Shown() != arrow; })) << "the cursor did not change";
  const unsigned long watch = cursor.Shown();
  // A window made while waiting shows the watch too.
  HWND second =
      CreateWindowExA(0, "GtkCursorWindow", "kv gtk cursor 2", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                      500, 300, 200, 150, nullptr, nullptr, nullptr, nullptr);
  const unsigned long secondShown = x_tools::WaitForWindow("kv gtk cursor 2");
  ASSERT_NE(secondShown, 0u);
  ASSERT_EQ(x_tools::Run("xdotool mousemove --window " + std::to_string(secondShown) + " 30 30"),
            0);
  EXPECT_TRUE(WaitFor([&] { return cursor.Shown() == watch; }));

  SetCursor(previous != nullptr ? previous : LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_TRUE(WaitFor([&] { return cursor.Shown() != watch; }))
      << "the watch stayed after the wait";

  DestroyWindow(second);
  DestroyWindow(window);
  UnregisterClassA("GtkCursorWindow", nullptr);
  EXPECT_EQ(UiBackendLiveObjects(), 0u);
}

}  // namespace
