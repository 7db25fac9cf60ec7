// Rectangles and coordinates of a drawing, in device units (y downwards).
#pragma once
#include <cmath>
#include <cstdint>

namespace kv::chart {

struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
};

// Coordinates stay within a range that every surface can hold (the 16-bit
// metafile coordinates included) however large a value or a scale is; a
// value that is not a number lands on 0.
inline constexpr double kLargestCoordinate = 30000.0;

inline int Coord(double value) {
  if (!(value == value)) return 0;
  if (value > kLargestCoordinate) return static_cast<int>(kLargestCoordinate);
  if (value < -kLargestCoordinate) return static_cast<int>(-kLargestCoordinate);
  return static_cast<int>(std::lround(value));
}

// round(x) of the layout rules, for the margins scaled by s.
inline int Scaled(double units, double scale) {
  return Coord(units * scale);
}

}  // namespace kv::chart
