#include "chart/model/instance_lists.h"

#include <new>

#include "chart/model/chart_list.h"
#include "chart/model/font_list.h"

namespace kv::chart {

KvChartList* CreateChartList() {
  return new (std::nothrow) KvChartList;
}

void DestroyChartList(KvChartList* list) {
  if (list == nullptr) return;
  while (!list->charts.empty()) DiscardChart(TakeChart(*list, list->charts.size() - 1));
  delete list;
}

KvFontList* CreateFontList() {
  return new (std::nothrow) KvFontList;
}

void DestroyFontList(KvFontList* list) {
  delete list;
}

}  // namespace kv::chart
