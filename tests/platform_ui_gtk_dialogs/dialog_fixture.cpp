#include "tests/platform_ui_gtk_dialogs/dialog_fixture.h"

#include <atomic>

#include "platform/ui/ui_backend.h"
#include "platform/ui/window.h"

namespace gtk_dialogs_test {

void DesktopTest::SetUp() {
  ASSERT_STREQ(kvp::UiBackendName(), "gtk") << "the suite runs under its X server with KV_UI=gtk";
  for (const char* tool : {"xdotool", "import", "compare"}) ASSERT_TRUE(RequireTool(tool));
  windowsBefore_ = kvp::UiLiveWindows();
  objectsBefore_ = kvp::UiBackendLiveObjects();
}

void DesktopTest::TearDown() {
  EXPECT_EQ(kvp::UiLiveWindows(), windowsBefore_) << "a window was left behind";
  EXPECT_EQ(kvp::UiBackendLiveObjects(), objectsBefore_) << "a GTK object was left behind";
}

std::string DesktopTest::UniqueTitle(const std::string& stem) {
  static std::atomic<int> serial{0};
  return stem + " " + std::to_string(++serial);
}

}  // namespace gtk_dialogs_test
