// grCrée, grType, grSupprimeTout: making, converting and deleting charts.
#include "chart/command/chart_strings.h"
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"
#include "chart/model/chart_factory.h"
#include "chart/model/chart_name.h"
#include "chart/window/chart_window.h"

using kv::ext::ArgInt16;
using kv::ext::ArgText;

namespace kv::chart {
namespace {

int32_t CreateNamedChart(CallBlock& block) {
  if (!DeclaresSyntax(GRAPH_bGrCree, block)) return 0;
  auto* instance = static_cast<InstanceContext*>(kv::ext::InstanceOf(block));
  char* name = ArgText(block, 1);
  if (instance == nullptr || instance->charts == nullptr) {
    return ReportChartError(block, kErrorKind2, kMessageChartNotCreated);
  }
  if (name == nullptr) return ReportChartError(block, kErrorKind2, kMessageIncorrectParameter);
  UpperCaseInPlace(name);

  // Everything is made before the old chart goes, so that running out of
  // memory leaves the list as it was.
  std::unique_ptr<Chart> chart = CreateChart(ChartTypeFromNumber(ArgInt16(block, 2)));
  chart->module = kv::ext::ModuleOf(block);
  chart->name = name;
  chart->language = instance->language;
  KvChartList& list = *instance->charts;
  ReserveChartSlot(list);
  if (const std::optional<size_t> old = FindChart(list, chart->name)) {
    DiscardChart(TakeChart(list, *old));
  }
  AppendChart(list, std::move(chart));
  return 1;
}

}  // namespace
}  // namespace kv::chart

using namespace kv::chart;

int32_t KV_CALL GRAPH_bGrCree(CallBlock* call) {
  if (call == nullptr) return 0;
  try {
    return CreateNamedChart(*call);
  } catch (const std::bad_alloc&) {
    return ReportChartError(*call, kErrorKind2, kMessageDataOverflow);
  }
}

int32_t KV_CALL GRAPH_bGrType(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrType, [](ChartCall& c) {
    // The window or field showing the chart is handed to the new one.
    c.chart =
        ChangeChartType(*c.instance.charts, c.index, ChartTypeFromNumber(ArgInt16(c.block, 2)));
  });
}

int32_t KV_CALL GRAPH_bGrSupprimeTout(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrSupprimeTout, [](ChartCall& c) {
    DiscardChart(TakeChart(*c.instance.charts, c.index));
    c.chart = nullptr;
  });
}
