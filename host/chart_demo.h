// The chart part of the demo: kvchart loaded through the harness.
#pragma once

namespace kvhost {

// Builds a chart through the language functions, changes its type, prints
// the model the calls built and a few drawing commands. Returns 0 on
// success.
int RunChartDemo();

}  // namespace kvhost
