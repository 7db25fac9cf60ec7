#include "chart/draw/value_scale.h"

#include <cmath>

namespace kv::chart {

double AutomaticStep(double range, long axisUnits) {
  const double d = range;
  if (d == 0) return 0.1;
  const double units = static_cast<double>(axisUnits);
  double step = std::pow(10.0, std::floor(std::log10(d)));
  if (d / step <= 2 && (step / (5 * d)) * units > 20) step /= 5;
  if (d / step <= 5 && (step / (2 * d)) * units > 20) step /= 2;
  double count = std::ceil(d / step);
  if (units / count <= 20 && count >= 2) step *= 2;
  count = std::ceil(d / step);
  if (units / count <= 20 && count >= 2) step *= 5;
  return step;
}

bool Graduations(double bottom, double top, double step, int64_t* lowest, int64_t* highest) {
  if (!(step > 0) || !std::isfinite(step)) return false;
  const double low = -std::ceil(-bottom / step);
  const double high = std::ceil(top / step);
  if (!std::isfinite(low) || !std::isfinite(high)) return false;
  if (high - low > static_cast<double>(kMostGraduations)) return false;
  *lowest = static_cast<int64_t>(low);
  *highest = static_cast<int64_t>(high);
  if (*lowest == *highest) ++*highest;
  return true;
}

bool MakeValueScale(double maximum, double minimum, double givenStep, long axisUnits,
                    ValueScale* scale) {
  double top = maximum > 0 ? maximum : 0.0;
  double bottom = minimum < 0 ? minimum : 0.0;
  if (top == bottom) {
    top = 1.0;
    bottom = 0.0;
  }
  if (!std::isfinite(top) || !std::isfinite(bottom) || !std::isfinite(top - bottom)) return false;
  scale->top = top;
  scale->bottom = bottom;
  const double given = std::fabs(givenStep);
  if (given > 0 && Graduations(bottom, top, given, &scale->lowest, &scale->highest)) {
    scale->step = given;
    return true;
  }
  scale->step = AutomaticStep(top - bottom, axisUnits);
  return Graduations(bottom, top, scale->step, &scale->lowest, &scale->highest);
}

}  // namespace kv::chart
