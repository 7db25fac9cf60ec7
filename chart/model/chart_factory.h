// Making charts: a new one of a type, or a chart of another type carrying
// everything an existing one holds.
#pragma once
#include <cstdint>
#include <memory>

#include "chart/model/chart.h"

namespace kv::chart {

// The type a type number selects: 0 to 5, any other number a curve.
ChartType ChartTypeFromNumber(int16_t number);

// A chart of the type with everything at its initial value; throws
// std::bad_alloc when memory runs out.
std::unique_ptr<Chart> CreateChart(ChartType type);

// A chart of the new type holding everything `old` holds: name, module,
// list, both settings, label switches, copies of the fonts and their
// colours, the data, the exploded sectors, both menus, the print
// rectangle, the language and the menu switch; each type-specific setting
// goes through its getter and setter, so one that a type lacks arrives as
// that type's fixed value or is dropped. The type item of the menus follows
// the new type; the settings are marked changed.
std::unique_ptr<Chart> ConvertChart(const Chart& old, ChartType type);

}  // namespace kv::chart
