// The value scale of axis charts: its range, step and graduations.
#pragma once
#include <cstdint>

namespace kv::chart {

// The automatic step for a range d on an axis L units long (pixels / s):
// graduations stand about 20 units apart or more.
double AutomaticStep(double range, long axisUnits);

// More graduations than this are never drawn: a step so small that it
// would need more falls back to the automatic step.
inline constexpr int64_t kMostGraduations = 1000;

struct ValueScale {
  double top = 1.0;  // the range's ends
  double bottom = 0.0;
  double step = 0.1;
  int64_t lowest = 0;  // graduation numbers: lowest * step .. highest * step
  int64_t highest = 1;
};

// Range from the data's maximum and minimum (0 always inside it), the step
// given (0: automatic) or the automatic one. False when the range is not
// finite.
bool MakeValueScale(double maximum, double minimum, double givenStep, long axisUnits,
                    ValueScale* scale);

// The graduations of [bottom, top] for a step, when they are finite and at
// most kMostGraduations.
bool Graduations(double bottom, double top, double step, int64_t* lowest, int64_t* highest);

}  // namespace kv::chart
