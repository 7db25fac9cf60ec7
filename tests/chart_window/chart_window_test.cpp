// The chart window and the field: creation, placement, property, reuse,
// recreation after a close, the field given back exactly, the exports.
#include <string_view>

#include "platform/ui/ui_backend.h"
#include "tests/chart_window/window_fixture.h"

namespace charttest {
namespace {

using kv::chart::Chart;

bool Blank(const std::vector<uint32_t>& pixels) {
  for (uint32_t pixel : pixels) {
    if (pixel != kvp::RGB(255, 255, 255)) return false;
  }
  return true;
}

TEST_F(ChartWindowTest, TheProceduresAreExportedByName) {
  EXPECT_NE(library_.Symbol("WndProc"), nullptr);
  EXPECT_NE(library_.Symbol("NewKVWndProcWhenkUse"), nullptr);
}

TEST_F(ChartWindowTest, AWindowDestinationMakesAnOwnedChartWindowAtTheDefaultPlace) {
  MakeChart("G", 1);
  ToWindow("G", "Ventes 2026");
  Ok("grDraw", 0, {T("G")});
  kvp::HWND window = ChartWindowOf("G");
  ASSERT_NE(window, nullptr);
  char name[32];
  kvp::GetClassNameA(window, name, sizeof name);
  EXPECT_STREQ(name, "TWK_Graphe");
  kvp::WNDCLASSA windowClass{};
  // The class is the library module's own, as the system keeps classes.
  ASSERT_TRUE(kvp::GetClassInfoA(static_cast<kvp::HINSTANCE>(library_.module()), "TWK_Graphe",
                                 &windowClass));
  EXPECT_EQ(reinterpret_cast<void*>(windowClass.lpfnWndProc), library_.Symbol("WndProc"));
  EXPECT_EQ(windowClass.style, kvp::CS_HREDRAW | kvp::CS_VREDRAW);
  char title[32];
  kvp::GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Ventes 2026");
  EXPECT_EQ(kvp::GetWindow(window, kvp::GW_OWNER), host_);
  EXPECT_TRUE(kvp::IsWindowVisible(window));
  const kvp::LONG_PTR style = kvp::GetWindowLongPtrA(window, kvp::GWL_STYLE);
  EXPECT_EQ(style & kvp::WS_OVERLAPPEDWINDOW, kvp::WS_OVERLAPPEDWINDOW);
  kvp::RECT rect;
  kvp::GetWindowRect(window, &rect);
  // The default place and size are the window system's: the layer's own
  // screens cascade 640 x 480 windows; Windows chooses its own.
  if (std::string_view(kvp::UiBackendName()) != "win32") {
    EXPECT_EQ(rect.right - rect.left, 640) << "the default size with an all-zero rectangle";
    EXPECT_EQ(rect.bottom - rect.top, 480);
    EXPECT_EQ((rect.left - 16) % 24, 0) << "a default (cascading) place";
  } else {
    EXPECT_GT(rect.right - rect.left, 0);
    EXPECT_GT(rect.bottom - rect.top, 0);
  }

  // The property: a pointer-sized block holding the chart's address.
  auto block =
      static_cast<kvp::HGLOBAL>(reinterpret_cast<uintptr_t>(kvp::GetPropA(window, "TWKKVGraph")));
  ASSERT_NE(block, 0u);
  EXPECT_EQ(kvp::GlobalSize(block), sizeof(void*));
  const void* address = nullptr;
  std::memcpy(&address, kvp::GlobalLock(block), sizeof address);
  kvp::GlobalUnlock(block);
  EXPECT_EQ(address, Model("G"));
  EXPECT_FALSE(Blank(WindowPixels(window))) << "the chart is painted";

  // A second drawing without changes reuses the window.
  Ok("grDraw", 0, {T("G")});
  EXPECT_EQ(ChartWindowOf("G"), window);
  // Another title keeps the window; another caption makes a new one.
  Ok("grTitle", 2, {T("G"), T("Autre"), I(1)});
  Ok("grDraw", 0, {T("G")});
  EXPECT_EQ(ChartWindowOf("G"), window);
  ToWindow("G", "Autre fenetre");
  Ok("grDraw", 0, {T("G")});
  EXPECT_FALSE(kvp::IsWindow(window));
  EXPECT_TRUE(kvp::IsWindow(ChartWindowOf("G")));

  Ok("grClearPict", 0, {T("G")});
  EXPECT_EQ(ChartWindowOf("G"), nullptr);
}

TEST_F(ChartWindowTest, AWindowRectanglePlacesAndSizesTheWindowWithoutActivation) {
  MakeChart("G", 0);
  ToWindow("G");
  Ok("grWndSize", 0, {T("G"), I(100), I(80), I(500), I(380)});
  kvp::SetForegroundWindow(host_);
  Ok("grDraw", 0, {T("G")});
  kvp::RECT rect;
  ASSERT_TRUE(kvp::GetWindowRect(ChartWindowOf("G"), &rect));
  EXPECT_EQ(rect.left, 100);
  EXPECT_EQ(rect.top, 80);
  EXPECT_EQ(rect.right, 500);
  EXPECT_EQ(rect.bottom, 380);
}

TEST_F(ChartWindowTest, AClosedChartWindowIsMadeAgainByTheNextDrawing) {
  MakeChart("G", 2);
  ToWindow("G");
  Ok("grDraw", 0, {T("G")});
  kvp::HWND first = ChartWindowOf("G");
  const size_t blocks = kvp::GlobalLiveBlocks();
  // The user closes it.
  kvp::SendMessageA(first, kvp::WM_CLOSE, 0, 0);
  EXPECT_FALSE(kvp::IsWindow(first));
  EXPECT_EQ(ChartWindowOf("G"), nullptr) << "the procedure forgot the window";
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks - 1) << "the property's block was freed";
  Ok("grDraw", 0, {T("G")});
  kvp::HWND second = ChartWindowOf("G");
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(kvp::IsWindowVisible(second));
  EXPECT_FALSE(Blank(WindowPixels(second)));
}

TEST_F(ChartWindowTest, AFieldIsCoveredAndGivenBackExactly) {
  const std::vector<uint32_t> before = FieldPixels();
  const auto fieldProcedure = kvp::GetWindowLongPtrA(field_.window, kvp::GWLP_WNDPROC);
  MakeChart("F", 4);
  ToField("F");
  Ok("grDraw", 0, {T("F")});
  EXPECT_NE(FieldPixels(), before) << "the chart covers the field";
  EXPECT_EQ(kvp::GetWindowLongPtrA(field_.window, kvp::GWLP_WNDPROC),
            reinterpret_cast<kvp::LONG_PTR>(library_.Symbol("NewKVWndProcWhenkUse")));
  EXPECT_NE(kvp::GetPropA(field_.window, "TWKKVGraph"), nullptr);
  Pump();
  // The field's own painting still runs (its previous procedure).
  const std::vector<uint32_t> shown = WindowPixels(field_.window);
  EXPECT_EQ(shown, FieldPixels());

  // A second drawing does not put the procedure in place twice.
  Ok("grDraw", 0, {T("F")});
  Ok("grLegend", 0, {T("F"), I(2)});
  Ok("grDraw", 0, {T("F")});
  Ok("grClearPict", 0, {T("F")});
  EXPECT_EQ(FieldPixels(), before) << "the field's picture restored exactly";
  EXPECT_EQ(kvp::GetWindowLongPtrA(field_.window, kvp::GWLP_WNDPROC), fieldProcedure);
  EXPECT_EQ(kvp::GetPropA(field_.window, "TWKKVGraph"), nullptr);
  Ok("grClearPict", 0, {T("F")});
  EXPECT_EQ(FieldPixels(), before);
}

TEST_F(ChartWindowTest, DeletingTheChartOrTheInstanceTakesItsWindowAndGivesTheFieldBack) {
  const std::vector<uint32_t> before = FieldPixels();
  const auto fieldProcedure = kvp::GetWindowLongPtrA(field_.window, kvp::GWLP_WNDPROC);
  MakeChart("W", 0);
  ToWindow("W");
  Ok("grDraw", 0, {T("W")});
  MakeChart("F", 1);
  ToField("F");
  Ok("grDraw", 0, {T("F")});
  kvp::HWND window = ChartWindowOf("W");
  Ok("grDeleteAll", 0, {T("W")});
  EXPECT_FALSE(kvp::IsWindow(window));
  ASSERT_TRUE(library_.DestroyInstance());
  EXPECT_EQ(FieldPixels(), before);
  EXPECT_EQ(kvp::GetWindowLongPtrA(field_.window, kvp::GWLP_WNDPROC), fieldProcedure);
}

TEST_F(ChartWindowTest, AFieldDestroyedUnderTheChartIsForgotten) {
  MakeChart("F", 2);
  ToField("F");
  Ok("grDraw", 0, {T("F")});
  const size_t blocks = kvp::GlobalLiveBlocks();
  ASSERT_TRUE(kvp::DestroyWindow(field_.window));
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks - 1) << "the property's block went with the field";
  EXPECT_EQ(Model("F")->drawing.coveredField, nullptr);
  Ok("grClearPict", 0, {T("F")});
  // Drawing into the field's context still works without its window.
  Ok("grDraw", 0, {T("F")});
}

TEST_F(ChartWindowTest, ABadOwnerIsNoDestination) {
  MakeChart("G", 0);
  Ok("grDestinationWnd", 0,
     {T("G"), Argument::Window(reinterpret_cast<void*>(0x5150)), T("nowhere")});
  const CallOutcome outcome = Call("grDraw", 0, {T("G")});
  EXPECT_EQ(outcome.returned, 0);
  EXPECT_EQ(outcome.errorMessage, 1u) << "no destination";
  EXPECT_EQ(ChartWindowOf("G"), nullptr);
}

}  // namespace
}  // namespace charttest
