// Charts of 12 categories by 6 series of each type drawn again and again
// onto the raster surface (a 640 x 480 bitmap, written as PNG like
// gnuplot's pngcairo does, each chart into a new file), onto the bitmap
// alone (no file: how much of the raster time the PNG takes) and into a
// metafile file for a while; prints charts per second of processor time
// for each type and surface.
//
//   bench_chart DIR SECONDS [TYPE [SURFACE]]
//
// SURFACE (raster, bitmap or metafile) keeps one surface only.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "chart/model/chart.h"
#include "chart/model/chart_factory.h"
#include "kv/ext_protocol.h"
#include "platform/gdi/device_context.h"

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
  return chart;
}

// User and system time of this process so far, in seconds: the machine
// the benchmark runs on is shared, so processor time is what is compared.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string NumberedPng(const std::string& out, long number) {
  return out + "." + std::to_string(number) + ".png";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(stderr, "usage: bench_chart DIR SECONDS [TYPE [SURFACE]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const double seconds = std::atof(argv[2]);
  static const char* const kTypes[] = {"pie", "column", "curve", "pie3d", "column3d", "scatter"};
  for (int type = 0; type < 6; ++type) {
    if (argc >= 4 && std::string(argv[3]) != kTypes[type]) continue;
    for (const char* surface : {"raster", "bitmap", "metafile"}) {
      if (argc == 5 && std::string(argv[4]) != surface) continue;
      std::unique_ptr<Chart> chart = MakeChart(type);
      kvp::HDC dc = nullptr;
      kvp::HBITMAP bitmap = nullptr;
      kvp::HGDIOBJ old = nullptr;
      const bool png = std::string(surface) == "raster";
      const bool raster = png || std::string(surface) == "bitmap";
      const std::string out = dir + "/bench-" + kTypes[type] + (raster ? ".png" : ".wmf");
      if (raster) {
        dc = kvp::CreateCompatibleDC(nullptr);
        bitmap = kvp::CreateCompatibleBitmap(dc, 640, 480);
        old = kvp::SelectObject(dc, bitmap);
        chart->SetFieldDestination(dc, nullptr);
      } else {
        chart->SetFileDestination(out);
      }
      chart->ApplySettings();
      long count = 0;
      const auto start = std::chrono::steady_clock::now();
      const double startCpu = ProcessorSeconds();
      double elapsed = 0;
      do {
        chart->Draw();
        // Each chart into a new file, as gnuplot writes its charts: a file
        // truncated and rewritten costs the file system more.
        if (png && !kvp::WriteBitmapPng(bitmap, NumberedPng(out, count).c_str())) return 1;
        if (chart->TakeErrorState() != ErrorState::kNone) {
          std::fprintf(stderr, "%s %s: drawing failed\n", kTypes[type], surface);
          return 1;
        }
        ++count;
        elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      } while (elapsed < seconds);
      std::printf("%s %s %.1f\n", kTypes[type], surface, count / (ProcessorSeconds() - startCpu));
      if (png) {
        // The last picture stays as OUT; the others go (outside the timing).
        std::filesystem::rename(NumberedPng(out, count - 1), out);
        for (long i = 0; i + 1 < count; ++i) std::filesystem::remove(NumberedPng(out, i));
      }
      chart->ClearDrawing();
      if (raster) {
        kvp::SelectObject(dc, old);
        kvp::DeleteObject(bitmap);
        kvp::DeleteDC(dc);
      }
    }
  }
  return 0;
}
