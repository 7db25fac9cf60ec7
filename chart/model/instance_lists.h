// The chart list and the font list that command 1 hangs from a new
// InstanceContext and command 2 destroys.
#pragma once
#include "kv/chart.h"

namespace kv::chart {

// An empty list; null when memory runs out.
KvChartList* CreateChartList();
// Clears each chart's drawing, destroys every chart, then the list. Null
// does nothing.
void DestroyChartList(KvChartList* list);

// An empty list; null when memory runs out.
KvFontList* CreateFontList();
// Deletes every entry's graphic font object, then the list. Null does
// nothing.
void DestroyFontList(KvFontList* list);

}  // namespace kv::chart
