// The chart's windows: its own window (class "TWK_Graphe"), the field it
// covers, the property through which the procedures find the chart, the
// popup menu and its commands.
#pragma once
#include "chart/model/chart.h"
#include "platform/ui/window_types.h"

struct KvChartList;

namespace kv::chart {

inline constexpr char kChartClassName[] = "TWK_Graphe";
inline constexpr char kChartProperty[] = "TWKKVGraph";

// Creates, places, shows and updates the chart window for the applied
// settings; false when the window cannot be made (the owner is no window).
bool CreateChartWindow(Chart& chart);
// Destroys the chart window; its procedure clears the handle and the
// property on the way.
void DestroyChartWindow(Chart& chart);

// Puts the chart on the field window: property and procedure (once).
bool AttachToField(Chart& chart);
// Gives the field its procedure back and removes the property.
void DetachFromField(Chart& chart);

// The chart a window shows (through its property), or null.
Chart* ChartOfWindow(kvp::HWND window);

// Moves the window, field, saved picture, procedure and property of `from`
// over to `to` (a type change) and points the property at `to`.
void HandOverDrawing(Chart& from, Chart& to);

// The drawing function: takes up changed settings (a changed destination
// removes the drawing first) and draws.
void RedrawChart(Chart& chart);

// Replaces the chart at `index` of the list by a chart of the new type,
// handing the windows over; answers the new chart.
Chart* ChangeChartType(KvChartList& list, size_t index, ChartType type);

// Builds the popup menu from the chart's language's menu tree and tracks it
// at the client point of the window, which receives the command.
void OpenPopupMenu(kvp::HWND window, const Chart& chart, int x, int y);

// Runs a menu command for the chart the window shows.
void RunMenuCommand(kvp::HWND window, unsigned command);

// Paints the chart's body into a window context.
void PaintChart(Chart& chart, kvp::HDC dc);

// The property on a window: set with a new block (false when out of
// memory), or removed with its block freed.
bool SetChartProperty(kvp::HWND window, Chart& chart);
void RemoveChartProperty(kvp::HWND window, Chart& chart);

// Removes the chart class of the module once no window of it is left.
void UnregisterChartClass(void* module);

}  // namespace kv::chart
