// Drawing charts from data with kvchart, as a program would: the language
// functions build the chart, and its picture goes to a PNG (a field's
// bitmap), a placeable metafile file or a PDF page (a printer whose port is
// the file), chosen by the output's extension.
#pragma once
#include <string>
#include <vector>

namespace kvhost {

class ExtensionLibrary;

struct ChartRequest {
  std::string name = "chart";
  int type = 1;  // 0 pie .. 5 scatter
  std::string title;
  int titlePosition = 1;
  int legend = 1;                          // 0 none, 1 right, 2 left
  bool labels[3] = {false, false, false};  // values, percentages, names
  int width = 640;
  int height = 480;
  std::string face;  // the face of every font when not empty
  int fontSize = 0;  // with `face`: the size of the fonts
  bool horizontalGrid = false;
  bool verticalGrid = false;
  int explode = 0;                      // a pie's first category pulled out by this percentage
  std::vector<std::string> series;      // names
  std::vector<std::string> categories;  // labels
  // values[series][category]; a NaN is a value not given.
  std::vector<std::vector<double>> values;
};

// Reads a CSV file: the first row holds the series names (its first cell
// names the category column), each further row a category label and its
// values. False with a message for a file that cannot be read or parsed.
bool ReadChartCsv(const std::string& path, ChartRequest& request, std::string& error);

// Draws the chart into `out` (.png, .wmf or .pdf) through the loaded
// library. False with a message when a call fails or the file is not
// written.
bool DrawChart(ExtensionLibrary& library, const ChartRequest& request, const std::string& out,
               std::string& error);

// kvhost chart render DATA.csv OUT [options]
int ChartRenderCommand(int argc, char** argv);
const char* ChartRenderUsage();

// The chart part of the demo's pictures: one chart of each type to WMF,
// PNG and PDF in `folder`. Returns 0 on success.
int DrawDemoCharts(ExtensionLibrary& library, const std::string& folder);

}  // namespace kvhost
