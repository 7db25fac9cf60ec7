// The chart window on the GTK backend, seen from the X server: mapped where
// its rectangle says, showing what the window layer drew (the headless
// raster of the same chart), and its popup menu opened by a real right
// click and answered with synthesized keys.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/ui/ui_backend.h"
#include "tests/chart_window/window_fixture.h"
#include "tests/platform_ui_gtk/x_tools.h"

namespace charttest {
namespace {

using kv::chart::ChartType;

// Pumps the queue until `done` holds or the time is up.
template <typename Done>
bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The window's picture as the window layer has it: what the headless
// backend shows of the same chart.
cairo_surface_t* RasterOf(kvp::HWND window, const std::vector<uint32_t>& pixels) {
  kvp::RECT client;
  kvp::GetClientRect(window, &client);
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, client.right, client.bottom);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < client.bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
    for (int x = 0; x < client.right; ++x) {
      const uint32_t colour = pixels[static_cast<size_t>(y) * client.right + x];  // 0x00BBGGRR
      row[x] = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

class ChartGtkTest : public ChartWindowTest {
 protected:
  void SetUp() override {
    ASSERT_STREQ(kvp::UiBackendName(), "gtk") << "run on a display (scripts/with-xvfb.sh)";
    ChartWindowTest::SetUp();
    char name[] = "/tmp/kv-chart-gtk.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    directory_ = name;
  }
  void TearDown() override {
    ChartWindowTest::TearDown();
    EXPECT_EQ(kvp::UiBackendLiveObjects(), 0u) << "GTK objects left behind";
    std::filesystem::remove_all(directory_);
  }
  // The X window showing the chart window, once it shows the picture the
  // window layer has (waited for: GTK draws asynchronously).
  cairo_surface_t* ShotOf(kvp::HWND window, unsigned long shown) {
    cairo_surface_t* raster = RasterOf(window, WindowPixels(window));
    cairo_surface_t* shot = nullptr;
    PumpUntil([&] {
      kvp::UiBackendLiveObjects();
      if (shot != nullptr) cairo_surface_destroy(shot);
      shot = x_tools::Screenshot(shown, directory_);
      return shot != nullptr && x_tools::Compare(shot, raster).shareDiffering < 0.001;
    });
    cairo_surface_destroy(raster);
    return shot;
  }
  std::string directory_;
};

struct TypeCase {
  int type;
  const char* name;
};

class ChartTypeGtkTest : public ChartGtkTest, public ::testing::WithParamInterface<TypeCase> {};

// Each type in a window placed at (60 + 20 t, 40 + 15 t), 420 by 320.
TEST_P(ChartTypeGtkTest, IsMappedWhereItsRectangleSaysAndShowsItsRasterDrawing) {
  const TypeCase kind = GetParam();
  const std::string title = std::string("kv chart ") + kind.name;
  const int left = 60 + 20 * kind.type;
  const int top = 40 + 15 * kind.type;
  MakeChart("G", kind.type);
  ToWindow("G", title);
  Ok("grWndSize", 0, {T("G"), I(left), I(top), I(left + 420), I(top + 320)});
  Ok("grDraw", 0, {T("G")});
  kvp::HWND window = ChartWindowOf("G");
  ASSERT_NE(window, nullptr);
  Pump();
  const unsigned long shown = x_tools::WaitForWindow(title);
  ASSERT_NE(shown, 0u) << "no X window titled " << title;

  // The window is where its rectangle says; the X window is its client
  // area, inside the frame (a window manager draws the frame around it).
  kvp::RECT rect;
  kvp::GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, left);
  EXPECT_EQ(rect.top, top);
  EXPECT_EQ(rect.right - rect.left, 420);
  EXPECT_EQ(rect.bottom - rect.top, 320);
  kvp::RECT client;
  kvp::GetClientRect(window, &client);
  kvp::POINT origin{0, 0};
  kvp::ClientToScreen(window, &origin);
  EXPECT_GT(origin.x, left);
  EXPECT_GT(origin.y, top);
  EXPECT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == origin.x && at.y == origin.y && at.width == client.right &&
           at.height == client.bottom;
  })) << "mapped at "
      << x_tools::GeometryOf(shown).x << "," << x_tools::GeometryOf(shown).y << " "
      << x_tools::GeometryOf(shown).width << "x" << x_tools::GeometryOf(shown).height;

  // The screenshot is the headless raster drawing: at most 0.1 % of the
  // pixels may differ by more than 24 in a channel (none do on a 24-bit
  // server), and the mean difference stays under 0.5.
  cairo_surface_t* raster = RasterOf(window, WindowPixels(window));
  cairo_surface_t* shot = ShotOf(window, shown);
  ASSERT_NE(shot, nullptr);
  const x_tools::Difference live = x_tools::Compare(shot, raster);
  EXPECT_LT(live.shareDiffering, 0.001);
  EXPECT_LT(live.meanPerChannel, 0.5);
  if (const char* keep = std::getenv("KV_GTK_KEEP_SHOTS")) {
    cairo_surface_write_to_png(shot, (std::string(keep) + "/shot-" + kind.name + ".png").c_str());
    cairo_surface_write_to_png(raster,
                               (std::string(keep) + "/raster-" + kind.name + ".png").c_str());
  }

  // And it is the reference screenshot kept for the type, within 2 % of
  // the pixels (another font version may move a few label pixels).
  const std::string reference = std::string(KV_GTK_FIXTURES) + "/chart-" + kind.name + ".png";
  if (std::getenv("KV_UPDATE_FIXTURES") != nullptr) {
    cairo_surface_write_to_png(shot, reference.c_str());
  }
  cairo_surface_t* kept = cairo_image_surface_create_from_png(reference.c_str());
  ASSERT_EQ(cairo_surface_status(kept), CAIRO_STATUS_SUCCESS) << reference;
  const x_tools::Difference old = x_tools::Compare(shot, kept);
  EXPECT_LT(old.shareDiffering, 0.02) << reference;
  EXPECT_LT(old.meanPerChannel, 3.0) << reference;
  cairo_surface_destroy(kept);
  cairo_surface_destroy(shot);
  cairo_surface_destroy(raster);

  Ok("grClearPict", 0, {T("G")});
  EXPECT_FALSE(x_tools::WindowShown(title)) << "the window went with the drawing";
}

INSTANTIATE_TEST_SUITE_P(EveryType, ChartTypeGtkTest,
                         ::testing::Values(TypeCase{0, "pie"}, TypeCase{1, "column"},
                                           TypeCase{2, "curve"}, TypeCase{3, "pie3d"},
                                           TypeCase{4, "column3d"}, TypeCase{5, "scatter"}),
                         [](const auto& each) { return std::string(each.param.name); });

TEST_F(ChartGtkTest, AnAllZeroRectangleKeepsTheDefaultPlaceOnTheScreen) {
  MakeChart("G", 1);
  ToWindow("G", "kv chart default place");
  Ok("grDraw", 0, {T("G")});
  kvp::HWND window = ChartWindowOf("G");
  ASSERT_NE(window, nullptr);
  Pump();
  const unsigned long shown = x_tools::WaitForWindow("kv chart default place");
  ASSERT_NE(shown, 0u);
  kvp::RECT rect;
  kvp::GetWindowRect(window, &rect);
  kvp::RECT client;
  kvp::GetClientRect(window, &client);
  kvp::POINT origin{0, 0};
  kvp::ClientToScreen(window, &origin);
  EXPECT_EQ(rect.right - rect.left, 640);
  EXPECT_TRUE(PumpUntil([&] {
    const x_tools::Geometry at = x_tools::GeometryOf(shown);
    return at.x == origin.x && at.y == origin.y && at.width == client.right &&
           at.height == client.bottom;
  }));
}

TEST_F(ChartGtkTest, ARealRightClickOpensTheMenuAndAKeyedChoiceChangesTheChart) {
  MakeChart("G", 1);  // a column chart
  ToWindow("G", "kv chart menu");
  Ok("grWndSize", 0, {T("G"), I(100), I(100), I(540), I(440)});
  Ok("grDraw", 0, {T("G")});
  kvp::HWND window = ChartWindowOf("G");
  ASSERT_NE(window, nullptr);
  Pump();
  const unsigned long shown = x_tools::WaitForWindow("kv chart menu");
  ASSERT_NE(shown, 0u);
  cairo_surface_t* before = ShotOf(window, shown);
  ASSERT_NE(before, nullptr);
  const std::vector<unsigned long> windowsBefore = x_tools::ViewableTopLevels();

  // The person: clicks right inside the chart, waits for the menu's window,
  // then types the mnemonics of "&Type de graphe" and "&Secteur".
  std::atomic<int> menuWindows{0};
  std::atomic<bool> typed{false};
  std::atomic<int> menuX{-1};
  std::atomic<int> menuY{-1};
  std::thread person([&] {
    x_tools::Run("xdotool mousemove --window " + std::to_string(shown) + " 60 70 click 3");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    unsigned long menu = 0;
    while (menu == 0 && std::chrono::steady_clock::now() < end) {
      menu = x_tools::NewWindowOnScreen(windowsBefore);
      if (menu == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (menu != 0) {
      menuWindows = 1;
      const x_tools::Geometry at = x_tools::GeometryOf(menu);
      menuX = at.x;
      menuY = at.y;
    }
    if (menuWindows == 0) {
      x_tools::Run("xdotool key Escape");  // nothing to choose from: give up
      return;
    }
    x_tools::Run("xdotool key t");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    x_tools::Run("xdotool key s");
    typed = true;
  });
  const bool changed =
      PumpUntil([&] { return Model("G") != nullptr && ModelOf("G").type() == ChartType::kPie; },
                std::chrono::milliseconds(8000));
  person.join();
  EXPECT_GT(menuWindows.load(), 0) << "no menu window appeared";
  // It opened under the pointer: the click's screen point.
  kvp::POINT click{60, 70};
  kvp::ClientToScreen(window, &click);
  EXPECT_EQ(menuX.load(), click.x);
  EXPECT_EQ(menuY.load(), click.y);
  EXPECT_TRUE(typed.load());
  ASSERT_TRUE(changed) << "the chart did not become a pie";
  const kvp::TrackedMenu menu = kvp::LastTrackedMenu();
  EXPECT_TRUE(menu.tracked);
  EXPECT_EQ(menu.chosen, 1010u);
  EXPECT_EQ(menu.owner, window);

  // The window shows the pie now, and the menu's window is gone.
  EXPECT_EQ(ChartWindowOf("G"), window);
  cairo_surface_t* after = ShotOf(window, shown);
  ASSERT_NE(after, nullptr);
  EXPECT_GT(x_tools::Compare(before, after).shareDiffering, 0.01) << "the picture did not change";
  EXPECT_TRUE(PumpUntil([&] { return x_tools::NewWindowOnScreen(windowsBefore) == 0; }));
  cairo_surface_destroy(after);
  cairo_surface_destroy(before);
}

}  // namespace
}  // namespace charttest
