// Shared pieces of the user-interface tests: a recording window class and
// a pump that runs the thread's queue dry.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi_objects.h"
#include "platform/kernel/threads.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace ui_test {

using namespace kvp;

struct Seen {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD thread;
};

// Every message the recording procedure saw, in order (one list per
// process; tests that use threads lock around it through the procedure).
std::vector<Seen>& Journal();
void ClearJournal();
size_t CountOf(UINT message, HWND window = nullptr);
// The last record of the message (a zero record when there is none).
Seen LastOf(UINT message);

// Records, answers WM_PAINT with BeginPaint/EndPaint and otherwise defers
// to DefWindowProcA.
LRESULT RecordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registers "UiTestRecorder" (once per test) and removes it at the end;
// asserts that the test left no window, class or menu behind.
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HWND MakeWindow(DWORD style = WS_OVERLAPPEDWINDOW, HWND owner = nullptr, int x = 100, int y = 50,
                  int width = 300, int height = 200);
  size_t windowsBefore_ = 0;
  size_t menusBefore_ = 0;
  size_t gdiBefore_ = 0;
};

inline constexpr const char* kRecorderClass = "UiTestRecorder";

// Dispatches what is waiting (posted, paint, due timers); answers how many.
int Pump();

}  // namespace ui_test
