// Chart window tests: the library loaded through the host's harness, a
// host window that owns the chart windows and a field backed by a memory
// context, as the host keeps its fields; after command 2 no window, class,
// menu, block or graphic object of the library may be left.
#pragma once
#include <string>
#include <vector>

#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "tests/chart_model/chart_fixture.h"

namespace charttest {

// A field: a child of the host window whose picture lives in a memory
// context; painting copies it to the window.
struct Field {
  kvp::HWND window = nullptr;
  kvp::HDC dc = nullptr;
  kvp::HBITMAP bitmap = nullptr;
  kvp::HGDIOBJ oldBitmap = nullptr;
  int width = 0;
  int height = 0;
};

class ChartWindowTest : public ChartTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A chart of the type with two series over three categories.
  void MakeChart(const std::string& name, int type);
  void ToWindow(const std::string& name, const std::string& caption = "Ventes");
  void ToField(const std::string& name);
  // Right click at the client point of the window, choosing `command`
  // (0: dismissing the menu), with the queue pumped afterwards.
  void ChooseFromMenu(kvp::HWND window, unsigned command, int x = 40, int y = 40);
  kvp::HWND ChartWindowOf(const std::string& upperName);
  // Every pixel of a bitmap, as 0x00RRGGBB.
  static std::vector<uint32_t> Pixels(kvp::HBITMAP bitmap);
  std::vector<uint32_t> WindowPixels(kvp::HWND window);
  std::vector<uint32_t> FieldPixels();

  kvp::HWND host_ = nullptr;
  Field field_;
  size_t windowsBefore_ = 0;
  size_t classesBefore_ = 0;
  size_t menusBefore_ = 0;
};

int Pump();

}  // namespace charttest
