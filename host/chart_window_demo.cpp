#include "host/chart_window_demo.h"

#include <cstdio>
#include <filesystem>
#include <vector>

#include "chart/model/chart.h"
#include "chart/model/chart_list.h"
#include "host/ext_harness.h"
#include "host/host_window.h"
#include "host/sample_charts.h"
#include "kv/chart.h"
#include "platform/gdi/gdi_objects.h"
#include "platform/gdi/printer.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kvhost {

namespace {

// The print set-up dialog's answer: a printer context on a PDF file.
kvp::BOOL AnswerPrint(kvp::PRINTDLGA* choice, void* context) {
  const auto* path = static_cast<const std::string*>(context);
  choice->hDC = kvp::CreateDCA(nullptr, "demo printer", path->c_str(), nullptr);
  return choice->hDC != nullptr;
}

// A right click at (x, y) of the window choosing the command.
void Choose(HostWindow& host, kvp::HWND window, unsigned command, int x, int y) {
  kvp::QueueMenuChoice(command);
  kvp::InjectClick(window, x, y, true);
  host.PumpWaiting();
  kvp::ClearMenuChoices();
}

kvp::HWND ChartWindowOf(ExtensionLibrary& library, const char* upperName) {
  auto* instance = static_cast<InstanceContext*>(library.instance());
  auto index = kv::chart::FindChart(*instance->charts, upperName);
  return index ? instance->charts->charts[*index]->drawing.chartWindow : nullptr;
}

}  // namespace

int RunChartWindowDemo(const std::string& folder) {
  const size_t objectsBefore = kvp::GdiLiveObjects();
  int status = 0;
  std::printf("\nChart windows, headless, written into %s:\n", folder.c_str());
  {
    ExtensionLibrary library;
    if (!StartChartLibrary(library)) return 1;
    HostWindow host("kvhost", 900, 600);
    if (!host.ok()) return 1;
    host.Show();
    const HostWindow::Field field = host.AddField(480, 40, 380, 300, kvp::RGB(240, 240, 200));
    FieldReference reference{};
    reference.deviceContext = field.dc;
    reference.window = field.window;

    std::vector<ChartCall> calls = SampleChartCalls("window", 1);
    calls.push_back({"grDestinationWnd",
                     0,
                     {Argument::Text("window"), Argument::Window(host.window()),
                      Argument::Text("Sales (own window)")}});
    calls.push_back({"grDraw", 0, {Argument::Text("window")}});
    for (ChartCall& call : SampleChartCalls("field", 0)) calls.push_back(std::move(call));
    calls.push_back(
        {"grDestinationField", 0, {Argument::Text("field"), Argument::Field(reference)}});
    calls.push_back({"grDraw", 0, {Argument::Text("field")}});
    if (!RunChartCalls(library, calls)) status = 1;
    host.PumpWaiting();
    kvp::HWND chartWindow = ChartWindowOf(library, "WINDOW");
    const std::string before = folder + "/chart-window.png";
    const std::string hostBefore = folder + "/host-window.png";
    if (!kvp::WriteWindowPng(chartWindow, before.c_str()) ||
        !kvp::WriteWindowPng(host.window(), hostBefore.c_str()))
      status = 1;
    std::printf("  %s\n  %s\n", before.c_str(), hostBefore.c_str());

    // The popup menu: the window's chart becomes a curve with a grid, the
    // field's a column chart with its legend on the left; then printing.
    Choose(host, chartWindow, 1020, 100, 100);
    Choose(host, chartWindow, 4010, 100, 100);
    Choose(host, field.window, 1030, 50, 50);
    Choose(host, field.window, 3030, 50, 50);
    const std::string pdf = folder + "/chart-menu-print.pdf";
    kvp::SetPrintDlgHook(AnswerPrint, const_cast<std::string*>(&pdf));
    Choose(host, chartWindow, 50, 100, 100);
    kvp::SetPrintDlgHook(nullptr, nullptr);
    const std::string after = folder + "/chart-window-after-menu.png";
    const std::string hostAfter = folder + "/host-window-after-menu.png";
    if (!kvp::WriteWindowPng(chartWindow, after.c_str()) ||
        !kvp::WriteWindowPng(host.window(), hostAfter.c_str()) || !std::filesystem::exists(pdf))
      status = 1;
    std::printf("  %s\n  %s\n  %s\n", after.c_str(), hostAfter.c_str(), pdf.c_str());

    // The field given back, the host window closed through its loop.
    RunChartCalls(library, {{"grClearPict", 0, {Argument::Text("field")}}});
    host.PumpWaiting();
    const std::string restored = folder + "/host-window-field-restored.png";
    if (!kvp::WriteWindowPng(host.window(), restored.c_str())) status = 1;
    std::printf("  %s\n", restored.c_str());
    host.CloseAndRun();
    library.Unload();
  }
  std::printf("  live windows %zu, classes %zu, menus %zu, graphic objects %zu once it is over\n",
              kvp::UiLiveWindows(), kvp::UiLiveClasses(), kvp::UiLiveMenus(),
              kvp::GdiLiveObjects() - objectsBefore);
  return status;
}

}  // namespace kvhost
