// The chart windows of the demo: a chart in its own window and one in a
// field of the host's window, changed through the popup menu by injected
// input and printed, every window's picture written as a PNG file.
#pragma once
#include <string>

namespace kvhost {

// Answers 0 when everything went as it should.
int RunChartWindowDemo(const std::string& folder);

}  // namespace kvhost
