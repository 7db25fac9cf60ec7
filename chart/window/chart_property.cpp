// The "TWKKVGraph" property: a global block holding the chart's address
// (pointer-sized), set on every window that shows the chart.
#include <cstring>

#include "chart/window/chart_window.h"
#include "platform/kernel/memory.h"
#include "platform/ui/window.h"

namespace kv::chart {

namespace {

kvp::HANDLE AsProperty(kvp::HGLOBAL block) {
  return reinterpret_cast<kvp::HANDLE>(static_cast<uintptr_t>(block));
}

kvp::HGLOBAL AsBlock(kvp::HANDLE property) {
  return static_cast<kvp::HGLOBAL>(reinterpret_cast<uintptr_t>(property));
}

bool WriteAddress(kvp::HGLOBAL block, Chart* chart) {
  void* bytes = kvp::GlobalLock(block);
  if (bytes == nullptr) return false;
  std::memcpy(bytes, &chart, sizeof chart);
  kvp::GlobalUnlock(block);
  return true;
}

}  // namespace

// Sets the property on the window with a new block; false when out of memory.
bool SetChartProperty(kvp::HWND window, Chart& chart) {
  kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GMEM_MOVEABLE, sizeof(Chart*));
  if (block == 0) return false;
  if (!WriteAddress(block, &chart) || !kvp::SetPropA(window, kChartProperty, AsProperty(block))) {
    kvp::GlobalFree(block);
    return false;
  }
  chart.drawing.propertyBlock = block;
  return true;
}

// Removes the property from the window and frees its block.
void RemoveChartProperty(kvp::HWND window, Chart& chart) {
  kvp::HGLOBAL block = AsBlock(kvp::RemovePropA(window, kChartProperty));
  if (block != 0) kvp::GlobalFree(block);
  if (chart.drawing.propertyBlock == block) chart.drawing.propertyBlock = 0;
}

Chart* ChartOfWindow(kvp::HWND window) {
  kvp::HGLOBAL block = AsBlock(kvp::GetPropA(window, kChartProperty));
  if (block == 0 || kvp::GlobalSize(block) < sizeof(Chart*)) return nullptr;
  const void* bytes = kvp::GlobalLock(block);
  if (bytes == nullptr) return nullptr;
  Chart* chart = nullptr;
  std::memcpy(&chart, bytes, sizeof chart);
  kvp::GlobalUnlock(block);
  return chart;
}

void HandOverDrawing(Chart& from, Chart& to) {
  to.drawing = from.drawing;
  from.drawing = DrawingState{};
  if (to.drawing.propertyBlock != 0) WriteAddress(to.drawing.propertyBlock, &to);
}

}  // namespace kv::chart
