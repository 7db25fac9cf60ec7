// Paint messages of a chart window against drawing the same chart straight
// onto a raster surface of the same size: charts of 12 categories by 6
// series of each type, 640 x 480 client area. The two ways alternate in
// short turns for the time given; prints, per type, paints per second of
// processor time each way and their ratio.
//
//   bench_chart_paint SECONDS [TYPE]
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "chart/model/chart.h"
#include "chart/model/chart_factory.h"
#include "chart/window/chart_window.h"
#include "platform/gdi/device_context.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace {

using namespace kv::chart;

std::unique_ptr<Chart> MakeChart(int type) {
  std::unique_ptr<Chart> chart = CreateChart(static_cast<ChartType>(type));
  chart->name = "BENCH";
  for (int s = 1; s <= 6; ++s) {
    chart->data.SetSeriesLabel(s, "Series " + std::to_string(s));
    for (int c = 1; c <= 12; ++c) {
      chart->data.AppendValue(s, 10 + ((s * 37 + c * 53) % 90) + (type == 5 && s % 2 == 1 ? c : 0));
    }
  }
  for (int c = 1; c <= 12; ++c) chart->data.SetCategoryLabel(c, "M" + std::to_string(c));
  chart->SetTitleText("Monthly figures");
  chart->SetTitlePosition(1);
  chart->SetLegendPosition(1);
  // A window of 640 x 480 client pixels at the top left of the screen.
  chart->SetWindowDestination(nullptr, "bench");
  chart->pending.windowRect = WindowRect{0, 0, 648, 508};
  chart->ApplySettings();
  return chart;
}

double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: bench_chart_paint SECONDS [TYPE]\n");
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  static const char* const kTypes[] = {"pie", "column", "curve", "pie3d", "column3d", "scatter"};
  for (int type = 0; type < 6; ++type) {
    if (argc == 3 && std::string(argv[2]) != kTypes[type]) continue;
    std::unique_ptr<Chart> chart = MakeChart(type);
    if (!CreateChartWindow(*chart)) {
      std::fprintf(stderr, "bench_chart_paint: no chart window\n");
      return 1;
    }
    kvp::HWND window = chart->drawing.chartWindow;
    kvp::RECT client;
    kvp::GetClientRect(window, &client);
    kvp::HDC memory = kvp::CreateCompatibleDC(nullptr);
    kvp::HBITMAP bitmap = kvp::CreateCompatibleBitmap(memory, client.right, client.bottom);
    kvp::HGDIOBJ old = kvp::SelectObject(memory, bitmap);
    double windowTime = 0, directTime = 0;
    long windowPaints = 0, directPaints = 0;
    // Turns of 0.1 s each, window first, then the direct drawing.
    while (windowTime + directTime < seconds) {
      double start = ProcessorSeconds();
      do {
        kvp::InvalidateRect(window, nullptr, kvp::TRUE_);
        kvp::UpdateWindow(window);
        ++windowPaints;
      } while (ProcessorSeconds() - start < 0.1);
      windowTime += ProcessorSeconds() - start;
      start = ProcessorSeconds();
      do {
        PaintChart(*chart, memory);
        ++directPaints;
      } while (ProcessorSeconds() - start < 0.1);
      directTime += ProcessorSeconds() - start;
    }
    const double windowRate = windowPaints / windowTime;
    const double directRate = directPaints / directTime;
    std::printf("%s %.1f %.1f %.3f\n", kTypes[type], windowRate, directRate,
                directRate / windowRate);
    kvp::SelectObject(memory, old);
    kvp::DeleteObject(bitmap);
    kvp::DeleteDC(memory);
    chart->ClearDrawing();
  }
  UnregisterChartClass(nullptr);
  return 0;
}
