// Pie charts: the body, the sectors (flat and with relief), the labels
// round them and the legend of the categories.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "chart/draw/chart_layout.h"
#include "chart/draw/number_text.h"
#include "chart/model/pie_chart.h"
#include "platform/gdi/pens_brushes.h"

namespace kv::chart {

namespace {

constexpr double kTopAngle = 7.853981633974;        // 5 pi / 2
constexpr double kHairlineTop = 7.873981633973999;  // 0.02 earlier
constexpr double kHairline = 0.02;
constexpr double kQuarterTurnOffset = 157.0796326795;  // 100 * pi / 2

struct Shares {
  double total = 0;
  std::vector<double> percent;  // by category, from index 0
};

Shares SharesOf(const Chart& chart) {
  Shares shares;
  const int64_t count = chart.data.CategoryCount();
  shares.percent.resize(static_cast<size_t>(count));
  for (int64_t c = 1; c <= count; ++c) shares.total += std::fabs(chart.data.Value(1, c));
  for (int64_t c = 1; c <= count; ++c) {
    shares.percent[static_cast<size_t>(c - 1)] =
        shares.total > 0 ? std::fabs(chart.data.Value(1, c)) * 100 / shares.total : 0;
  }
  return shares;
}

// The angle at which `remaining` percent of the pie is left.
double AngleAt(double remaining, double start) {
  return (remaining * kFullTurn + kQuarterTurnOffset) / 100 - start;
}

int LargestExploded(const Chart& chart) {
  int largest = 0;
  for (int64_t c = 1; c <= chart.data.CategoryCount(); ++c) {
    largest = std::max<int>(largest, chart.ExplodedSector(c));
  }
  return largest;
}

// The texts of a category's label, in the order they are stacked.
std::vector<std::string> LabelTexts(const Chart& chart, int64_t category, double percent) {
  std::vector<std::string> texts;
  if (chart.labelDisplay[kShowLabels] != 0) texts.emplace_back(chart.data.CategoryLabel(category));
  if (chart.labelDisplay[kShowValues] != 0) {
    texts.push_back(
        PieNumberText(chart.data.Value(1, category), chart.data.Maximum() - chart.data.Minimum()));
  }
  if (chart.labelDisplay[kShowPercentages] != 0) texts.push_back(PieNumberText(percent, 100) + "%");
  return texts;
}

bool AnyLabelSwitch(const Chart& chart) {
  return chart.labelDisplay[0] != 0 || chart.labelDisplay[1] != 0 || chart.labelDisplay[2] != 0;
}

}  // namespace

void PieChart::DrawBody() {
  const int64_t count = data.CategoryCount();
  if (count == 0 || (data.Maximum() == 0 && data.Minimum() == 0) || !AllValuesFinite(*this)) {
    SetError(ErrorState::kIncorrectData);
    return;
  }
  const Shares shares = SharesOf(*this);
  // Only series 1 is drawn: when it sums to nothing the pie has no sectors.
  if (!(shares.total > 0) || !std::isfinite(shares.total)) {
    SetError(ErrorState::kIncorrectData);
    return;
  }
  const DrawingSurface surface = SurfaceOf(*this);
  Box rect = DrawingRect(*this);
  const Box whole = rect;
  LayOutTitle(*this, rect, false);
  auto label = [this](int64_t c) { return data.CategoryLabel(c); };
  LayOutLegend(*this, rect, count, WidestLegendLabel(*this, count, label), LegendStyle::kPie);
  drawing.labelArea = rect;

  // The label margin: the pie shrinks until every category's texts fit
  // beside it.
  const double hx = rect.width() / 2.0;
  const double hy = rect.height() / 2.0;
  Box sectors = rect;
  const double start = StartAngle();
  if (AnyLabelSwitch(*this)) {
    double rx = hx, ry = hy;
    double remaining = 100;
    kvp::HFONT font = this->font(FontElement::kLabel).font.get();
    for (int64_t c = 1; c <= count; ++c) {
      const double p = shares.percent[static_cast<size_t>(c - 1)];
      const double m = AngleAt(remaining - p / 2, start);
      remaining -= p;
      int w = 0, h = 0;
      for (const std::string& text : LabelTexts(*this, c, p)) {
        const TextSize size = surface.Measure(font, text);
        w = std::max(w, size.width);
        h += size.height;
      }
      const double cosm = std::cos(m), sinm = std::sin(m);
      if (cosm == 0) {
        rx = std::min(rx, hx - w - 10);
        ry = std::min(ry, hy - h - 10);
      } else {
        rx = std::min(rx, (hx - w - 10) / std::fabs(cosm));
        if (sinm != 0) ry = std::min(ry, (hy - h - 10) / std::fabs(sinm));
      }
    }
    rx = std::max(rx, 0.0);
    ry = std::max(ry, 0.0);
    const int cx = (rect.left + rect.right) / 2, cy = (rect.top + rect.bottom) / 2;
    sectors = Box{cx - Coord(rx), cy - Coord(ry), cx + Coord(rx), cy + Coord(ry)};
  }
  const int side = std::min(sectors.width(), sectors.height());
  const int sx = sectors.left + (sectors.width() - side) / 2;
  const int sy = sectors.top + (sectors.height() - side) / 2;
  drawing.plotArea = Box{sx, sy, sx + side, sy + side};

  DrawPlot();
  if (applied.legendPosition == 1 || applied.legendPosition == 2) DrawLegend();
  Box titleRect = whole;
  LayOutTitle(*this, titleRect, true);

  if (!AnyLabelSwitch(*this)) return;
  const double e = LargestExploded(*this);
  double anchorRadius = side / 2.0 + 10 - e * drawingScale;
  if (anchorRadius < 0) anchorRadius = side / 2.0 + 10;
  const double lcx = (rect.left + rect.right) / 2.0, lcy = (rect.top + rect.bottom) / 2.0;
  const ElementFont& font = this->font(FontElement::kLabel);
  double remaining = 100;
  for (int64_t c = 1; c <= count; ++c) {
    const double p = shares.percent[static_cast<size_t>(c - 1)];
    const double m = AngleAt(remaining - p / 2, start);
    remaining -= p;
    const double ax = lcx + anchorRadius * std::cos(m);
    const double ay = lcy - anchorRadius * std::sin(m);
    const std::vector<std::string> texts = LabelTexts(*this, c, p);
    std::vector<TextSize> sizes;
    int total = 0;
    for (const std::string& text : texts) {
      sizes.push_back(surface.Measure(font.font.get(), text));
      total += sizes.back().height;
    }
    double y = std::sin(m) <= 0 ? ay : ay - total;
    for (size_t i = 0; i < texts.size(); ++i) {
      const double x = std::cos(m) <= 0 ? ax - sizes[i].width : ax;
      surface.Text(font.font.get(), font.colour, Coord(x), Coord(y), texts[i]);
      y += sizes[i].height;
    }
  }
}

void PieChart::DrawSectors(int drop, double shade) {
  const int64_t count = data.CategoryCount();
  const Shares shares = SharesOf(*this);
  if (count == 0 || !(shares.total > 0)) return;
  const Box& area = drawing.plotArea;
  const double s = drawingScale;
  const double e = LargestExploded(*this);
  double radius = area.width() / 2.0 - e * s;
  bool noRoom = false;
  if (radius < 0) {
    radius = area.width() / 2.0;
    noRoom = true;
  }
  const double cx = (area.left + area.right) / 2.0;
  const double cy = (area.top + area.bottom) / 2.0 + drop;
  const double start = StartAngle();
  auto exploded = [this](int64_t c) { return ExplodedSector(c) != 0; };
  auto point = [&](double angle) {
    return kvp::POINT{Coord(cx + radius * std::cos(angle)), Coord(cy - radius * std::sin(angle))};
  };
  kvp::HDC dc = drawing.dc;
  const double lastEnd = kQuarterTurnOffset / 100 - start;
  double begin = kTopAngle - start;
  if (noRoom || (!exploded(1) && !exploded(count))) begin = kHairlineTop - start;
  kvp::POINT from = point(begin);
  double fromAngle = begin;
  double remaining = 100;
  for (int64_t c = 1; c <= count; ++c) {
    const double p = shares.percent[static_cast<size_t>(c - 1)];
    remaining -= p;
    const double theta = AngleAt(remaining, start);
    const Rgb colour = Darker(data.SeriesColour(c), shade);
    ScopedObject brush(dc, SolidBrush(colour));
    ScopedObject pen(dc, SolidPen(Darker(colour, 0.8)));
    const int left = Coord(cx - radius), top = Coord(cy - radius);
    const int right = Coord(cx + radius), bottom = Coord(cy + radius);
    if (count == 1 || p >= 100) {
      kvp::Ellipse(dc, left, top, right, bottom);
      from = point(theta);
      fromAngle = theta;
      continue;
    }
    double endAngle = theta;
    if (c == count || (!exploded(c) && !exploded(c + 1)) || noRoom) {
      endAngle = std::max(theta - kHairline, lastEnd);
    }
    kvp::POINT to = point(endAngle);
    if (to.x != from.x || to.y != from.y) {
      int dx = 0, dy = 0;
      const int percent = ExplodedSector(c);
      if (!noRoom && percent > 0) {
        double vx, vy;
        const double chord = std::hypot(to.x - from.x, to.y - from.y);
        if (chord < radius * std::sqrt(2.0)) {
          vx = (from.x - cx) + (to.x - cx);
          vy = (from.y - cy) + (to.y - cy);
        } else {
          const double middle = (fromAngle + endAngle) / 2;
          vx = std::cos(middle);
          vy = -std::sin(middle);
        }
        const double length = std::hypot(vx, vy);
        if (length > 0) {
          dx = Coord(percent * s * vx / length);
          dy = Coord(percent * s * vy / length);
        }
      }
      // Windows pies run counter-clockwise: from the end back to the start.
      kvp::Pie(dc, left + dx, top + dy, right + dx, bottom + dy, to.x + dx, to.y + dy, from.x + dx,
               from.y + dy);
    }
    from = point(theta);
    fromAngle = theta;
  }
}

void PieChart::DrawPlot() {
  DrawSectors(0, 1.0);
}

void Pie3DChart::DrawPlot() {
  // The relief: the pie repeated below itself in darker colours, layer by
  // layer down to the depth, then the pie on top.
  const int depth =
      std::min(Coord(std::abs(ReliefDepth()) * drawingScale), drawing.plotArea.height() / 4);
  if (depth > 0) {
    Box& area = drawing.plotArea;
    area.bottom -= depth;
    area.right -= depth;
    // At most 32 layers however deep the relief: beyond that the layers
    // stand a few pixels apart, which the eye does not see at such depths.
    const int stride = std::max(1, depth / 32);
    for (int k = depth; k >= 1; k -= stride) DrawSectors(k, 0.6);
    DrawSectors(0, 1.0);
    area.bottom += depth;
    area.right += depth;
    return;
  }
  DrawSectors(0, 1.0);
}

void PieChart::DrawLegend() {
  DrawLegendRows(
      *this, data.CategoryCount(), [this](int64_t c) { return data.CategoryLabel(c); },
      [this](int64_t c) { return data.SeriesColour(c); });
}

}  // namespace kv::chart
