// The chart window: its class, its creation and placement, and WndProc.
#include "chart/draw/chart_layout.h"
#include "chart/window/chart_window.h"
#include "kv/chart.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kv::chart {

namespace {

// The class, registered once per module (looked up first).
bool EnsureChartClass(void* module) {
  kvp::WNDCLASSA windowClass{};
  if (kvp::GetClassInfoA(module, kChartClassName, &windowClass)) return true;
  windowClass.style = kvp::CS_HREDRAW | kvp::CS_VREDRAW;
  windowClass.lpfnWndProc = WndProc;
  windowClass.hInstance = module;
  windowClass.hCursor = kvp::LoadCursorA(nullptr, kvp::IDC_ARROW);
  windowClass.hbrBackground = static_cast<kvp::HBRUSH>(kvp::GetStockObject(kvp::WHITE_BRUSH));
  windowClass.lpszClassName = kChartClassName;
  return kvp::RegisterClassA(&windowClass) != 0;
}

bool AllZero(const WindowRect& rect) {
  return rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0;
}

}  // namespace

bool CreateChartWindow(Chart& chart) {
  if (!EnsureChartClass(chart.module)) return false;
  auto owner = static_cast<kvp::HWND>(chart.applied.destinationHandle);
  if (owner != nullptr && !kvp::IsWindow(owner)) return false;
  kvp::HWND window = kvp::CreateWindowExA(
      0, kChartClassName, chart.applied.destinationText.c_str(), kvp::WS_OVERLAPPEDWINDOW,
      kvp::CW_USEDEFAULT, kvp::CW_USEDEFAULT, kvp::CW_USEDEFAULT, kvp::CW_USEDEFAULT, owner,
      nullptr, chart.module, nullptr);
  if (window == nullptr) return false;
  const WindowRect& rect = chart.applied.windowRect;
  if (AllZero(rect)) {
    // The default place and size; only the window order is set.
    kvp::SetWindowPos(window, owner != nullptr ? owner : kvp::HWND_TOP, 0, 0, 0, 0,
                      kvp::SWP_NOMOVE | kvp::SWP_NOSIZE | kvp::SWP_NOACTIVATE);
  } else {
    kvp::SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, kvp::SWP_NOZORDER | kvp::SWP_NOACTIVATE);
  }
  chart.drawing.chartWindow = window;
  if (!SetChartProperty(window, chart)) {
    kvp::DestroyWindow(window);
    chart.drawing.chartWindow = nullptr;
    return false;
  }
  kvp::ShowWindow(window, kvp::SW_SHOWNORMAL);
  kvp::UpdateWindow(window);
  return true;
}

void DestroyChartWindow(Chart& chart) {
  kvp::HWND window = chart.drawing.chartWindow;
  if (window == nullptr) return;
  if (kvp::IsWindow(window)) kvp::DestroyWindow(window);
  // WM_DESTROY cleared both; a window that could not be destroyed (another
  // thread's) forgets its chart here.
  if (chart.drawing.propertyBlock != 0) RemoveChartProperty(window, chart);
  chart.drawing.chartWindow = nullptr;
}

void PaintChart(Chart& chart, kvp::HDC dc) {
  DrawingState& drawing = chart.drawing;
  const kvp::HDC keptDC = drawing.dc;
  const DestinationKind keptKind = drawing.kind;
  drawing.dc = dc;
  drawing.kind = DestinationKind::kWindow;
  const kvp::RECT whole{0, 0, kvp::GetDeviceCaps(dc, kvp::HORZRES),
                        kvp::GetDeviceCaps(dc, kvp::VERTRES)};
  kvp::FillRect(dc, &whole, static_cast<kvp::HBRUSH>(kvp::GetStockObject(kvp::WHITE_BRUSH)));
  const Box rect = DrawingRect(chart);
  drawing.screenWidth = rect.width();
  drawing.screenHeight = rect.height();
  chart.DrawBody();
  drawing.dc = keptDC;
  drawing.kind = keptKind;
}

void UnregisterChartClass(void* module) {
  kvp::UnregisterClassA(kChartClassName, module);
}

}  // namespace kv::chart

using namespace kv::chart;

intptr_t KV_CALL WndProc(void* window, unsigned int message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kvp::WM_PAINT: {
      Chart* chart = ChartOfWindow(window);
      if (chart == nullptr) break;
      kvp::PAINTSTRUCT paint;
      kvp::HDC dc = kvp::BeginPaint(window, &paint);
      if (dc == nullptr) return 0;
      // A repaint has no caller to report to: the error state stays as the
      // last language function left it.
      const ErrorState kept = chart->errorState();
      PaintChart(*chart, dc);
      chart->SetError(kept);
      kvp::EndPaint(window, &paint);
      return 0;
    }
    case kvp::WM_ERASEBKGND:
      // The paint fills the whole client area itself: erasing first would
      // fill it twice.
      if (ChartOfWindow(window) != nullptr) return 1;
      break;
    case kvp::WM_DESTROY: {
      Chart* chart = ChartOfWindow(window);
      if (chart != nullptr) {
        if (chart->drawing.chartWindow == window) chart->drawing.chartWindow = nullptr;
        RemoveChartProperty(window, *chart);
      }
      break;
    }
    case kvp::WM_COMMAND:
      // Menu commands only: a control's notification carries its window.
      if (lParam == 0) RunMenuCommand(window, kvp::LOWORD(wParam));
      return 0;
    case kvp::WM_RBUTTONDOWN: {
      Chart* chart = ChartOfWindow(window);
      if (chart != nullptr && chart->menuEnabled != 0) {
        OpenPopupMenu(window, *chart, kvp::GET_X_LPARAM(lParam), kvp::GET_Y_LPARAM(lParam));
      }
      return 0;
    }
    default:
      break;
  }
  return kvp::DefWindowProcA(window, message, wParam, lParam);
}
