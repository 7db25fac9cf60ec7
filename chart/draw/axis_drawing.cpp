// What every axis chart shares: the data test, the layout of the title,
// legend, axis titles and value scale, the axes and grid, the graduation
// and category labels, and the legend of the series.
#include <algorithm>
#include <cmath>
#include <string>

#include "chart/draw/chart_layout.h"
#include "chart/draw/number_text.h"
#include "chart/model/axis_chart.h"
#include "platform/gdi/pens_brushes.h"

namespace kv::chart {

namespace {

constexpr Rgb kGridGrey = 150 | (150 << 8) | (150 << 16);

}  // namespace

bool AxisChart::DataDrawable() {
  if (data.CategoryCount() == 0 || (data.Maximum() == 0 && data.Minimum() == 0) ||
      !AllValuesFinite(*this)) {
    SetError(ErrorState::kIncorrectData);
    return false;
  }
  return true;
}

bool AxisChart::LayOutAxes(Box rect, double maximum, double minimum, bool labelRoomTop,
                           bool labelRoomBottom) {
  const DrawingSurface surface = SurfaceOf(*this);
  LayOutTitle(*this, rect, true);
  const int64_t entries = LegendEntries();
  auto label = [this](int64_t entry) { return data.SeriesLabel(LegendSeries(entry)); };
  LayOutLegend(*this, rect, entries, WidestLegendLabel(*this, entries, label), LegendStyle::kAxis);
  if (applied.legendPosition == 1 || applied.legendPosition == 2) DrawLegend();
  drawing.labelArea = rect;

  kvp::HFONT labelFont = font(FontElement::kLabel).font.get();
  kvp::HFONT titleFont = font(FontElement::kAxisTitle).font.get();
  const int labelHeight = surface.Measure(labelFont, "0").height;
  const int verticalTitle =
      VerticalAxisTitle().empty() ? 0 : surface.Measure(titleFont, VerticalAxisTitle()).height;
  const int horizontalTitle =
      HorizontalAxisTitle().empty() ? 0 : surface.Measure(titleFont, HorizontalAxisTitle()).height;
  Box plot = rect;
  plot.top = rect.top + std::max(labelHeight / 2, verticalTitle) + surface.Scaled(5);
  plot.bottom = rect.bottom - labelHeight - horizontalTitle - surface.Scaled(5);
  if (labelRoomTop) plot.top += labelHeight;
  if (labelRoomBottom) plot.bottom -= labelHeight;
  if (plot.bottom <= plot.top) plot.bottom = plot.top + 1;
  const long axisUnits = std::lround(plot.height() / drawingScale);
  if (!MakeValueScale(maximum, minimum, VerticalStep(), axisUnits, &drawing.scale)) {
    SetError(ErrorState::kIncorrectData);
    return false;
  }
  int widest = 0;
  for (int64_t k = drawing.scale.lowest; k <= drawing.scale.highest; ++k) {
    widest = std::max(
        widest,
        surface.Measure(labelFont, ScaleNumberText(static_cast<double>(k) * drawing.scale.step))
            .width);
  }
  plot.left = std::min(rect.left + widest + surface.Scaled(5), rect.right - 1);
  plot.right = std::max(rect.right - surface.Scaled(10), plot.left + 1);
  drawing.plotArea = plot;
  drawing.zeroY = ValueY(0);
  return true;
}

int AxisChart::ValueY(double value) const {
  const Box& plot = drawing.plotArea;
  const double low = static_cast<double>(drawing.scale.lowest) * drawing.scale.step;
  const double high = static_cast<double>(drawing.scale.highest) * drawing.scale.step;
  const double span = high - low;
  if (!(span > 0)) return plot.bottom;
  const double y = plot.bottom - (value - low) / span * plot.height();
  return std::clamp(Coord(y), plot.top, plot.bottom);
}

void AxisChart::DrawPlot() {
  const Box& plot = drawing.plotArea;
  kvp::HDC dc = drawing.dc;
  const int tick = std::max(1, Coord(3 * drawingScale));
  if (HorizontalGrid() != 0) {
    ScopedObject grey(dc, SolidPen(kGridGrey));
    for (int64_t k = drawing.scale.lowest; k <= drawing.scale.highest; ++k) {
      const int y = ValueY(static_cast<double>(k) * drawing.scale.step);
      kvp::MoveToEx(dc, plot.left, y, nullptr);
      kvp::LineTo(dc, plot.right, y);
    }
  }
  ScopedStock black(dc, kvp::BLACK_PEN);
  for (int64_t k = drawing.scale.lowest; k <= drawing.scale.highest; ++k) {
    const int y = ValueY(static_cast<double>(k) * drawing.scale.step);
    kvp::MoveToEx(dc, plot.left - tick, y, nullptr);
    kvp::LineTo(dc, plot.left, y);
  }
  kvp::MoveToEx(dc, plot.left, plot.top, nullptr);
  kvp::LineTo(dc, plot.left, plot.bottom + 1);
  kvp::MoveToEx(dc, plot.left, drawing.zeroY, nullptr);
  kvp::LineTo(dc, plot.right + 1, drawing.zeroY);
}

void AxisChart::DrawScaleLabels() {
  const DrawingSurface surface = SurfaceOf(*this);
  const Box& plot = drawing.plotArea;
  const ElementFont& label = font(FontElement::kLabel);
  for (int64_t k = drawing.scale.lowest; k <= drawing.scale.highest; ++k) {
    const double value = static_cast<double>(k) * drawing.scale.step;
    const std::string text = ScaleNumberText(value);
    const TextSize size = surface.Measure(label.font.get(), text);
    surface.Text(label.font.get(), label.colour, plot.left - surface.Scaled(4) - size.width,
                 ValueY(value) - size.height / 2, text);
  }
  const ElementFont& title = font(FontElement::kAxisTitle);
  if (!VerticalAxisTitle().empty()) {
    const TextSize size = surface.Measure(title.font.get(), VerticalAxisTitle());
    surface.Text(title.font.get(), title.colour, drawing.labelArea.left,
                 plot.top - size.height - surface.Scaled(2), VerticalAxisTitle());
  }
  if (!HorizontalAxisTitle().empty()) {
    const TextSize size = surface.Measure(title.font.get(), HorizontalAxisTitle());
    surface.Text(title.font.get(), title.colour, plot.right - size.width,
                 drawing.labelArea.bottom - size.height, HorizontalAxisTitle());
  }
}

void AxisChart::DrawCategoryLabels(const std::vector<int>& centres, int width) {
  const DrawingSurface surface = SurfaceOf(*this);
  const ElementFont& label = font(FontElement::kLabel);
  const int y = drawing.plotArea.bottom + surface.Scaled(3);
  // Side by side when every label fits its category's width; otherwise
  // every other label one line lower.
  bool fit = true;
  std::vector<TextSize> sizes;
  for (size_t i = 0; i < centres.size(); ++i) {
    sizes.push_back(
        surface.Measure(label.font.get(), data.CategoryLabel(static_cast<int64_t>(i) + 1)));
    if (sizes.back().width > width) fit = false;
  }
  for (size_t i = 0; i < centres.size(); ++i) {
    const std::string_view text = data.CategoryLabel(static_cast<int64_t>(i) + 1);
    if (text.empty()) continue;
    const int row = fit || i % 2 == 0 ? 0 : sizes[i].height;
    surface.Text(label.font.get(), label.colour, centres[i] - sizes[i].width / 2, y + row, text);
  }
}

void AxisChart::DrawLegend() {
  DrawLegendRows(
      *this, LegendEntries(), [this](int64_t e) { return data.SeriesLabel(LegendSeries(e)); },
      [this](int64_t e) { return data.SeriesColour(LegendSeries(e)); });
}

int Column3DChart::ReliefPixels() const {
  return Coord(std::abs(ReliefDepth()) * drawingScale / 2);
}

void ColumnChart::DrawBody() {
  if (!DataDrawable()) return;
  const Box rect = DrawingRect(*this);
  const double s = drawingScale;
  if (rect.width() < 80 * s || rect.height() < 60 * s) return;
  const bool values = labelDisplay[kShowValues] != 0;
  if (!LayOutAxes(rect, data.Maximum(), data.Minimum(), values && data.Maximum() > 0,
                  values && data.Minimum() < 0))
    return;
  DrawPlot();
  DrawScaleLabels();

  const DrawingSurface surface = SurfaceOf(*this);
  kvp::HDC dc = drawing.dc;
  const Box& plot = drawing.plotArea;
  const int64_t categories = data.CategoryCount();
  const int64_t seriesCount = data.SeriesCount();
  // Counted in 64 bits: 65535 categories of 65535 series overflow 32.
  const int64_t columns = categories * seriesCount;
  double spacing = ColumnSpacing() * s;
  if (plot.width() < static_cast<double>(columns) + static_cast<double>(categories) * 2 * spacing)
    spacing = 0;
  if (spacing < 0) spacing = 0;
  const double room = plot.width() - static_cast<double>(categories) * 2 * spacing;
  const int relief = ReliefPixels();
  const ElementFont& label = font(FontElement::kLabel);
  const int tick = std::max(1, Coord(3 * s));
  std::vector<int> centres;
  int64_t drawn = 0;
  for (int64_t c = 1; c <= categories; ++c) {
    const double categoryLeft = plot.left + static_cast<double>(2 * (c - 1)) * spacing +
                                room * static_cast<double>(drawn) / static_cast<double>(columns);
    for (int64_t sIndex = 1; sIndex <= seriesCount; ++sIndex) {
      const double offset = static_cast<double>(2 * c - 1) * spacing;
      const int left = Coord(plot.left + offset +
                             room * static_cast<double>(drawn) / static_cast<double>(columns));
      ++drawn;
      const int right = Coord(plot.left + offset +
                              room * static_cast<double>(drawn) / static_cast<double>(columns));
      if (right <= left) continue;  // too narrow to show
      const double value = data.Value(sIndex, c);
      const int top = ValueY(value);
      const int high = std::min(top, drawing.zeroY), low = std::max(top, drawing.zeroY);
      const Rgb colour = data.SeriesColour(sIndex);
      const int depth = std::min(relief, (right - left) / 2);
      if (depth > 0) {
        ScopedObject side(dc, SolidBrush(Darker(colour, 0.6)));
        ScopedObject pen(dc, SolidPen(Darker(colour, 0.5)));
        const kvp::POINT face[4] = {{right, high},
                                    {right + depth, high - depth},
                                    {right + depth, low - depth},
                                    {right, low}};
        kvp::Polygon(dc, face, 4);
        ScopedObject topBrush(dc, SolidBrush(Darker(colour, 0.8)));
        const kvp::POINT lid[4] = {{left, high},
                                   {left + depth, high - depth},
                                   {right + depth, high - depth},
                                   {right, high}};
        kvp::Polygon(dc, lid, 4);
      }
      {
        ScopedObject brush(dc, SolidBrush(colour));
        ScopedStock pen(dc, kvp::NULL_PEN);
        kvp::Rectangle(dc, left, high, right + 1, low + 1);
      }
      if (values) {
        const std::string text = ScaleNumberText(value);
        const TextSize size = surface.Measure(label.font.get(), text);
        int x = (left + right) / 2 - size.width / 2;
        x = std::clamp(x, rect.left, std::max(rect.left, rect.right - size.width));
        const int y = value >= 0 ? high - size.height : low;
        surface.Text(label.font.get(), label.colour, x, y, text);
      }
    }
    const double categoryRight = plot.left + static_cast<double>(2 * c) * spacing +
                                 room * static_cast<double>(drawn) / static_cast<double>(columns);
    centres.push_back(Coord((categoryLeft + categoryRight) / 2));
    ScopedStock black(dc, kvp::BLACK_PEN);
    const int x = Coord(categoryRight);
    kvp::MoveToEx(dc, x, drawing.zeroY - tick, nullptr);
    kvp::LineTo(dc, x, drawing.zeroY + tick + 1);
  }
  const int categoryWidth =
      categories > 0 ? plot.width() / static_cast<int>(std::min<int64_t>(categories, 65535)) : 0;
  DrawCategoryLabels(centres, categoryWidth);
}

}  // namespace kv::chart
