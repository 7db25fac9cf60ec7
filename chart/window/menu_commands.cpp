// The popup menu's commands: type, fonts, legend, grid and printing, each
// followed by a drawing.
#include <climits>
#include <cstdlib>

#include "chart/model/chart_list.h"
#include "chart/window/chart_window.h"
#include "platform/gdi/device_context.h"
#include "platform/gdi/fonts.h"
#include "platform/ui/dialogs.h"

namespace kv::chart {

namespace {

// The font dialog for one element, starting from its font and colour; on
// OK the element takes the chosen font (height made positive) and colour.
bool ChooseElementFont(kvp::HWND window, Chart& chart, FontElement element) {
  ElementFont& current = chart.font(element);
  kvp::LOGFONTA description{};
  if (current.font.get() != nullptr) {
    kvp::GetObjectA(current.font.get(), sizeof description, &description);
  }
  kvp::CHOOSEFONTA choice{};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = window;
  choice.lpLogFont = &description;
  choice.Flags = kvp::CF_SCREENFONTS | kvp::CF_EFFECTS | kvp::CF_INITTOLOGFONTSTRUCT;
  choice.rgbColors = current.colour;
  if (!kvp::ChooseFontA(&choice)) return false;
  const kvp::LONG height = description.lfHeight;
  description.lfHeight = height == INT32_MIN ? INT32_MAX : std::abs(height);
  OwnedFont made(kvp::CreateFontIndirectA(&description));
  if (made.get() == nullptr) return false;
  current.font = std::move(made);
  current.colour = choice.rgbColors;
  return true;
}

bool TypeOfCommand(unsigned command, ChartType* type) {
  switch (command) {
    case kMenuTypePie:
      *type = ChartType::kPie;
      return true;
    case kMenuTypeCurve:
      *type = ChartType::kCurve;
      return true;
    case kMenuTypeColumn:
      *type = ChartType::kColumn;
      return true;
    case kMenuTypePie3D:
      *type = ChartType::kPie3D;
      return true;
    case kMenuTypeColumn3D:
      *type = ChartType::kColumn3D;
      return true;
    case kMenuTypeScatter:
      *type = ChartType::kScatter;
      return true;
    default:
      return false;
  }
}

}  // namespace

void RunMenuCommand(kvp::HWND window, unsigned command) {
  Chart* chart = ChartOfWindow(window);
  if (chart == nullptr) return;
  kvp::HDC printer = nullptr;
  ChartType type;
  if (TypeOfCommand(command, &type)) {
    if (chart->list == nullptr) return;
    const std::optional<size_t> index = FindChart(*chart->list, chart->name);
    if (!index) return;
    try {
      ChangeChartType(*chart->list, *index, type);
    } catch (const std::bad_alloc&) {
      return;
    }
  } else {
    switch (command) {
      case kMenuFontTitle:
      case kMenuFontAxisTitle:
      case kMenuFontLegend:
      case kMenuFontLabel: {
        static constexpr FontElement kElements[] = {FontElement::kTitle, FontElement::kAxisTitle,
                                                    FontElement::kLegend, FontElement::kLabel};
        if (!ChooseElementFont(window, *chart, kElements[(command - kMenuFontTitle) / 10])) return;
        break;
      }
      case kMenuLegendNone:
      case kMenuLegendRight:
      case kMenuLegendLeft:
        chart->SetLegendPosition(static_cast<int32_t>((command - kMenuLegendNone) / 10));
        break;
      case kMenuGridHorizontal:
        chart->SetHorizontalGrid(chart->HorizontalGrid() != 0 ? 0 : 1);
        break;
      case kMenuGridVertical:
        chart->SetVerticalGrid(chart->VerticalGrid() != 0 ? 0 : 1);
        break;
      case kMenuPrint: {
        kvp::PRINTDLGA choice{};
        choice.lStructSize = sizeof choice;
        choice.hwndOwner = window;
        choice.Flags = kvp::PD_RETURNDC | kvp::PD_PRINTSETUP;
        if (!kvp::PrintDlgA(&choice) || choice.hDC == nullptr) return;
        printer = choice.hDC;
        chart->Print(printer, PrintRect{});
        break;
      }
      default:
        return;
    }
  }
  // A type change replaced the chart: the property names the one to draw.
  chart = ChartOfWindow(window);
  if (chart != nullptr) {
    RedrawChart(*chart);
    // Nobody called: there is no one to report a failure to.
    chart->TakeErrorState();
  }
  if (printer != nullptr) kvp::DeleteDC(printer);
}

}  // namespace kv::chart
