// Curve and scatter charts.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "chart/draw/chart_layout.h"
#include "chart/draw/number_text.h"
#include "chart/model/axis_chart.h"
#include "platform/gdi/pens_brushes.h"

namespace kv::chart {

namespace {

constexpr Rgb kGridGrey = 150 | (150 << 8) | (150 << 16);

}  // namespace

void CurveChart::DrawBody() {
  if (!DataDrawable()) return;
  const Box rect = DrawingRect(*this);
  if (!LayOutAxes(rect, data.Maximum(), data.Minimum(), false, false)) return;
  DrawPlot();
  DrawScaleLabels();
  kvp::HDC dc = drawing.dc;
  const Box& plot = drawing.plotArea;
  const int64_t categories = data.CategoryCount();
  double step = 0;
  if (plot.width() > 0) {
    step = categories < 3 ? plot.width() : plot.width() / static_cast<double>(categories - 1);
  }
  auto xOf = [&](int64_t c) {
    return std::min(plot.left + Coord(static_cast<double>(c - 1) * step), plot.right);
  };
  for (int64_t sIndex = 1; sIndex <= data.SeriesCount(); ++sIndex) {
    ScopedObject pen(dc, SolidPen(data.SeriesColour(sIndex)));
    for (int64_t c = 1; c <= categories; ++c) {
      const int x = xOf(c), y = ValueY(data.Value(sIndex, c));
      if (c == 1) {
        kvp::MoveToEx(dc, x, y, nullptr);
      } else {
        kvp::LineTo(dc, x, y);
      }
    }
  }
  const int tick = std::max(1, Coord(3 * drawingScale));
  std::vector<int> centres;
  {
    ScopedObject grey(dc, SolidPen(kGridGrey));
    if (VerticalGrid() != 0) {
      kvp::MoveToEx(dc, plot.left, plot.top, nullptr);
      kvp::LineTo(dc, plot.right, plot.top);
    }
    for (int64_t c = 1; c <= categories; ++c) {
      const int x = xOf(c);
      centres.push_back(x);
      if (VerticalGrid() == 0 || c == 1) {
        kvp::MoveToEx(dc, x, drawing.zeroY - tick, nullptr);
        kvp::LineTo(dc, x, drawing.zeroY + tick + 1);
      } else if (c != categories) {
        kvp::MoveToEx(dc, x, plot.top, nullptr);
        kvp::LineTo(dc, x, plot.bottom);
      }
    }
  }
  DrawCategoryLabels(centres, std::max(1, Coord(step)));
}

void ScatterChart::DrawBody() {
  if (!DataDrawable()) return;
  const Box rect = DrawingRect(*this);
  if (rect.width() <= 39 || rect.height() <= 9) return;
  const int64_t pairs = data.SeriesCount() / 2;
  // The ranges of the x and of the y series, each with 0 inside.
  double xLow = 0, xHigh = 0, yLow = 0, yHigh = 0;
  for (int64_t k = 1; k <= pairs; ++k) {
    for (int64_t c = 1; c <= data.CategoryCount(); ++c) {
      if (static_cast<size_t>(c) <= data.SeriesLength(2 * k - 1)) {
        xLow = std::min(xLow, data.Value(2 * k - 1, c));
        xHigh = std::max(xHigh, data.Value(2 * k - 1, c));
      }
      if (static_cast<size_t>(c) <= data.SeriesLength(2 * k)) {
        yLow = std::min(yLow, data.Value(2 * k, c));
        yHigh = std::max(yHigh, data.Value(2 * k, c));
      }
    }
  }
  if (!LayOutAxes(rect, pairs > 0 ? yHigh : data.Maximum(), pairs > 0 ? yLow : data.Minimum(),
                  false, false))
    return;
  DrawPlot();
  kvp::HDC dc = drawing.dc;
  const Box& plot = drawing.plotArea;
  const DrawingSurface surface = SurfaceOf(*this);

  double step = std::fabs(HorizontalStep());
  int64_t left = 0, right = 0;
  const long axisUnits = std::lround(plot.width() / drawingScale);
  if (!(step > 0) || !Graduations(xLow, xHigh, step, &left, &right)) {
    step = AutomaticStep(xHigh - xLow, axisUnits);
    if (!std::isfinite(xHigh - xLow) || !Graduations(xLow, xHigh, step, &left, &right)) {
      SetError(ErrorState::kIncorrectData);
      return;
    }
  }
  int64_t leftCount = -left, rightCount = right;
  if (leftCount == 0 && rightCount == 0) leftCount = rightCount = 1;
  const int64_t graduations = leftCount + rightCount;
  const double unit = plot.width() / static_cast<double>(graduations) / step;
  const int xZero = std::min(plot.left + Coord(plot.width() * static_cast<double>(leftCount) /
                                               static_cast<double>(graduations)),
                             plot.right);
  auto xOf = [&](double value) { return std::min(Coord(xZero + value * unit), plot.right); };

  const int tick = std::max(1, Coord(3 * drawingScale));
  {
    ScopedObject grey(dc, SolidPen(kGridGrey));
    if (VerticalGrid() != 0) {
      kvp::MoveToEx(dc, plot.left, plot.top, nullptr);
      kvp::LineTo(dc, plot.right, plot.top);
    }
    for (int64_t g = -leftCount; g <= rightCount; ++g) {
      const int x = xOf(static_cast<double>(g) * step);
      if (VerticalGrid() == 0 || g == 0) {
        kvp::MoveToEx(dc, x, drawing.zeroY - tick, nullptr);
        kvp::LineTo(dc, x, drawing.zeroY + tick + 1);
      } else if (g != -leftCount && g != rightCount) {
        kvp::MoveToEx(dc, x, plot.top, nullptr);
        kvp::LineTo(dc, x, plot.bottom);
      }
    }
  }
  DrawScaleLabels();
  const ElementFont& label = font(FontElement::kLabel);
  for (int64_t g = -leftCount; g <= rightCount; ++g) {
    const std::string text = ScaleNumberText(static_cast<double>(g) * step);
    const TextSize size = surface.Measure(label.font.get(), text);
    surface.Text(label.font.get(), label.colour,
                 xOf(static_cast<double>(g) * step) - size.width / 2,
                 plot.bottom + surface.Scaled(3), text);
  }

  const int halfSize = Coord(PointSize() * drawingScale) - 1;
  for (int64_t k = 1; k <= pairs; ++k) {
    ScopedObject pen(dc, SolidPen(data.SeriesColour(2 * k - 1)));
    const auto length =
        static_cast<int64_t>(std::min(data.SeriesLength(2 * k - 1), data.SeriesLength(2 * k)));
    for (int64_t c = 1; c <= length; ++c) {
      const int x = xOf(data.Value(2 * k - 1, c));
      const int y = ValueY(data.Value(2 * k, c));
      if (c == 1 || LinkPoints() == 0) {
        kvp::MoveToEx(dc, x, y, nullptr);
        if (LinkPoints() == 0) {
          kvp::LineTo(dc, x + 1, y);
          kvp::MoveToEx(dc, x, y, nullptr);
        }
      } else {
        kvp::LineTo(dc, x, y);
      }
      for (int h = 1; h <= halfSize; ++h) {
        const int l = std::max(x - h, rect.left), r = std::min(x + h, rect.right);
        const int t = std::max(y - h, rect.top), b = std::min(y + h, rect.bottom);
        const kvp::POINT square[5] = {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}};
        kvp::Polyline(dc, square, 5);
      }
      kvp::MoveToEx(dc, x, y, nullptr);
    }
  }
}

}  // namespace kv::chart
