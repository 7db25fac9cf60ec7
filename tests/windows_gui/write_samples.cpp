// Writes the same files through the same calls on every target, so that the
// files the Windows build writes can be compared byte for byte with the
// Linux build's: a metafile recorded through the platform's drawing calls,
// a chart drawn into a metafile file, and GIF and JPEG files written by the
// image library from one bitmap.
//
//   kvwrite_samples <folder>
//
// The libraries are loaded as the host loads them (LoadLibraryA, then each
// function's address from GetProcAddress under its exported name).
//
// The charts have no title, labels or legend: their layout follows text
// measured with the system's fonts, which may differ between systems, and is
// not the system-neutral part the comparison is about. (The column chart's
// axis numbers are measured too; the fonts Wine takes for Arial measure as
// ours do, so they are compared as well.)
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "kv/chart.h"
#include "kv/ext_protocol.h"
#include "kv/image.h"
#include "platform/gdi/fonts.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/system.h"

namespace {

// The exports the program calls, looked up by their plain names.
struct Exports {
  decltype(&DLL_bCommande) command = nullptr;
  KvLanguageFunction create = nullptr;
  KvLanguageFunction legend = nullptr;
  KvLanguageFunction addData = nullptr;
  KvLanguageFunction destinationFile = nullptr;
  KvLanguageFunction draw = nullptr;
  decltype(&IMG_bConvert) convert = nullptr;
};
Exports exports;

template <typename Function>
bool Find(kvp::HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(kvp::GetProcAddress(module, name));
  if (function == nullptr) std::fprintf(stderr, "%s is not exported\n", name);
  return function != nullptr;
}

bool LoadLibraries() {
  kvp::HMODULE chart = kvp::LoadLibraryA("kvchart.DLL");
  kvp::HMODULE image = kvp::LoadLibraryA("kvimage.DLL");
  if (chart == nullptr || image == nullptr) {
    std::fprintf(stderr, "kvchart or kvimage cannot be loaded\n");
    return false;
  }
  return Find(chart, "DLL_bCommande", exports.command) &&
         Find(chart, "GRAPH_bGrCree", exports.create) &&
         Find(chart, "GRAPH_bGrLegende", exports.legend) &&
         Find(chart, "GRAPH_bGrAjouteDonnee", exports.addData) &&
         Find(chart, "GRAPH_bGrDestinationFichier", exports.destinationFile) &&
         Find(chart, "GRAPH_bGrDessine", exports.draw) &&
         Find(image, "IMG_bConvert", exports.convert);
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

// Every state and drawing call the recorder knows, with objects created,
// selected, reselected and deleted while the recording runs.
bool RecordPlatformMetafile(const std::string& path) {
  kvp::HDC dc = kvp::CreateMetaFileA(nullptr);
  if (dc == nullptr) return false;
  kvp::HPEN pen = kvp::CreatePen(kvp::PS_SOLID, 3, kvp::RGB(200, 10, 30));
  kvp::HBRUSH brush = kvp::CreateSolidBrush(kvp::RGB(0, 128, 255));
  kvp::HFONT font =
      kvp::CreateFontA(-14, 0, 0, 0, kvp::FW_BOLD, 0, 0, 0, kvp::ANSI_CHARSET,
                       kvp::OUT_DEFAULT_PRECIS, kvp::CLIP_DEFAULT_PRECIS, kvp::DEFAULT_QUALITY,
                       kvp::DEFAULT_PITCH | kvp::FF_DONTCARE, "Arial");
  kvp::SetMapMode(dc, kvp::MM_ANISOTROPIC);
  kvp::SetWindowOrgEx(dc, 0, 0, nullptr);
  kvp::SetWindowExtEx(dc, 400, 300, nullptr);
  kvp::SetBkMode(dc, kvp::TRANSPARENT);
  kvp::SetBkColor(dc, kvp::RGB(250, 250, 210));
  kvp::SetTextColor(dc, kvp::RGB(10, 20, 30));
  kvp::SetTextAlign(dc, kvp::TA_CENTER | kvp::TA_BASELINE);
  kvp::SelectObject(dc, pen);
  kvp::SelectObject(dc, brush);
  kvp::MoveToEx(dc, 10, 10, nullptr);
  kvp::LineTo(dc, 390, 290);
  kvp::Rectangle(dc, 20, 30, 120, 90);
  kvp::Ellipse(dc, 140, 30, 260, 110);
  kvp::Pie(dc, 270, 20, 390, 140, 390, 80, 330, 20);
  const kvp::POINT triangle[] = {{50, 200}, {120, 280}, {10, 280}};
  kvp::Polygon(dc, triangle, 3);
  const kvp::POINT zigzag[] = {{150, 200}, {180, 260}, {210, 200}, {240, 260}, {-40000, 70000}};
  kvp::Polyline(dc, zigzag, 5);
  kvp::SelectObject(dc, kvp::GetStockObject(kvp::NULL_PEN));
  kvp::SelectObject(dc, kvp::GetStockObject(kvp::WHITE_BRUSH));
  kvp::DeleteObject(pen);  // recorded as the deletion of its slot
  kvp::SelectObject(dc, font);
  kvp::TextOutA(dc, 300, 250, "Chiffre d'affaires \xE9t\xE9", 22);
  kvp::TextOutA(dc, 300, 270, "odd", 3);
  const kvp::RECT box{200, 150, 260, 190};
  kvp::FillRect(dc, &box, brush);
  kvp::HMETAFILE metafile = kvp::CloseMetaFile(dc);
  kvp::DeleteObject(brush);
  kvp::DeleteObject(font);
  if (metafile == nullptr) return false;
  std::vector<uint8_t> bits(kvp::GetMetaFileBitsEx(metafile, 0, nullptr));
  const bool copied =
      !bits.empty() && kvp::GetMetaFileBitsEx(metafile, static_cast<kvp::UINT>(bits.size()),
                                              bits.data()) == bits.size();
  kvp::DeleteMetaFile(metafile);
  return copied && WriteFile(path, bits);
}

// One call of a language function, its arguments in slots 1 and on.
bool CallChart(KvLanguageFunction function, void* instance, std::vector<void*> arguments,
               int16_t syntax = 0) {
  arguments.insert(arguments.begin(), nullptr);
  CallBlock call{};
  call.syntaxIndex = syntax;
  call.arguments = arguments.data();
  call.instance = instance;
  const bool done = function(&call) == 1;
  exports.command(9, 0, &call.error);
  return done;
}

// A column chart of two series and a pie, each drawn into a metafile file,
// without titles, labels or legend.
bool DrawChartMetafiles(const std::string& folder) {
  void* instance = nullptr;
  if (exports.command(1, 0, &instance) != 1) return false;
  bool done = true;
  struct Chart {
    const char* name;
    int32_t type;
    const char* file;
  };
  for (const Chart& chart :
       {Chart{"COLUMNS", 1, "chart_columns.wmf"}, Chart{"PIE", 0, "chart_pie.wmf"}}) {
    char name[16];
    std::snprintf(name, sizeof name, "%s", chart.name);
    int32_t type = chart.type;
    done = done && CallChart(exports.create, instance, {name, &type});
    int32_t none = 0;
    done = done && CallChart(exports.legend, instance, {name, &none});
    for (int32_t series = 1; series <= 2; ++series) {
      for (double value : {12.5, 40.0, 27.25, 8.0}) {
        double v = value * series;
        int32_t s = series;
        done = done && CallChart(exports.addData, instance, {name, &s, &v});
      }
    }
    std::string path = folder + "/" + chart.file;
    std::vector<char> file(path.begin(), path.end());
    file.push_back('\0');
    done = done && CallChart(exports.destinationFile, instance, {name, file.data()});
    done = done && CallChart(exports.draw, instance, {name});
  }
  exports.command(2, reinterpret_cast<uintptr_t>(instance), nullptr);
  return done;
}

// A packed 24-bit bitmap of 37 x 23 pixels (rows padded to 4 bytes) with
// smooth gradients and a few hard edges, in a global block.
kvp::HGLOBAL MakeBitmap() {
  const int width = 37, height = 23;
  const int stride = (width * 3 + 3) & ~3;
  const size_t size = 40 + static_cast<size_t>(stride) * height;
  kvp::HGLOBAL block = kvp::GlobalAlloc(kvp::GHND, size);
  auto* bytes = static_cast<uint8_t*>(kvp::GlobalLock(block));
  if (bytes == nullptr) return 0;
  auto put32 = [](uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(bytes, 40);
  put32(bytes + 4, width);
  put32(bytes + 8, height);
  bytes[12] = 1;   // planes
  bytes[14] = 24;  // bits per pixel
  put32(bytes + 20, static_cast<uint32_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bytes + 40 + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x * 7);                            // blue
      row[3 * x + 1] = static_cast<uint8_t>(y * 11);                       // green
      row[3 * x + 2] = static_cast<uint8_t>((x + y) % 5 == 0 ? 255 : 40);  // red
    }
  }
  kvp::GlobalUnlock(block);
  return block;
}

bool WriteImages(const std::string& folder) {
  kvp::HGLOBAL bitmap = MakeBitmap();
  if (bitmap == 0) return false;
  const std::string gif = folder + "/image.gif";
  const std::string jpeg = folder + "/image.jpg";
  const bool done = exports.convert(bitmap, gif.c_str(), kImageWriteGif, 64) == 1 &&
                    exports.convert(bitmap, jpeg.c_str(), kImageWriteJpeg, 85) == 1;
  kvp::GlobalFree(bitmap);
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: kvwrite_samples <folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  if (!LoadLibraries()) return 1;
  int failures = 0;
  if (!RecordPlatformMetafile(folder + "/platform.wmf")) {
    std::fprintf(stderr, "platform metafile not written\n");
    ++failures;
  }
  if (!DrawChartMetafiles(folder)) {
    std::fprintf(stderr, "chart metafiles not written\n");
    ++failures;
  }
  if (!WriteImages(folder)) {
    std::fprintf(stderr, "images not written\n");
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
