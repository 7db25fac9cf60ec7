// grDessine, grEffaceDessin, grImprime. A drawing starts by taking up the
// settings changed since the last one; the pictures themselves come from
// the chart types' drawing operations.
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"
#include "chart/window/chart_window.h"

using namespace kv::chart;

int32_t KV_CALL GRAPH_bGrDessine(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrDessine, [](ChartCall& c) { RedrawChart(*c.chart); });
}

int32_t KV_CALL GRAPH_bGrEffaceDessin(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrEffaceDessin,
                          [](ChartCall& c) { c.chart->ClearDrawing(); });
}

int32_t KV_CALL GRAPH_bGrImprime(CallBlock* call) {
  // Printing draws with the settings as they stand and changes none of them.
  return RunChartFunction(call, GRAPH_bGrImprime, [](ChartCall& c) {
    PrintRect millimetres;
    if (kv::ext::SyntaxIndex(c.block) == 1) {
      millimetres = PrintRect{kv::ext::ArgInt16(c.block, 2), kv::ext::ArgInt16(c.block, 3),
                              kv::ext::ArgInt16(c.block, 4), kv::ext::ArgInt16(c.block, 5)};
    }
    c.chart->Print(nullptr, millimetres);
  });
}
