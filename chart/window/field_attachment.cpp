// A chart on a field of a program window: the field's procedure is
// replaced by NewKVWndProcWhenkUse while the chart covers it.
#include "chart/window/chart_window.h"
#include "kv/chart.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kv::chart {

namespace {

kvp::WNDPROC FieldProcedure() {
  return NewKVWndProcWhenkUse;
}

}  // namespace

bool AttachToField(Chart& chart) {
  auto field = static_cast<kvp::HWND>(chart.applied.fieldWindow);
  if (field == nullptr || !kvp::IsWindow(field)) return false;
  if (chart.drawing.coveredField == field) return true;
  if (chart.drawing.coveredField != nullptr) DetachFromField(chart);
  // Another chart covering the field gives it back first, so that one
  // procedure and one property are ever in place.
  if (Chart* other = ChartOfWindow(field); other != nullptr && other != &chart) {
    other->ClearDrawing();
  }
  const auto current =
      reinterpret_cast<kvp::WNDPROC>(kvp::GetWindowLongPtrA(field, kvp::GWLP_WNDPROC));
  if (current != FieldProcedure()) {
    chart.drawing.fieldProcedure = reinterpret_cast<void*>(current);
    kvp::SetWindowLongPtrA(field, kvp::GWLP_WNDPROC,
                           reinterpret_cast<kvp::LONG_PTR>(FieldProcedure()));
  }
  if (!SetChartProperty(field, chart)) {
    if (chart.drawing.fieldProcedure != nullptr) {
      kvp::SetWindowLongPtrA(field, kvp::GWLP_WNDPROC,
                             reinterpret_cast<kvp::LONG_PTR>(chart.drawing.fieldProcedure));
    }
    chart.drawing.fieldProcedure = nullptr;
    return false;
  }
  chart.drawing.coveredField = field;
  return true;
}

void DetachFromField(Chart& chart) {
  kvp::HWND field = chart.drawing.coveredField;
  if (field == nullptr) return;
  if (kvp::IsWindow(field)) {
    const auto current =
        reinterpret_cast<kvp::WNDPROC>(kvp::GetWindowLongPtrA(field, kvp::GWLP_WNDPROC));
    if (current == FieldProcedure() && chart.drawing.fieldProcedure != nullptr) {
      kvp::SetWindowLongPtrA(field, kvp::GWLP_WNDPROC,
                             reinterpret_cast<kvp::LONG_PTR>(chart.drawing.fieldProcedure));
    }
    RemoveChartProperty(field, chart);
    kvp::InvalidateRect(field, nullptr, kvp::FALSE_);
  } else if (chart.drawing.propertyBlock != 0) {
    RemoveChartProperty(field, chart);
  }
  chart.drawing.coveredField = nullptr;
  chart.drawing.fieldProcedure = nullptr;
}

}  // namespace kv::chart

using namespace kv::chart;

intptr_t KV_CALL NewKVWndProcWhenkUse(void* window, unsigned int message, uintptr_t wParam,
                                      intptr_t lParam) {
  Chart* chart = ChartOfWindow(window);
  const auto previous =
      chart != nullptr ? reinterpret_cast<kvp::WNDPROC>(chart->drawing.fieldProcedure) : nullptr;
  const intptr_t answer = previous != nullptr
                              ? kvp::CallWindowProcA(previous, window, message, wParam, lParam)
                              : kvp::DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case kvp::WM_COMMAND:
      if (lParam == 0) {
        RunMenuCommand(window, kvp::LOWORD(wParam));
        return 0;
      }
      return answer;
    case kvp::WM_RBUTTONDOWN:
      // The previous procedure may have changed things: the chart again.
      chart = ChartOfWindow(window);
      if (chart != nullptr && chart->menuEnabled != 0) {
        OpenPopupMenu(window, *chart, kvp::GET_X_LPARAM(lParam), kvp::GET_Y_LPARAM(lParam));
      }
      return 0;
    case kvp::WM_NCDESTROY:
      // The field goes before the chart lets it go: the chart forgets it.
      chart = ChartOfWindow(window);
      if (chart != nullptr && chart->drawing.coveredField == window) {
        RemoveChartProperty(window, *chart);
        chart->drawing.coveredField = nullptr;
        chart->drawing.fieldProcedure = nullptr;
      }
      return answer;
    default:
      return answer;
  }
}
