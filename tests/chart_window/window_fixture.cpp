#include "tests/chart_window/window_fixture.h"

namespace charttest {

namespace {

kvp::LRESULT KVP_CALLBACK HostProcedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                                        kvp::LPARAM lParam) {
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

// The field shows its memory picture.
kvp::LRESULT KVP_CALLBACK FieldProcedure(kvp::HWND window, kvp::UINT message, kvp::WPARAM wParam,
                                         kvp::LPARAM lParam) {
  if (message == kvp::WM_PAINT) {
    auto source = reinterpret_cast<kvp::HDC>(kvp::GetWindowLongPtrA(window, kvp::GWLP_USERDATA));
    kvp::PAINTSTRUCT paint;
    kvp::HDC dc = kvp::BeginPaint(window, &paint);
    kvp::RECT client;
    kvp::GetClientRect(window, &client);
    kvp::BitBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, kvp::SRCCOPY);
    kvp::EndPaint(window, &paint);
    return 0;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int Pump() {
  int count = 0;
  kvp::MSG message;
  while (count < 10000 && kvp::PeekMessageA(&message, nullptr, 0, 0, kvp::PM_REMOVE)) {
    kvp::DispatchMessageA(&message);
    ++count;
  }
  return count;
}

void ChartWindowTest::SetUp() {
  windowsBefore_ = kvp::UiLiveWindows();
  classesBefore_ = kvp::UiLiveClasses();
  menusBefore_ = kvp::UiLiveMenus();
  ChartTest::SetUp();
  kvp::ClearMenuChoices();
  kvp::WNDCLASSA host{};
  host.lpfnWndProc = HostProcedure;
  host.lpszClassName = "ChartTestHost";
  ASSERT_NE(kvp::RegisterClassA(&host), 0);
  kvp::WNDCLASSA field{};
  field.lpfnWndProc = FieldProcedure;
  field.lpszClassName = "ChartTestField";
  ASSERT_NE(kvp::RegisterClassA(&field), 0);
  host_ =
      kvp::CreateWindowExA(0, "ChartTestHost", "host", kvp::WS_OVERLAPPEDWINDOW | kvp::WS_VISIBLE,
                           20, 20, 800, 600, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(host_, nullptr);
  field_.width = 320;
  field_.height = 240;
  field_.window =
      kvp::CreateWindowExA(0, "ChartTestField", "", kvp::WS_CHILD | kvp::WS_VISIBLE, 400, 100,
                           field_.width, field_.height, host_, nullptr, nullptr, nullptr);
  ASSERT_NE(field_.window, nullptr);
  field_.dc = kvp::CreateCompatibleDC(nullptr);
  field_.bitmap = kvp::CreateCompatibleBitmap(field_.dc, field_.width, field_.height);
  field_.oldBitmap = kvp::SelectObject(field_.dc, field_.bitmap);
  kvp::SetWindowLongPtrA(field_.window, kvp::GWLP_USERDATA,
                         reinterpret_cast<kvp::LONG_PTR>(field_.dc));
  // The field's own picture: stripes the chart must give back exactly.
  for (int y = 0; y < field_.height; y += 8) {
    kvp::HBRUSH brush = kvp::CreateSolidBrush(kvp::RGB(static_cast<kvp::BYTE>(y), 90, 200));
    kvp::RECT band{0, y, field_.width, y + 4};
    kvp::FillRect(field_.dc, &band, brush);
    kvp::DeleteObject(brush);
  }
  Pump();
}

void ChartWindowTest::TearDown() {
  Pump();
  if (library_.instance() != nullptr) {
    EXPECT_TRUE(library_.DestroyInstance());
  }
  EXPECT_EQ(kvp::UiLiveClasses(), classesBefore_ + 2) << "the chart class stayed";
  kvp::DestroyWindow(host_);
  kvp::SelectObject(field_.dc, field_.oldBitmap);
  kvp::DeleteObject(field_.bitmap);
  kvp::DeleteDC(field_.dc);
  EXPECT_TRUE(kvp::UnregisterClassA("ChartTestHost", nullptr));
  EXPECT_TRUE(kvp::UnregisterClassA("ChartTestField", nullptr));
  kvp::SetChooseFontHook(nullptr, nullptr);
  kvp::SetPrintDlgHook(nullptr, nullptr);
  ChartTest::TearDown();
  EXPECT_EQ(kvp::UiLiveWindows(), windowsBefore_) << "a window was left behind";
  EXPECT_EQ(kvp::UiLiveClasses(), classesBefore_) << "a class was left behind";
  EXPECT_EQ(kvp::UiLiveMenus(), menusBefore_) << "a menu was left behind";
}

void ChartWindowTest::MakeChart(const std::string& name, int type) {
  Ok("grCreate", 0, {T(name), I(type)});
  for (int series = 1; series <= 2; ++series) {
    for (int category = 1; category <= 3; ++category) {
      Ok("grAddData", 1, {T(name), I(series), I(category), D(series * 10.0 + category * 3)});
    }
  }
}

void ChartWindowTest::ToWindow(const std::string& name, const std::string& caption) {
  Ok("grDestinationWnd", 0, {T(name), Argument::Window(host_), T(caption)});
}

void ChartWindowTest::ToField(const std::string& name) {
  FieldReference reference{};
  reference.deviceContext = field_.dc;
  reference.window = field_.window;
  Ok("grDestinationField", 0, {T(name), Argument::Field(reference)});
}

void ChartWindowTest::ChooseFromMenu(kvp::HWND window, unsigned command, int x, int y) {
  kvp::QueueMenuChoice(command);
  ASSERT_TRUE(kvp::InjectClick(window, x, y, true));
  Pump();
  EXPECT_EQ(kvp::PendingMenuChoices(), 0u) << "no menu took the choice";
  kvp::ClearMenuChoices();
}

kvp::HWND ChartWindowTest::ChartWindowOf(const std::string& upperName) {
  const kv::chart::Chart* chart = Model(upperName);
  return chart != nullptr ? chart->drawing.chartWindow : nullptr;
}

std::vector<uint32_t> ChartWindowTest::Pixels(kvp::HBITMAP bitmap) {
  kvp::BITMAP record{};
  kvp::GetObjectA(bitmap, sizeof record, &record);
  std::vector<uint32_t> pixels;
  kvp::HDC dc = kvp::CreateCompatibleDC(nullptr);
  kvp::HGDIOBJ old = kvp::SelectObject(dc, bitmap);
  for (int y = 0; y < record.bmHeight; ++y) {
    for (int x = 0; x < record.bmWidth; ++x) pixels.push_back(kvp::GetPixel(dc, x, y));
  }
  kvp::SelectObject(dc, old);
  kvp::DeleteDC(dc);
  return pixels;
}

std::vector<uint32_t> ChartWindowTest::WindowPixels(kvp::HWND window) {
  kvp::HBITMAP picture = kvp::CopyWindowPicture(window);
  std::vector<uint32_t> pixels = Pixels(picture);
  kvp::DeleteObject(picture);
  return pixels;
}

std::vector<uint32_t> ChartWindowTest::FieldPixels() {
  // The bitmap stays in the field's context: read through it.
  std::vector<uint32_t> pixels;
  for (int y = 0; y < field_.height; ++y) {
    for (int x = 0; x < field_.width; ++x) pixels.push_back(kvp::GetPixel(field_.dc, x, y));
  }
  return pixels;
}

}  // namespace charttest
