// grQuadrillage, grTitreAxe, grGraduation, grHistoEspacement, grRelief,
// grNuageReliePoint, grNuageTaillePoint, grSecteurAngleDépart,
// grSecteurPartExcentrée: settings that only some chart types keep. A type
// that lacks one ignores it, and the call succeeds.
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"

using kv::ext::ArgDouble;
using kv::ext::ArgInt;
using kv::ext::ArgInt16;
using namespace kv::chart;

namespace {

// Axis 0 is the vertical axis, any other number the horizontal one.
bool IsVerticalAxis(int32_t axis) {
  return axis == 0;
}

}  // namespace

int32_t KV_CALL GRAPH_bGrQuadrillage(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrQuadrillage, [](ChartCall& c) {
    const int32_t on = ArgInt(c.block, 2);
    if (IsVerticalAxis(ArgInt(c.block, 3))) {
      c.chart->SetVerticalGrid(on);
    } else {
      c.chart->SetHorizontalGrid(on);
    }
  });
}

int32_t KV_CALL GRAPH_bGrTitreAxe(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrTitreAxe, [](ChartCall& c) {
    const std::string_view title = ArgTextOrEmpty(c.block, 2);
    if (IsVerticalAxis(ArgInt(c.block, 3))) {
      c.chart->SetVerticalAxisTitle(title);
    } else {
      c.chart->SetHorizontalAxisTitle(title);
    }
  });
}

int32_t KV_CALL GRAPH_bGrGraduation(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrGraduation, [](ChartCall& c) {
    const double step = ArgDouble(c.block, 2);
    if (IsVerticalAxis(ArgInt(c.block, 3))) {
      c.chart->SetVerticalStep(step);
    } else {
      c.chart->SetHorizontalStep(step);
    }
  });
}

int32_t KV_CALL GRAPH_bGrEspacement(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrEspacement,
                          [](ChartCall& c) { c.chart->SetColumnSpacing(ArgInt(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrRelief(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrRelief,
                          [](ChartCall& c) { c.chart->SetReliefDepth(ArgInt(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrNuageReliePoints(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrNuageReliePoints,
                          [](ChartCall& c) { c.chart->SetLinkPoints(ArgInt(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrNuageTaillePoint(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrNuageTaillePoint,
                          [](ChartCall& c) { c.chart->SetPointSize(ArgInt(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrSecteurAngleDepart(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrSecteurAngleDepart,
                          [](ChartCall& c) { c.chart->SetStartAngle(ArgInt16(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrSecteurExcentree(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrSecteurExcentree, [](ChartCall& c) {
    c.chart->SetExplodedSector(ArgInt(c.block, 2), ArgInt(c.block, 3));
  });
}
