// The drawing function's frame and the type change, shared by the
// language functions and the popup menu.
#include "chart/model/chart_factory.h"
#include "chart/model/chart_list.h"
#include "chart/window/chart_window.h"

namespace kv::chart {

namespace {

bool SameRect(const WindowRect& a, const WindowRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool DestinationChanged(const ChartSettings& applied, const ChartSettings& pending) {
  return applied.destinationKind != pending.destinationKind ||
         applied.destinationHandle != pending.destinationHandle ||
         applied.fieldWindow != pending.fieldWindow ||
         applied.destinationText != pending.destinationText ||
         !SameRect(applied.windowRect, pending.windowRect);
}

}  // namespace

void RedrawChart(Chart& chart) {
  if (chart.settingsChanged()) {
    // The window or field stays when only what it shows changed: a legend
    // chosen in the menu does not make the window jump back to its place.
    if (DestinationChanged(chart.applied, chart.pending)) chart.ClearDrawing();
    chart.ApplySettings();
  }
  chart.Draw();
}

Chart* ChangeChartType(KvChartList& list, size_t index, ChartType type) {
  std::unique_ptr<Chart> converted = ConvertChart(*list.charts[index], type);
  Chart* now = converted.get();
  std::unique_ptr<Chart> old = ReplaceChart(list, index, std::move(converted));
  // The window or field showing the old chart now shows the new one: the
  // old chart's destructor must not take them down.
  HandOverDrawing(*old, *now);
  old.reset();
  return now;
}

}  // namespace kv::chart
