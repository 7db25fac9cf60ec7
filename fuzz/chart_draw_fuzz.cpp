// Random language calls on one chart, then the chart drawn on every surface:
// a metafile file (checked with the tests' independent reader), a field's
// bitmap and a printed PDF page. No crash, no undefined behaviour, and no
// graphic object left once the instance is destroyed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/ext_harness.h"
#include "kv/chart.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/printer.h"
#include "tests/chart_draw/wmf_reader.h"

namespace {

using kvhost::Argument;

struct Input {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  int16_t Short() { return static_cast<int16_t>(Byte() | (Byte() << 8)); }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  bool Done() const { return at >= size; }
};

kvhost::ExtensionLibrary* Library() {
  static kvhost::ExtensionLibrary* library = [] {
    auto* made = new kvhost::ExtensionLibrary;
    std::string error;
    if (!made->Load("kvchart.dll", error)) {
      std::fprintf(stderr, "cannot load kvchart: %s\n", error.c_str());
      std::abort();
    }
    return made;
  }();
  return library;
}

void Call(const char* name, int16_t syntax, std::vector<Argument> arguments) {
  Library()->CallByName(name, syntax, arguments, std::nullopt, nullptr);
}

}  // namespace

// fontconfig and cairo keep caches of faces and patterns for the life of
// the process, in a form the leak checker cannot follow; they are not
// leaks of ours (our objects are counted by GdiLiveObjects below).
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libcairo.so\nleak:libfreetype.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// Every chart type drawn once with all its texts, so that the font caches
// are filled before inputs are checked for leaks.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (uint8_t type = 0; type < 6; ++type) {
    const uint8_t warm[] = {type, 0, 1, 0, 0,    0,    0, 0, 0, 0x24, 0x40, 0, 2, 0, 0,
                            0,    0, 0, 0, 0x34, 0x40, 2, 9, 1, 3,    1,    4, 0, 1, 4,
                            1,    1, 4, 2, 1,    12,   3, 5, 0, 0,    0,    0, 0, 0, 0};
    LLVMFuzzerTestOneInput(warm, sizeof warm);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvhost::ExtensionLibrary& library = *Library();
  if (!library.CreateInstance() || !library.Describe()) std::abort();
  Input in{data, size};
  const Argument name = Argument::Text("f");
  Call("grCreate", 0, {name, Argument::Int(in.Byte() % 7)});
  for (int step = 0; step < 200 && !in.Done(); ++step) {
    switch (in.Byte() % 14) {
      case 0:
        Call("grAddData", 0, {name, Argument::Int(in.Byte() % 5), Argument::Double(in.Double())});
        break;
      case 1:
        Call("grAddData", 1,
             {name, Argument::Int(in.Byte() % 5), Argument::Int(in.Byte() % 40),
              Argument::Double(in.Double())});
        break;
      case 2:
        Call(
            "grTitle", 2,
            {name, Argument::Text(std::string(in.Byte() % 30, 'T')), Argument::Int(in.Byte() % 3)});
        break;
      case 3:
        Call("grLegend", 0, {name, Argument::Int(in.Byte() % 3)});
        break;
      case 4:
        Call("grLabel", 0, {name, Argument::Int(in.Byte() % 3), Argument::Int(in.Byte() & 1)});
        break;
      case 5:
        Call("grPieEccentred", 0, {name, Argument::Int(in.Byte() % 20), Argument::Int(in.Short())});
        break;
      case 6:
        Call("grPieStartAngle", 0, {name, Argument::Int(in.Short())});
        break;
      case 7:
        Call("grGraduate", 0, {name, Argument::Double(in.Double()), Argument::Int(in.Byte() & 1)});
        break;
      case 8:
        Call("grColumnSpacement", 0, {name, Argument::Int(in.Short())});
        break;
      case 9:
        Call("grRelief", 0, {name, Argument::Int(in.Short())});
        break;
      case 10:
        Call("grScatterPointSize", 0, {name, Argument::Int(in.Short())});
        break;
      case 11:
        Call("grType", 0, {name, Argument::Int(in.Byte() % 7)});
        break;
      case 12:
        Call("grCategoryLabel", 0,
             {name, Argument::Int(in.Byte() % 12),
              Argument::Text(std::string(in.Byte() % 20, 'c'))});
        break;
      case 13:
        Call("grQuadrillage", 0,
             {name, Argument::Int(in.Byte() & 1), Argument::Int(in.Byte() & 1)});
        break;
    }
  }
  // A print rectangle of any size, the metafile file read back.
  Call("grDestinationWMF", 0, {name, Argument::Text("fuzz.wmf")});
  Call("grWndSize", 0,
       {name, Argument::Int(in.Short()), Argument::Int(in.Short()), Argument::Int(in.Short()),
        Argument::Int(in.Short())});
  std::remove("fuzz.wmf");
  Call("grDraw", 0, {name});
  const std::vector<uint8_t> bytes = charttest::ReadFileBytes("fuzz.wmf");
  if (!bytes.empty()) {
    std::string problem;
    charttest::ReadWmf(bytes, problem);
    if (!problem.empty()) {
      std::fprintf(stderr, "unsound metafile: %s\n", problem.c_str());
      std::abort();
    }
  }
  // A field of a random size.
  kvp::HDC dc = kvp::CreateCompatibleDC(nullptr);
  kvp::HBITMAP bitmap = kvp::CreateCompatibleBitmap(dc, 1 + in.Byte() * 3, 1 + in.Byte() * 2);
  kvp::HGDIOBJ old = kvp::SelectObject(dc, bitmap);
  FieldReference field{};
  field.deviceContext = dc;
  Call("grDestinationField", 0, {name, Argument::Field(field)});
  Call("grDraw", 0, {name});
  Call("grClearPict", 0, {name});
  kvp::SelectObject(dc, old);
  kvp::DeleteObject(bitmap);
  kvp::DeleteDC(dc);
  // A printed page, now and then (PDF files are the slow part).
  if (in.Byte() % 8 == 0) {
    setenv("KV_WINDIR", ".", 1);
    Call("grPrint", 1,
         {name, Argument::Int(in.Short()), Argument::Int(in.Short()), Argument::Int(in.Short()),
          Argument::Int(in.Short())});
  }
  if (!library.DestroyInstance()) std::abort();
  if (kvp::GdiLiveObjects() != 0) {
    std::fprintf(stderr, "%zu graphic objects left behind\n", kvp::GdiLiveObjects());
    std::abort();
  }
  return 0;
}
