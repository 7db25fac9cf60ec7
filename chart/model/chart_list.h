// The charts of one host instance, in creation order, found by name.
#pragma once
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "chart/model/chart.h"

struct KvChartList {
  std::vector<std::unique_ptr<kv::chart::Chart>> charts;
};

namespace kv::chart {

// Grows the list this many entries at a time.
inline constexpr size_t kChartListGrowth = 20;

// The position of the chart whose (upper-case) name is `name`.
std::optional<size_t> FindChart(const KvChartList& list, std::string_view name);

// Makes room for one more chart (the list grows kChartListGrowth entries at
// a time); throws std::bad_alloc when memory runs out.
void ReserveChartSlot(KvChartList& list);

// Appends the chart and links it to the list.
void AppendChart(KvChartList& list, std::unique_ptr<Chart> chart);

// Puts `chart` in the place of the one at `index` and returns the old one.
std::unique_ptr<Chart> ReplaceChart(KvChartList& list, size_t index, std::unique_ptr<Chart> chart);

// Removes the chart at `index` from the list and returns it.
std::unique_ptr<Chart> TakeChart(KvChartList& list, size_t index);

// Clears a chart's drawing and destroys it: what happens to a chart that
// leaves its instance for good.
void DiscardChart(std::unique_ptr<Chart> chart);

}  // namespace kv::chart
