#include "host/sample_charts.h"

#include <cstdio>
#include <string>

namespace kvhost {

bool StartChartLibrary(ExtensionLibrary& library) {
  std::string error;
  if (!library.Load("kvchart.dll", error) || !library.CreateInstance() || !library.Describe()) {
    std::fprintf(stderr, "kvhost: cannot start kvchart: %s\n", error.c_str());
    return false;
  }
  library.SetLanguage(1);
  return true;
}

bool RunChartCalls(ExtensionLibrary& library, const std::vector<ChartCall>& calls) {
  for (const ChartCall& call : calls) {
    auto outcome = library.CallByName(call.name, call.syntax, call.arguments);
    if (!outcome || outcome->returned != 1) {
      std::printf("  %s failed\n", call.name);
      return false;
    }
  }
  return true;
}

std::vector<ChartCall> SampleChartCalls(const char* name, int type, const char* title) {
  std::vector<ChartCall> calls = {{"grCreate", 0, {Argument::Text(name), Argument::Int(type)}}};
  if (title != nullptr) {
    calls.push_back(
        {"grTitle", 2, {Argument::Text(name), Argument::Text(title), Argument::Int(1)}});
  }
  calls.push_back({"grLegend", 0, {Argument::Text(name), Argument::Int(1)}});
  const char* series[] = {"North", "South"};
  for (int s = 1; s <= 2; ++s) {
    calls.push_back({"grSerialLabel",
                     0,
                     {Argument::Text(name), Argument::Int(s), Argument::Text(series[s - 1])}});
    for (int c = 1; c <= 4; ++c) {
      calls.push_back({"grAddData",
                       1,
                       {Argument::Text(name), Argument::Int(s), Argument::Int(c),
                        Argument::Double(20.0 * s + 15.0 * c - c * c)}});
    }
  }
  return calls;
}

}  // namespace kvhost
