// The parts of a layout every chart type shares: the drawing rectangle,
// the title band, the legend area and the legend itself.
#pragma once
#include <functional>
#include <string_view>

#include "chart/draw/drawing_surface.h"
#include "chart/model/chart.h"

namespace kv::chart {

// The surface of the drawing under way.
DrawingSurface SurfaceOf(const Chart& chart);

// The rectangle the chart is drawn into, by destination kind.
Box DrawingRect(const Chart& chart);

// Takes the title band from the rectangle and, when `draw`, writes the
// title centred in it.
void LayOutTitle(const Chart& chart, Box& rect, bool draw);

enum class LegendStyle { kPie, kAxis };

// Takes the legend area for `count` entries whose widest label is `widest`
// pixels (measured) from the rectangle, into chart.drawing.legendArea.
void LayOutLegend(Chart& chart, Box& rect, int64_t count, int widest, LegendStyle style);

// The widest measured label of the entries, in the legend font.
int WidestLegendLabel(const Chart& chart, int64_t count,
                      const std::function<std::string_view(int64_t)>& label);

// Draws the framed legend box with one row per entry: a square of the
// entry's colour and its label. Nothing for no entries.
void DrawLegendRows(const Chart& chart, int64_t count,
                    const std::function<std::string_view(int64_t)>& label,
                    const std::function<Rgb(int64_t)>& colour);

// True when every value the chart holds is a finite number.
bool AllValuesFinite(const Chart& chart);

}  // namespace kv::chart
