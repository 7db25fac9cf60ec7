#include "host/chart_render.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

#include "chart/model/chart.h"
#include "chart/model/chart_list.h"
#include "host/ext_harness.h"
#include "kv/chart.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer.h"

namespace kvhost {

namespace {

std::vector<std::string> SplitCsvLine(const std::string& line) {
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      cells.push_back(cell);
      cell.clear();
    } else if (c != '\r') {
      cell += c;
    }
  }
  cells.push_back(cell);
  return cells;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Extension(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? std::string() : Lower(path.substr(dot));
}

struct Caller {
  ExtensionLibrary& library;
  std::string& error;
  bool ok = true;

  void operator()(const char* function, int16_t syntax, std::vector<Argument> arguments) {
    if (!ok) return;
    std::string mismatch;
    auto outcome = library.CallByName(function, syntax, arguments, std::nullopt, &mismatch);
    if (!outcome) {
      error = std::string(function) + ": " + mismatch;
      ok = false;
    } else if (outcome->returned != 1) {
      error = std::string(function) + ": " + outcome->englishText;
      ok = false;
    }
  }
};

kv::chart::Chart* FindModel(ExtensionLibrary& library, const std::string& name) {
  auto* instance = static_cast<InstanceContext*>(library.instance());
  if (instance == nullptr || instance->charts == nullptr) return nullptr;
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  auto index = kv::chart::FindChart(*instance->charts, upper);
  return index ? instance->charts->charts[*index].get() : nullptr;
}

// Builds the chart through the language functions.
bool BuildChart(Caller& call, const ChartRequest& request) {
  const Argument name = Argument::Text(request.name);
  call("grCreate", 0, {name, Argument::Int(request.type)});
  if (!request.title.empty()) {
    call("grTitle", 2, {name, Argument::Text(request.title), Argument::Int(request.titlePosition)});
  }
  call("grLegend", 0, {name, Argument::Int(request.legend)});
  for (int i = 0; i < 3; ++i) {
    if (request.labels[i]) call("grLabel", 0, {name, Argument::Int(i), Argument::Int(1)});
  }
  if (!request.face.empty()) {
    call("grCreateFont", 0,
         {Argument::Int(1), Argument::Int(request.fontSize > 0 ? request.fontSize : 12),
          Argument::Int(0), Argument::Text(request.face)});
    call("grCreateFont", 0,
         {Argument::Int(2), Argument::Int(request.fontSize > 0 ? request.fontSize + 4 : 16),
          Argument::Int(8), Argument::Text(request.face)});
    call("grTitleFont", 0, {name, Argument::Int(2)});
    call("grLegendFont", 0, {name, Argument::Int(1)});
    call("grLabelFont", 0, {name, Argument::Int(1)});
    call("grAxeTitleFont", 0, {name, Argument::Int(1)});
  }
  if (request.horizontalGrid) call("grQuadrillage", 0, {name, Argument::Int(1), Argument::Int(1)});
  if (request.verticalGrid) call("grQuadrillage", 0, {name, Argument::Int(1), Argument::Int(0)});
  if (request.explode > 0)
    call("grPieEccentred", 0, {name, Argument::Int(1), Argument::Int(request.explode)});
  for (size_t c = 0; c < request.categories.size(); ++c) {
    call("grCategoryLabel", 0,
         {name, Argument::Int(static_cast<int32_t>(c + 1)), Argument::Text(request.categories[c])});
  }
  const bool scatter = request.type == 5;
  for (size_t s = 0; s < request.series.size(); ++s) {
    if (scatter && s % 2 == 1) continue;
    const auto number = static_cast<int32_t>(scatter ? s / 2 + 1 : s + 1);
    call("grSerialLabel", 0, {name, Argument::Int(number), Argument::Text(request.series[s])});
  }
  for (size_t s = 0; s < request.values.size(); ++s) {
    if (scatter) {
      if (s % 2 == 1) continue;
      const auto pair = static_cast<int32_t>(s / 2 + 1);
      for (size_t c = 0; c < request.values[s].size(); ++c) {
        const double x = request.values[s][c];
        const double y = s + 1 < request.values.size() && c < request.values[s + 1].size()
                             ? request.values[s + 1][c]
                             : std::nan("");
        if (std::isnan(x) || std::isnan(y)) continue;
        call("grScatterAddDataXY", 1,
             {name, Argument::Int(pair), Argument::Int(static_cast<int32_t>(c + 1)),
              Argument::Double(x), Argument::Double(y)});
      }
      continue;
    }
    for (size_t c = 0; c < request.values[s].size(); ++c) {
      if (std::isnan(request.values[s][c])) continue;
      call("grAddData", 1,
           {name, Argument::Int(static_cast<int32_t>(s + 1)),
            Argument::Int(static_cast<int32_t>(c + 1)), Argument::Double(request.values[s][c])});
    }
  }
  return call.ok;
}

}  // namespace

bool ReadChartCsv(const std::string& path, ChartRequest& request, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string line;
  if (!std::getline(in, line)) {
    error = path + ": empty file";
    return false;
  }
  std::vector<std::string> header = SplitCsvLine(line);
  request.series.assign(header.begin() + 1, header.end());
  request.values.assign(request.series.size(), {});
  int row = 1;
  while (std::getline(in, line)) {
    ++row;
    if (line.empty() || line == "\r") continue;
    std::vector<std::string> cells = SplitCsvLine(line);
    request.categories.push_back(cells[0]);
    for (size_t s = 0; s < request.series.size(); ++s) {
      double value = std::nan("");
      if (s + 1 < cells.size() && !cells[s + 1].empty()) {
        char* end = nullptr;
        value = std::strtod(cells[s + 1].c_str(), &end);
        if (end == cells[s + 1].c_str() || *end != '\0') {
          error = path + ":" + std::to_string(row) + ": not a number: " + cells[s + 1];
          return false;
        }
      }
      request.values[s].push_back(value);
    }
  }
  return true;
}

bool DrawChart(ExtensionLibrary& library, const ChartRequest& request, const std::string& out,
               std::string& error) {
  Caller call{library, error};
  const std::string extension = Extension(out);
  if (extension != ".png" && extension != ".wmf" && extension != ".pdf") {
    error = out + ": the extension must be .png, .wmf or .pdf";
    return false;
  }
  if (!BuildChart(call, request)) return false;
  const Argument name = Argument::Text(request.name);
  bool done = true;
  if (extension == ".wmf") {
    call("grDestinationWMF", 0, {name, Argument::Text(out)});
    call("grWndSize", 0,
         {name, Argument::Int(0), Argument::Int(0), Argument::Int(request.width),
          Argument::Int(request.height)});
    call("grDraw", 0, {name});
    done = call.ok;
  } else if (extension == ".png") {
    kvp::HDC dc = kvp::CreateCompatibleDC(nullptr);
    kvp::HBITMAP bitmap = kvp::CreateCompatibleBitmap(dc, request.width, request.height);
    if (dc == nullptr || bitmap == nullptr) {
      error = "cannot make a bitmap of that size";
      done = false;
    } else {
      kvp::HGDIOBJ old = kvp::SelectObject(dc, bitmap);
      FieldReference field{};
      field.deviceContext = dc;
      call("grDestinationField", 0, {name, Argument::Field(field)});
      call("grDraw", 0, {name});
      if (call.ok && !kvp::WriteBitmapPng(bitmap, out.c_str())) {
        error = "cannot write " + out;
        done = false;
      }
      done = done && call.ok;
      // The field's picture goes back before the bitmap goes.
      call.ok = true;
      call("grClearPict", 0, {name});
      kvp::SelectObject(dc, old);
    }
    if (bitmap != nullptr) kvp::DeleteObject(bitmap);
    if (dc != nullptr) kvp::DeleteDC(dc);
  } else {
    // A printer whose port is the file; the page keeps the proportions of
    // the size asked for.
    kvp::HDC printer = kvp::CreateDCA("PDF", "PDF", out.c_str(), nullptr);
    kv::chart::Chart* chart = FindModel(library, request.name);
    if (printer == nullptr || chart == nullptr) {
      error = "cannot open a printer on " + out;
      done = false;
    } else {
      // Printing draws with the applied settings: the tool never drew on
      // the screen, so it takes the pending ones up first.
      chart->ApplySettings();
      chart->drawing.screenWidth = request.width - 2;
      chart->drawing.screenHeight = request.height - 2;
      chart->Print(printer, kv::chart::PrintRect{});
      if (chart->TakeErrorState() != kv::chart::ErrorState::kNone) {
        error = "printing to " + out + " failed";
        done = false;
      }
    }
    if (printer != nullptr) kvp::DeleteDC(printer);
  }
  Caller cleanup{library, error};
  cleanup("grDeleteAll", 0, {name});
  return done && cleanup.ok;
}

const char* ChartRenderUsage() {
  return "  kvhost chart render DATA.csv OUT [--type pie|column|curve|pie3d|column3d|scatter]\n"
         "        [--title TEXT] [--legend none|right|left] [--labels values,percent,names]\n"
         "        [--title-position top|bottom] [--font FACE] [--size WxH]\n"
         "                        draw a chart from a CSV file into OUT (.png, .wmf or .pdf)\n";
}

int ChartRenderCommand(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage:\n%s", ChartRenderUsage());
    return 2;
  }
  ChartRequest request;
  std::string error;
  if (!ReadChartCsv(argv[0], request, error)) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  const std::string out = argv[1];
  static const char* const kTypes[] = {"pie", "column", "curve", "pie3d", "column3d", "scatter"};
  // Every option takes a value: they come in pairs.
  for (int i = 2; i < argc; i += 2) {
    const std::string option = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool known = value != nullptr;
    if (option == "--type" && value != nullptr) {
      known = false;
      for (int t = 0; t < 6; ++t) {
        if (Lower(value) == kTypes[t]) {
          request.type = t;
          known = true;
        }
      }
    } else if (option == "--title" && value != nullptr) {
      request.title = value;
    } else if (option == "--legend" && value != nullptr) {
      const std::string v = Lower(value);
      request.legend = v == "none" ? 0 : v == "right" ? 1 : v == "left" ? 2 : -1;
      known = request.legend >= 0;
    } else if (option == "--labels" && value != nullptr) {
      std::stringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        if (item == "values")
          request.labels[0] = true;
        else if (item == "percent")
          request.labels[1] = true;
        else if (item == "names")
          request.labels[2] = true;
        else
          known = false;
      }
    } else if (option == "--title-position" && value != nullptr) {
      const std::string v = Lower(value);
      request.titlePosition = v == "top" ? 1 : v == "bottom" ? 2 : -1;
      known = request.titlePosition > 0;
    } else if (option == "--font" && value != nullptr) {
      request.face = value;
    } else if (option == "--size" && value != nullptr) {
      int w = 0, h = 0;
      char extra = 0;
      known = std::sscanf(value, "%dx%d%c", &w, &h, &extra) == 2 && w >= 40 && h >= 30 &&
              w <= 8000 && h <= 8000;
      request.width = w;
      request.height = h;
    } else {
      known = false;
    }
    if (!known) {
      std::fprintf(stderr, "kvhost: bad option %s\nusage:\n%s", option.c_str(), ChartRenderUsage());
      return 2;
    }
  }
  ExtensionLibrary library;
  if (!library.Load("kvchart.dll", error) || !library.CreateInstance() || !library.Describe()) {
    std::fprintf(stderr, "kvhost: cannot start kvchart: %s\n", error.c_str());
    return 1;
  }
  library.SetLanguage(1);
  const bool drawn = DrawChart(library, request, out, error);
  library.Unload();
  if (!drawn) {
    std::fprintf(stderr, "kvhost: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %s chart, %zu series, %zu categories\n", out.c_str(), kTypes[request.type],
              request.series.size(), request.categories.size());
  return 0;
}

int DrawDemoCharts(ExtensionLibrary& library, const std::string& folder) {
  static const char* const kFiles[] = {"pie", "column", "curve", "pie3d", "column3d", "scatter"};
  ChartRequest base;
  base.series = {"North", "South", "East"};
  base.categories = {"Q1", "Q2", "Q3", "Q4"};
  base.values = {{120.5, 98, 143.25, 110}, {80, 95.5, 60, 130}, {40, 55, 70, 52}};
  int failures = 0;
  for (int type = 0; type < 6; ++type) {
    ChartRequest request = base;
    request.type = type;
    request.title = std::string("Sales (") + kFiles[type] + ")";
    if (type == 0 || type == 3) request.labels[1] = true;
    if (type == 5) {
      request.series = {"Price", "Volume", "Cost", "Margin"};
      request.values = {
          {1, 2, 3, 4, 5}, {10, 14, 9, 20, 18}, {1.5, 2.5, 3.5, 4.5, 5.5}, {4, 6, 8, 7, 12}};
      request.categories.clear();
    }
    for (const char* extension : {".wmf", ".png", ".pdf"}) {
      const std::string out = folder + "/" + kFiles[type] + extension;
      std::string error;
      if (!DrawChart(library, request, out, error)) {
        std::printf("  %-24s failed: %s\n", out.c_str(), error.c_str());
        ++failures;
      } else {
        std::printf("  %s\n", out.c_str());
      }
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace kvhost

// kvhost draws charts: the font caches fontconfig and cairo keep for the
// life of the process are not leaks to report when it runs under the
// sanitizers.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}
