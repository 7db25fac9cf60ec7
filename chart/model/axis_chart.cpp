#include "chart/model/axis_chart.h"

#include <algorithm>
#include <cmath>

#include "chart/model/saturated_abs.h"

namespace kv::chart {

void AxisChart::SetHorizontalGrid(int32_t on) {
  horizontalGrid_ = on;
  SetMenuCheck(kMenuGridHorizontal, on != 0);
}

void AxisChart::SetVerticalStep(double step) {
  verticalStep_ = std::fabs(step);
}

void Column3DChart::SetReliefDepth(int32_t depth) {
  reliefDepth_ = SaturatedAbs(depth);
}

void CurveChart::SetVerticalGrid(int32_t on) {
  verticalGrid_ = on;
  SetMenuCheck(kMenuGridVertical, on != 0);
}

void ScatterChart::SetPointSize(int32_t size) {
  pointSize_ = std::clamp(size, kSmallestPoint, kLargestPoint);
}

}  // namespace kv::chart
