#include "chart/draw/chart_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/pens_brushes.h"

namespace kv::chart {

namespace {

// The picture of a destination without a print rectangle.
constexpr Box kDefaultPrintRect{1, 1, 638, 478};

}  // namespace

DrawingSurface SurfaceOf(const Chart& chart) {
  return DrawingSurface(chart.drawing.dc, chart.drawing.kind == DestinationKind::kMetafile,
                        chart.drawingScale);
}

Box DrawingRect(const Chart& chart) {
  switch (chart.drawing.kind) {
    case DestinationKind::kMetafile:
    case DestinationKind::kPrinter: {
      const PrintRect& p = chart.printRect;
      if (p.left == 0 && p.top == 0 && p.right == 0 && p.bottom == 0) return kDefaultPrintRect;
      return Box{Coord(p.left), Coord(p.top), Coord(p.right), Coord(p.bottom)};
    }
    case DestinationKind::kField:
    case DestinationKind::kWindow: {
      // The size of the picture behind the context: the bitmap it holds.
      kvp::BITMAP bitmap{};
      kvp::HGDIOBJ held = kvp::GetCurrentObject(chart.drawing.dc, kvp::OBJ_BITMAP);
      if (held == nullptr || kvp::GetObjectA(held, sizeof bitmap, &bitmap) != sizeof bitmap) {
        // A window's context holds no bitmap: its client picture's size.
        if (kvp::GetObjectType(chart.drawing.dc) != kvp::OBJ_DC) return Box{};
        bitmap.bmWidth = kvp::GetDeviceCaps(chart.drawing.dc, kvp::HORZRES);
        bitmap.bmHeight = kvp::GetDeviceCaps(chart.drawing.dc, kvp::VERTRES);
      }
      return Box{1, 1, bitmap.bmWidth - 1, bitmap.bmHeight - 1};
    }
  }
  return Box{};
}

void LayOutTitle(const Chart& chart, Box& rect, bool draw) {
  const int position = chart.applied.titlePosition;
  if (position != 1 && position != 2) return;
  const DrawingSurface surface = SurfaceOf(chart);
  const ElementFont& font = chart.font(FontElement::kTitle);
  const TextSize size = surface.Measure(font.font.get(), chart.applied.title);
  const int band = Coord(static_cast<double>(size.height) + surface.Scaled(10));
  Box area = rect;
  if (position == 1) {
    area.bottom = std::min(rect.top + band, rect.bottom);
    rect.top = area.bottom;
  } else {
    area.top = std::max(rect.bottom - band, rect.top);
    rect.bottom = std::max(rect.bottom - band, 0);
  }
  if (!draw) return;
  const int x = area.left + (area.width() - size.width) / 2;
  const int y = area.top + (area.height() - size.height) / 2;
  surface.Text(font.font.get(), font.colour, x, y, chart.applied.title);
}

void LayOutLegend(Chart& chart, Box& rect, int64_t count, int widest, LegendStyle style) {
  const int position = chart.applied.legendPosition;
  chart.drawing.legendArea = Box{};
  if (position != 1 && position != 2) return;
  const DrawingSurface surface = SurfaceOf(chart);
  const double s = surface.scale();
  const int margins = surface.Scaled(30) + surface.Scaled(10) + surface.Scaled(20);
  const int half = rect.width() / 2;
  Box area = rect;
  double rows;
  if (position == 1) {
    area.left = std::max(rect.right - widest - margins, 0);
    if (rect.right - area.left > half) area.left = rect.left + half;
    rows = style == LegendStyle::kPie ? static_cast<double>(count) * 25 * s
                                      : (20 * s + 5) * static_cast<double>(count);
    rect.right = area.left;
  } else {
    area.right = std::min(rect.left + widest + margins, rect.right);
    if (area.right - rect.left > half) area.right = rect.left + half;
    rows = style == LegendStyle::kPie ? static_cast<double>(count) * 20 * s + 5
                                      : static_cast<double>(count) * 25 * s;
    rect.left = area.right;
  }
  if (rows < area.height()) {
    const int height = Coord(rows);
    area.top += (area.height() - height) / 2;
    area.bottom = area.top + height;
  }
  chart.drawing.legendArea = area;
}

int WidestLegendLabel(const Chart& chart, int64_t count,
                      const std::function<std::string_view(int64_t)>& label) {
  const DrawingSurface surface = SurfaceOf(chart);
  kvp::HFONT font = chart.font(FontElement::kLegend).font.get();
  int widest = 0;
  for (int64_t i = 1; i <= count; ++i) {
    widest = std::max(widest, surface.Measure(font, label(i)).width);
  }
  return widest;
}

void DrawLegendRows(const Chart& chart, int64_t count,
                    const std::function<std::string_view(int64_t)>& label,
                    const std::function<Rgb(int64_t)>& colour) {
  const Box& area = chart.drawing.legendArea;
  if (count <= 0 || area.height() <= 0 || area.width() <= 0) return;
  const DrawingSurface surface = SurfaceOf(chart);
  const double s = surface.scale();
  kvp::HDC dc = surface.dc();
  const int boxLeft = Coord(std::min(area.left + 10 * s, static_cast<double>(area.right)));
  const int boxRight = Coord(std::max(area.right - 10 * s, static_cast<double>(boxLeft)));
  {
    ScopedStock hollow(dc, kvp::NULL_BRUSH);
    ScopedStock black(dc, kvp::BLACK_PEN);
    kvp::Rectangle(dc, boxLeft, area.top, boxRight, area.bottom);
  }
  const int64_t q = area.height() / count;
  const int h = Coord(std::max(static_cast<double>(q), 20 * s));
  const auto halfRow = static_cast<int16_t>(h / 2);
  const int side = surface.Scaled(10);
  const ElementFont& font = chart.font(FontElement::kLegend);
  for (int64_t i = 1; i <= count; ++i) {
    const double centre = area.top + halfRow + static_cast<double>(i - 1) * h;
    if (centre > area.bottom) break;
    const int cy = Coord(centre);
    const int squareLeft = std::min(boxLeft + side, boxRight);
    const int squareTop = std::max(cy - side / 2, area.top);
    const int squareBottom = std::min(squareTop + side, area.bottom);
    {
      ScopedObject brush(dc, SolidBrush(colour(i)));
      ScopedStock pen(dc, kvp::BLACK_PEN);
      kvp::Rectangle(dc, squareLeft, squareTop, std::min(squareLeft + side, boxRight),
                     squareBottom);
    }
    const std::string_view text = label(i);
    const TextSize size = surface.Measure(font.font.get(), text);
    surface.Text(font.font.get(), font.colour, squareLeft + side + side, cy - size.height / 2,
                 text);
  }
}

bool AllValuesFinite(const Chart& chart) {
  const DataStore& data = chart.data;
  for (int64_t s = 1; s <= data.SeriesCount(); ++s) {
    const auto length = static_cast<int64_t>(data.SeriesLength(s));
    for (int64_t c = 1; c <= length; ++c) {
      if (!std::isfinite(data.Value(s, c))) return false;
    }
  }
  return true;
}

}  // namespace kv::chart
