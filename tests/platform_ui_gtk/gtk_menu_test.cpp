// Popup menus on the GTK backend as a person sees and uses them: a checked
// item shows its mark, a greyed item cannot be chosen, a submenu opens, and
// the answer is the command of the item typed, through the menu's window
// on the X server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/menus.h"
#include "platform/ui/messages.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/window.h"
#include "x_tools.h"

namespace {

using namespace kvp;

constexpr UINT kAlpha = 11;
constexpr UINT kBeta = 12;
constexpr UINT kGamma = 13;
constexpr UINT kDelta = 14;

// "&Alpha" (checked or not), "&Beta" greyed, a separator, "&Gamma", and a
// submenu "&More" holding "&Delta".
HMENU MakeMenu(bool alphaChecked) {
  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING | (alphaChecked ? MF_CHECKED : 0u), kAlpha, "&Alpha");
  AppendMenuA(menu, MF_STRING | MF_GRAYED, kBeta, "&Beta");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kGamma, "&Gamma");
  HMENU more = CreatePopupMenu();
  AppendMenuA(more, MF_STRING, kDelta, "&Delta");
  AppendMenuA(menu, MF_POPUP, reinterpret_cast<uintptr_t>(more), "&More");
  return menu;
}

struct Seen {
  bool menuShown = false;
  cairo_surface_t* picture = nullptr;  // the menu's window, before any key
};

class GtkMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_STREQ(UiBackendName(), "gtk") << "these tests run on a display (scripts/with-xvfb.sh)";
    char name[] = "/tmp/kv-gtk-menu.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
    owner_ = CreateWindowExA(0, "BUTTON", "kv gtk menu owner", WS_OVERLAPPEDWINDOW, 120, 100, 300,
                             200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    ShowWindow(owner_, SW_SHOW);
    ASSERT_NE(x_tools::WaitForWindow("kv gtk menu owner"), 0u);
  }
  void TearDown() override {
    if (owner_ != nullptr) DestroyWindow(owner_);
    EXPECT_EQ(UiLiveMenus(), 0u);
    EXPECT_EQ(UiBackendLiveObjects(), 0u) << "GTK objects left behind";
    rmdir(directory_.c_str());
  }

  // Tracks `menu` at (200, 180) while the person waits for its window,
  // takes its picture and types `keys` (xdotool key arguments, one by one);
  // answers the command TrackPopupMenu returned.
  UINT Track(HMENU menu, const std::vector<std::string>& keys, Seen* seen) {
    const std::vector<unsigned long> before = x_tools::ViewableTopLevels();
    std::thread person([&] {
      const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      unsigned long shown = 0;
      while (shown == 0 && std::chrono::steady_clock::now() < end) {
        shown = x_tools::NewWindowOnScreen(before);
        if (shown == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      if (shown == 0) {
        x_tools::Run("xdotool key Escape");  // nothing to choose from
        return;
      }
      seen->menuShown = true;
      // GTK maps the menu before it has drawn it: the picture counts once
      // two in a row agree.
      cairo_surface_t* last = nullptr;
      for (int round = 0; round < 50; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        cairo_surface_t* now = x_tools::Screenshot(shown, directory_);
        if (now == nullptr) continue;
        const bool settled = last != nullptr && x_tools::Compare(last, now, 0).shareDiffering == 0;
        if (last != nullptr) cairo_surface_destroy(last);
        last = now;
        if (settled) break;
      }
      seen->picture = last;
      for (const std::string& key : keys) {
        x_tools::Run("xdotool key " + key);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
      }
    });
    const UINT chosen =
        static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD, 200, 180, 0, owner_, nullptr));
    person.join();
    return chosen;
  }

  std::string directory_;
  HWND owner_ = nullptr;
};

TEST_F(GtkMenuTest, AGreyedItemCannotBeChosenAndASubmenuOpensByItsMnemonic) {
  HMENU menu = MakeMenu(false);
  Seen seen;
  // "b" names the greyed item: nothing happens, and "g" then chooses Gamma.
  EXPECT_EQ(Track(menu, {"b", "g"}, &seen), kGamma);
  EXPECT_TRUE(seen.menuShown) << "no menu window appeared";
  if (seen.picture != nullptr) cairo_surface_destroy(seen.picture);
  Seen again;
  EXPECT_EQ(Track(menu, {"m", "d"}, &again), kDelta) << "the submenu's item";
  if (again.picture != nullptr) cairo_surface_destroy(again.picture);
  Seen once_more;
  EXPECT_EQ(Track(menu, {"Escape"}, &once_more), 0u) << "Escape chooses nothing";
  if (once_more.picture != nullptr) cairo_surface_destroy(once_more.picture);
  DestroyMenu(menu);
}

TEST_F(GtkMenuTest, ACheckedItemShowsItsMarkAndIsChosenAsAnyOther) {
  HMENU plain = MakeMenu(false);
  HMENU checked = MakeMenu(true);
  Seen without;
  Seen with;
  EXPECT_EQ(Track(plain, {"a"}, &without), kAlpha);
  EXPECT_EQ(Track(checked, {"a"}, &with), kAlpha) << "a checked item answers its command";
  DestroyMenu(checked);
  DestroyMenu(plain);
  ASSERT_NE(without.picture, nullptr) << "no picture of the menu";
  ASSERT_NE(with.picture, nullptr) << "no picture of the checked menu";
  // The first row (Alpha) against the fourth (Gamma, plain in both): with
  // the mark, the first row's ink starts well left of Gamma's label; without
  // it both labels start at the same place (their first letters apart).
  const auto inkFrom = [](cairo_surface_t* picture, double top, double bottom) {
    const int width = cairo_image_surface_get_width(picture);
    const int height = cairo_image_surface_get_height(picture);
    int leftmost = width;
    for (int y = static_cast<int>(top * height); y < static_cast<int>(bottom * height); ++y) {
      for (int x = 0; x < leftmost; ++x) {
        const unsigned pixel = x_tools::PixelAt(picture, x, y);
        // Dark ink only: the greyed Beta and the separator are light.
        if (((pixel >> 16) & 0xFF) < 110 && ((pixel >> 8) & 0xFF) < 110 && (pixel & 0xFF) < 110)
          leftmost = x;
      }
    }
    return leftmost;
  };
  const int plainAlpha = inkFrom(without.picture, 0.0, 0.25);
  const int plainGamma = inkFrom(without.picture, 0.5, 0.75);
  const int markedAlpha = inkFrom(with.picture, 0.0, 0.25);
  const int markedGamma = inkFrom(with.picture, 0.5, 0.75);
  ASSERT_LT(plainGamma, cairo_image_surface_get_width(without.picture)) << "no label drawn";
  EXPECT_LE(std::abs(plainAlpha - plainGamma), 3) << "an unchecked item shows a mark";
  EXPECT_GT(markedGamma - markedAlpha, 10) << "the checked item shows no mark";
  // And the mark is ticked: ink inside its own bounds, not an empty box.
  const auto dark = [](cairo_surface_t* picture, int x, int y) {
    const unsigned pixel = x_tools::PixelAt(picture, x, y);
    return ((pixel >> 16) & 0xFF) < 110 && ((pixel >> 8) & 0xFF) < 110 && (pixel & 0xFF) < 110;
  };
  const int rowEnd = cairo_image_surface_get_height(with.picture) / 4;
  int left = markedGamma, right = -1, top = rowEnd, bottom = -1;
  for (int y = 0; y < rowEnd; ++y) {
    for (int x = 0; x < markedGamma - 2; ++x) {
      if (!dark(with.picture, x, y)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  int inside = 0;
  for (int y = top + 3; y <= bottom - 3; ++y) {
    for (int x = left + 3; x <= right - 3; ++x) inside += dark(with.picture, x, y) ? 1 : 0;
  }
  EXPECT_GT(inside, 5) << "the mark is empty";
  cairo_surface_destroy(with.picture);
  cairo_surface_destroy(without.picture);
}

}  // namespace
