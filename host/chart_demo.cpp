#include "host/chart_demo.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "chart/model/chart.h"
#include "chart/model/chart_list.h"
#include "host/chart_render.h"
#include "host/chart_window_demo.h"
#include "host/cp1252.h"
#include "host/ext_harness.h"
#include "kv/chart.h"
#include "platform/gdi/gdi_objects.h"

namespace kvhost {
namespace {

const char* const kTypeNames[] = {"pie", "column", "curve", "pie 3D", "column 3D", "scatter"};

// The program's calls: (language name, syntax, arguments). Names are the
// English ones; accented French names would be Windows-1252 bytes.
struct Step {
  const char* name;
  int16_t syntax;
  std::vector<Argument> arguments;
};

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == 27) {
      out += "\\e";
    } else if (c == 30) {
      out += "\\x1e";
    } else {
      out += static_cast<char>(c);
    }
  }
  return Cp1252ToUtf8(out);
}

std::string FontText(const kv::chart::ElementFont& element) {
  kvp::LOGFONTA font{};
  if (element.font.get() == nullptr ||
      kvp::GetObjectA(element.font.get(), sizeof font, &font) != sizeof font)
    return "(none)";
  char text[96];
  std::snprintf(text, sizeof text, "%s height %ld%s%s, colour %06X", font.lfFaceName,
                static_cast<long>(font.lfHeight), font.lfWeight >= 700 ? " bold" : "",
                font.lfItalic ? " italic" : "", element.colour);
  return text;
}

// The model as the calls left it, read from the instance's chart list.
void PrintModel(const kv::chart::Chart& chart) {
  using kv::chart::FontElement;
  const auto& data = chart.data;
  std::printf("chart %s: %s, %u series, %u categories, values from %g to %g\n", chart.name.c_str(),
              kTypeNames[static_cast<int>(chart.type())], data.SeriesCount(), data.CategoryCount(),
              data.Minimum(), data.Maximum());
  for (int64_t s = 1; s <= data.SeriesCount(); ++s) {
    std::printf("  series %lld  %-12s colour %06X :", static_cast<long long>(s),
                Cp1252ToUtf8(std::string(data.SeriesLabel(s))).c_str(), data.SeriesColour(s));
    for (int64_t c = 1; c <= data.CategoryCount(); ++c) std::printf(" %8.2f", data.Value(s, c));
    std::printf("\n");
  }
  std::printf("  categories:");
  for (int64_t c = 1; c <= data.CategoryCount(); ++c)
    std::printf(" %s", Cp1252ToUtf8(std::string(data.CategoryLabel(c))).c_str());
  std::printf("\n");
  const auto& s = chart.pending;
  std::printf("  title \"%s\" (position %d), legend position %d, destination kind %d \"%s\"\n",
              Cp1252ToUtf8(s.title).c_str(), s.titlePosition, s.legendPosition,
              static_cast<int>(s.destinationKind), s.destinationText.c_str());
  std::printf("  horizontal grid %d, vertical axis \"%s\" step %g, relief %d, spacing %d\n",
              chart.HorizontalGrid(), Cp1252ToUtf8(std::string(chart.VerticalAxisTitle())).c_str(),
              chart.VerticalStep(), chart.ReliefDepth(), chart.ColumnSpacing());
  std::printf("  labels: values %d, percentages %d, labels %d; settings changed %s\n",
              chart.labelDisplay[0], chart.labelDisplay[1], chart.labelDisplay[2],
              chart.settingsChanged() ? "yes" : "no");
  std::printf("  fonts: title %s; legend %s\n", FontText(chart.font(FontElement::kTitle)).c_str(),
              FontText(chart.font(FontElement::kLegend)).c_str());
}

bool RunSteps(ExtensionLibrary& library, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    std::string mismatch;
    auto outcome =
        library.CallByName(step.name, step.syntax, step.arguments, std::nullopt, &mismatch);
    if (!outcome) {
      std::fprintf(stderr, "kvhost: %s: %s\n", step.name, mismatch.c_str());
      return false;
    }
    if (outcome->returned != 1) {
      std::printf("%s failed: message %u, \"%s\" / \"%s\"\n", step.name, outcome->errorMessage,
                  Cp1252ToUtf8(outcome->frenchText).c_str(),
                  Cp1252ToUtf8(outcome->englishText).c_str());
    }
  }
  return true;
}

void ShowDrawingCommands(ExtensionLibrary& library) {
  struct Command {
    const char* function;
    int16_t syntax;
    std::vector<Argument> arguments;
  };
  const std::vector<Command> commands = {
      {"DESSIN_bgRectangle",
       5,
       {Argument::Int(10), Argument::Int(20), Argument::Int(110), Argument::Int(70),
        Argument::Int(0xFF0000)}},
      {"DESSIN_bgCercle",
       6,
       {Argument::Int(0), Argument::Int(0), Argument::Int(50), Argument::Int(50),
        Argument::Int(0x123456), Argument::Int(-1)}},
      {"DESSIN_bgCoord", 0, {Argument::Int(5), Argument::Int(7)}},
      {"DESSIN_bgStylo", 0, {Argument::Int(-1)}},
      {"DESSIN_bgLien", 0, {Argument::Text("https://example.org/ventes")}},
  };
  std::printf("Drawing commands (ESC written as \\e):\n");
  for (const Command& c : commands) {
    auto function = reinterpret_cast<KvLanguageFunction>(library.Symbol(c.function));
    if (function == nullptr) continue;
    ResultArea area;
    area.presetType = kResultText;
    const CallOutcome outcome = library.CallDirect(function, c.syntax, c.arguments, area);
    std::printf("  %-20s syntax %d  %s\n", c.function, c.syntax,
                outcome.returned == 1 ? Escaped(outcome.resultBytes).c_str() : "(refused)");
  }
}

}  // namespace

int RunChartDemo() {
  ExtensionLibrary library;
  std::string error;
  if (!library.Load("kvchart.dll", error) || !library.CreateInstance() || !library.Describe()) {
    std::fprintf(stderr, "kvhost: cannot start kvchart: %s\n", error.c_str());
    return 1;
  }
  library.SetLanguage(1);  // English menus for the charts created from now on
  auto group = library.GroupName(1);
  std::printf("== kvchart loaded through DLL_bCommande (%s, version %u, %u functions) ==\n\n",
              group ? group->c_str() : "?", library.Version().value_or(0),
              library.description().functionCount);

  const std::vector<Step> steps = {
      {"grCreate", 0, {Argument::Text("sales"), Argument::Int(1)}},
      {"grTitle",
       2,
       {Argument::Text("sales"), Argument::Text("Sales by quarter"), Argument::Int(1)}},
      {"grLegend", 0, {Argument::Text("sales"), Argument::Int(1)}},
      {"grDestinationWMF", 0, {Argument::Text("sales"), Argument::Text("sales.wmf")}},
      {"grSerialLabel", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Text("North")}},
      {"grSerialLabel", 0, {Argument::Text("sales"), Argument::Int(2), Argument::Text("South")}},
      {"grSerialColor", 0, {Argument::Text("sales"), Argument::Int(2), Argument::Int(0x0000FF)}},
      {"grCategoryLabel", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Text("Q1")}},
      {"grCategoryLabel", 0, {Argument::Text("sales"), Argument::Int(2), Argument::Text("Q2")}},
      {"grCategoryLabel", 0, {Argument::Text("sales"), Argument::Int(3), Argument::Text("Q3")}},
      {"grAddData", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Double(120.5)}},
      {"grAddData", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Double(98.0)}},
      {"grAddData", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Double(143.25)}},
      {"grAddData",
       1,
       {Argument::Text("sales"), Argument::Int(2), Argument::Int(3), Argument::Double(-12.0)}},
      {"grLabel", 0, {Argument::Text("sales"), Argument::Int(0), Argument::Int(1)}},
      {"grQuadrillage", 0, {Argument::Text("sales"), Argument::Int(1), Argument::Int(1)}},
      {"grAxisTitle", 0, {Argument::Text("sales"), Argument::Text("k\x80"), Argument::Int(0)}},
      {"grCreateFont",
       1,
       {Argument::Int(1), Argument::Int(20), Argument::Int(8 | 4),
        Argument::Text("Liberation Sans"), Argument::Int(0x800000)}},
      {"grTitleFont", 0, {Argument::Text("sales"), Argument::Int(1)}},
  };
  if (!RunSteps(library, steps)) return 1;
  auto* instance = static_cast<InstanceContext*>(library.instance());
  const KvChartList& list = *instance->charts;
  auto index = kv::chart::FindChart(list, "SALES");
  if (!index) return 1;
  PrintModel(*list.charts[*index]);

  std::printf("\nAfter grType to a column 3D chart with relief 25:\n");
  if (!RunSteps(library, {{"grType", 0, {Argument::Text("sales"), Argument::Int(4)}},
                          {"grRelief", 0, {Argument::Text("sales"), Argument::Int(-25)}}}))
    return 1;
  index = kv::chart::FindChart(list, "SALES");
  if (!index) return 1;
  PrintModel(*list.charts[*index]);

  std::printf("\nA call that fails reports in both languages:\n  ");
  RunSteps(library, {{"grTitle", 0, {Argument::Text("sales"), Argument::Int(3)}}});
  std::printf("  ");
  RunSteps(library, {{"grDraw", 0, {Argument::Text("nothing")}}});
  std::printf("\n");
  ShowDrawingCommands(library);

  // One chart of each type drawn into a metafile file, a PNG picture and a
  // printed PDF page.
  const char* folderSetting = std::getenv("KV_DEMO_OUT");
  const std::string folder =
      folderSetting != nullptr && folderSetting[0] != '\0' ? folderSetting : "kvhost-charts";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::printf("\nCharts drawn into %s:\n", folder.c_str());
  const int drawn = DrawDemoCharts(library, folder);
  library.Unload();
  std::printf("  live graphic objects once the instance is gone: %zu\n", kvp::GdiLiveObjects());
  const int windows = RunChartWindowDemo(folder);
  return drawn != 0 ? drawn : windows;
}

}  // namespace kvhost
