// The sample charts the demos build through kvchart's language functions:
// two series of four values, with a legend and, if given, a title.
#pragma once
#include <cstdint>
#include <vector>

#include "host/ext_harness.h"

namespace kvhost {

struct ChartCall {
  const char* name;
  int16_t syntax;
  std::vector<Argument> arguments;
};

// Loads kvchart through the extension protocol, makes its instance and
// reads its tables, in English; false (said on stderr) when it cannot.
bool StartChartLibrary(ExtensionLibrary& library);

// Runs the calls in turn; the first one that does not answer 1 is named on
// stdout and ends the run (false).
bool RunChartCalls(ExtensionLibrary& library, const std::vector<ChartCall>& calls);

// The calls that build the chart `name` of `type`; `title` null for none.
std::vector<ChartCall> SampleChartCalls(const char* name, int type, const char* title = nullptr);

}  // namespace kvhost
