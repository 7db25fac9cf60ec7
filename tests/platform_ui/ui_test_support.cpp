#include "tests/platform_ui/ui_test_support.h"

#include <mutex>

namespace ui_test {

namespace {
std::mutex journalMutex;
}

std::vector<Seen>& Journal() {
  static std::vector<Seen> journal;
  return journal;
}

void ClearJournal() {
  std::lock_guard<std::mutex> hold(journalMutex);
  Journal().clear();
}

size_t CountOf(UINT message, HWND window) {
  std::lock_guard<std::mutex> hold(journalMutex);
  size_t count = 0;
  for (const Seen& seen : Journal()) {
    if (seen.message == message && (window == nullptr || seen.window == window)) ++count;
  }
  return count;
}

Seen LastOf(UINT message) {
  std::lock_guard<std::mutex> hold(journalMutex);
  for (auto it = Journal().rbegin(); it != Journal().rend(); ++it) {
    if (it->message == message) return *it;
  }
  return Seen{};
}

LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard<std::mutex> hold(journalMutex);
    Journal().push_back(Seen{window, message, wParam, lParam, GetCurrentThreadId()});
  }
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    if (BeginPaint(window, &paint) != nullptr) EndPaint(window, &paint);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void UiTest::SetUp() {
  windowsBefore_ = UiLiveWindows();
  menusBefore_ = UiLiveMenus();
  gdiBefore_ = GdiLiveObjects();
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = RecordingProcedure;
  windowClass.cbWndExtra = 16;
  windowClass.lpszClassName = kRecorderClass;
  ASSERT_NE(RegisterClassA(&windowClass), 0);
  ClearJournal();
  ClearMenuChoices();
}

void UiTest::TearDown() {
  Pump();
  EXPECT_EQ(UiLiveWindows(), windowsBefore_) << "a window was left behind";
  EXPECT_EQ(UiLiveMenus(), menusBefore_) << "a menu was left behind";
  EXPECT_EQ(GdiLiveObjects(), gdiBefore_) << "a graphic object was left behind";
  EXPECT_TRUE(UnregisterClassA(kRecorderClass, nullptr));
  // Drain what the test left queued (a WM_QUIT, say).
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

HWND UiTest::MakeWindow(DWORD style, HWND owner, int x, int y, int width, int height) {
  HWND window = CreateWindowExA(0, kRecorderClass, "test", style, x, y, width, height, owner,
                                nullptr, nullptr, nullptr);
  EXPECT_NE(window, nullptr);
  return window;
}

int Pump() {
  int count = 0;
  MSG message;
  while (count < 100000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
    ++count;
  }
  return count;
}

}  // namespace ui_test
