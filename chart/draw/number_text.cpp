#include "chart/draw/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kv::chart {

namespace {

// "%f" has at most 309 digits before the point for a finite double.
constexpr size_t kNumberBuffer = 400;

void TrimZeros(std::string& text) {
  const size_t point = text.find('.');
  if (point == std::string::npos) return;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
}

std::string Fixed(double value) {
  char buffer[kNumberBuffer];
  std::snprintf(buffer, sizeof buffer, "%f", value);
  return buffer;
}

}  // namespace

std::string ScaleNumberText(double value) {
  if (!std::isfinite(value)) return std::string();
  if (value >= 100000.0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.5E", value);
    const char* e = std::strchr(buffer, 'E');
    if (e == nullptr) return buffer;
    std::string mantissa(buffer, static_cast<size_t>(e - buffer));
    mantissa.pop_back();  // the fifth decimal goes
    TrimZeros(mantissa);
    // The C library writes at least two exponent digits; the text has three.
    const long exponent = std::strtol(e + 1, nullptr, 10);
    char tail[32];
    std::snprintf(tail, sizeof tail, "E%c%03ld", exponent < 0 ? '-' : '+', std::labs(exponent));
    return mantissa + tail;
  }
  std::string text = Fixed(value);
  TrimZeros(text);
  return text;
}

std::string PieNumberText(double value, double spread) {
  if (!std::isfinite(value)) return std::string();
  std::string text = Fixed(value);
  TrimZeros(text);
  const size_t point = text.find('.');
  if (point == std::string::npos) return text;
  double d = std::fabs(spread);
  if (d == 0 || !std::isfinite(d)) d = 1;
  long decimals;
  if (d > 500) {
    decimals = 0;
  } else if (d >= 100) {
    decimals = 1;
  } else if (d >= 1) {
    decimals = 2;
  } else {
    decimals = 3 - std::lround(std::log10(d));
  }
  if (decimals > 6) decimals = 6;
  if (decimals < 0) decimals = 0;
  if (text.size() - point - 1 > static_cast<size_t>(decimals)) {
    text.resize(point + 1 + static_cast<size_t>(decimals));
  }
  TrimZeros(text);
  if (!text.empty() && text.back() == '.') text.pop_back();
  if (text == "-0" || text == "-") text = "0";
  return text;
}

}  // namespace kv::chart
