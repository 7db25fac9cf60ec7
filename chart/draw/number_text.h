// The number texts of graduations, column values and pie labels.
#pragma once
#include <string>

namespace kv::chart {

// Graduation labels and column values: 100000 or more as a mantissa with
// at most four decimals and a three-digit exponent (2.5E+005), anything
// smaller with at most six decimals; trailing zeros and point removed.
std::string ScaleNumberText(double value);

// Pie values and percentages: at most six decimals, trailing zeros removed,
// then cut (not rounded) to the decimals the spread of the range allows:
// none above 500, one from 100, two from 1, else 3 - round(log10 spread).
std::string PieNumberText(double value, double spread);

}  // namespace kv::chart
