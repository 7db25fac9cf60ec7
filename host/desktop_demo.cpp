#include "host/desktop_demo.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/ext_harness.h"
#include "host/host_window.h"
#include "host/sample_charts.h"
#include "host/sample_picture.h"
#include "kv/image.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/profile.h"
#include "platform/kernel/system.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"

namespace kvhost {

namespace {

// The host's own loop, as the real host runs it, until its window is gone;
// Escape in the window closes it too.
void RunUntilClosed(HostWindow& host) {
  kvp::MSG message{};
  while (kvp::GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == kvp::WM_KEYDOWN && message.wParam == kvp::VK_ESCAPE &&
        message.hwnd == host.window()) {
      kvp::DestroyWindow(host.window());
      continue;
    }
    kvp::TranslateMessage(&message);
    kvp::DispatchMessageA(&message);
  }
}

int ShowCharts() {
  ExtensionLibrary library;
  if (!StartChartLibrary(library)) return 1;
  int status = 0;
  {
    HostWindow host("kvhost demo", 900, 600);
    if (!host.ok()) return 1;
    host.Show();
    const HostWindow::Field field = host.AddField(480, 40, 380, 300, kvp::RGB(240, 240, 200));
    FieldReference reference{};
    reference.deviceContext = field.dc;
    reference.window = field.window;
    std::vector<ChartCall> calls = SampleChartCalls("window", 1, "Sales by quarter");
    calls.push_back({"grDestinationWnd",
                     0,
                     {Argument::Text("window"), Argument::Window(host.window()),
                      Argument::Text("Sales (own window)")}});
    calls.push_back({"grDraw", 0, {Argument::Text("window")}});
    for (ChartCall& call : SampleChartCalls("field", 0, "Share")) calls.push_back(std::move(call));
    calls.push_back(
        {"grDestinationField", 0, {Argument::Text("field"), Argument::Field(reference)}});
    calls.push_back({"grDraw", 0, {Argument::Text("field")}});
    if (!RunChartCalls(library, calls)) status = 1;
    std::printf(
        "  a chart in its own window and one in a field of the \"kvhost demo\" window:\n"
        "  right-click either for its menu (type, fonts, legend, grid, printing);\n"
        "  close the \"kvhost demo\" window, or press Escape in it, to go on\n");
    std::fflush(stdout);
    RunUntilClosed(host);
  }
  library.Unload();
  return status;
}

// A picture large enough that its reading can be seen, written as a JPEG
// and read back with the wait window, in a Windows directory of its own so
// that the user's "KVIMG.INI" is left alone.
int ReadUnderTheWaitWindow() {
  if (kvp::GetModuleHandleA("kvhost.DLL") == nullptr && kvp::LoadLibraryA("kvhost.DLL") == nullptr)
    return 1;
  const kvp::HMODULE module = kvp::LoadLibraryA("kvimage.DLL");
  if (module == nullptr) return 1;
  const auto init = reinterpret_cast<decltype(&bIMG_InitInstance)>(
      kvp::GetProcAddress(module, "bIMG_InitInstance"));
  const auto fin = reinterpret_cast<decltype(&bIMG_FinInstance)>(
      kvp::GetProcAddress(module, "bIMG_FinInstance"));
  const auto read = reinterpret_cast<decltype(&pstIMG_LectureImage)>(
      kvp::GetProcAddress(module, "pstIMG_LectureImage"));
  const auto convert =
      reinterpret_cast<decltype(&IMG_bConvert)>(kvp::GetProcAddress(module, "IMG_bConvert"));
  if (!init || !fin || !read || !convert || init(0, nullptr, nullptr) != 1) return 1;

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("kvhost-desktop-demo-" + std::to_string(kvp::GetCurrentProcessId()));
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  const char* old = std::getenv("KV_WINDIR");
  const std::string saved = old == nullptr ? "" : old;
  setenv("KV_WINDIR", folder.c_str(), 1);
  kvp::WritePrivateProfileStringA("Options", "AFF", "OUI", "KVIMG.INI");

  const uint32_t width = 3200, height = 2400;
  const kvp::HGLOBAL picture = MakeSamplePicture(width, height);
  int status = 1;
  if (picture != 0) {
    const std::string jpeg = (folder / "large picture.jpg").string();
    const bool wrote = convert(picture, jpeg.c_str(), kImageWriteJpeg, 95) == 1;
    kvp::GlobalFree(picture);
    if (wrote) {
      std::printf("  reading %s (%u x %u) under the wait window\n", jpeg.c_str(), width, height);
      std::fflush(stdout);
      ImageRecord* record = read(0, nullptr, jpeg.c_str(), 0, kImageReadWaitWindow);
      if (record != nullptr) {
        std::printf("  read: %d x %d pixels\n", record->header.biWidth, record->header.biHeight);
        if (record->pixels != nullptr) {
          const kvp::HGLOBAL pixels = kvp::GlobalHandle(record->pixels);
          kvp::GlobalUnlock(pixels);
          kvp::GlobalFree(pixels);
        }
        const kvp::HGLOBAL block = kvp::GlobalHandle(record);
        kvp::GlobalUnlock(block);
        kvp::GlobalFree(block);
      } else {
        std::printf("  the read was cancelled\n");
      }
      status = 0;
    }
  }
  fin(0);
  if (saved.empty())
    unsetenv("KV_WINDIR");
  else
    setenv("KV_WINDIR", saved.c_str(), 1);
  std::filesystem::remove_all(folder, ignored);
  return status;
}

}  // namespace

int RunDesktopDemo() {
  std::printf("Charts and images on the desktop:\n");
  const int charts = ShowCharts();
  const int image = ReadUnderTheWaitWindow();
  std::printf("  live windows %zu, classes %zu, menus %zu once it is over\n", kvp::UiLiveWindows(),
              kvp::UiLiveClasses(), kvp::UiLiveMenus());
  return charts != 0 || image != 0 ? 1 : 0;
}

}  // namespace kvhost
