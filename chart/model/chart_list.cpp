#include "chart/model/chart_list.h"

namespace kv::chart {

std::optional<size_t> FindChart(const KvChartList& list, std::string_view name) {
  for (size_t i = 0; i < list.charts.size(); ++i) {
    if (list.charts[i]->name == name) return i;
  }
  return std::nullopt;
}

void ReserveChartSlot(KvChartList& list) {
  if (list.charts.size() == list.charts.capacity()) {
    list.charts.reserve(list.charts.size() + kChartListGrowth);
  }
}

void AppendChart(KvChartList& list, std::unique_ptr<Chart> chart) {
  ReserveChartSlot(list);
  chart->list = &list;
  list.charts.push_back(std::move(chart));
}

std::unique_ptr<Chart> ReplaceChart(KvChartList& list, size_t index, std::unique_ptr<Chart> chart) {
  chart->list = &list;
  list.charts[index].swap(chart);
  return chart;
}

std::unique_ptr<Chart> TakeChart(KvChartList& list, size_t index) {
  std::unique_ptr<Chart> chart = std::move(list.charts[index]);
  list.charts.erase(list.charts.begin() + static_cast<std::ptrdiff_t>(index));
  chart->list = nullptr;
  return chart;
}

void DiscardChart(std::unique_ptr<Chart> chart) {
  if (!chart) return;
  chart->ClearDrawing();
  chart.reset();
}

}  // namespace kv::chart
