// grTitre, the three destinations, grLégende, grLibellé, grFenTaille,
// grMenu and grOptionMenu: settings of a chart that are not its data.
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"

using kv::ext::ArgInt;
using kv::ext::ArgInt16;
using kv::ext::SyntaxIndex;
using namespace kv::chart;

namespace {

// Syntaxes of grTitre.
constexpr int16_t kTitlePositionOnly = 0;
constexpr int16_t kTitleTextOnly = 1;
constexpr int32_t kTitleAtTop = 1;

// Command numbers are 16-bit.
constexpr int32_t kLargestMenuCommand = 0xFFFF;

}  // namespace

int32_t KV_CALL GRAPH_bGrTitre(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrTitre, [](ChartCall& c) {
    const int16_t syntax = SyntaxIndex(c.block);
    if (syntax == kTitlePositionOnly) {
      c.chart->SetTitlePosition(ArgInt(c.block, 2));
      return;
    }
    const std::string_view text = ArgTextOrEmpty(c.block, 2);
    c.chart->SetTitleText(text);
    if (syntax == kTitleTextOnly) {
      if (!text.empty()) c.chart->SetTitlePosition(kTitleAtTop);
    } else {
      c.chart->SetTitlePosition(ArgInt(c.block, 3));
    }
  });
}

int32_t KV_CALL GRAPH_bGrDestinationChamp(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrDestinationChamp, [](ChartCall& c) {
    const FieldReference* field = kv::ext::ArgField(c.block, 2);
    if (field == nullptr) {
      c.chart->SetError(ErrorState::kIncorrectParameter);
      return;
    }
    c.chart->SetFieldDestination(field->deviceContext, field->window);
  });
}

int32_t KV_CALL GRAPH_bGrDestinationFenetre(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrDestinationFenetre, [](ChartCall& c) {
    c.chart->SetWindowDestination(kv::ext::ArgWindow(c.block, 2), ArgTextOrEmpty(c.block, 3));
  });
}

int32_t KV_CALL GRAPH_bGrDestinationFichier(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrDestinationFichier, [](ChartCall& c) {
    c.chart->SetFileDestination(ArgTextOrEmpty(c.block, 2));
  });
}

int32_t KV_CALL GRAPH_bGrLegende(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrLegende,
                          [](ChartCall& c) { c.chart->SetLegendPosition(ArgInt(c.block, 2)); });
}

int32_t KV_CALL GRAPH_bGrLibelle(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrLibelle, [](ChartCall& c) {
    c.chart->SetLabelSwitch(ArgInt(c.block, 2), ArgInt(c.block, 3));
  });
}

int32_t KV_CALL GRAPH_bGrFenTaille(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrFenTaille, [](ChartCall& c) {
    const int16_t left = ArgInt16(c.block, 2);
    const int16_t top = ArgInt16(c.block, 3);
    const int16_t right = ArgInt16(c.block, 4);
    const int16_t bottom = ArgInt16(c.block, 5);
    Chart& chart = *c.chart;
    if (chart.pending.destinationKind == DestinationKind::kMetafile) {
      chart.printRect = PrintRect{left, top, right, bottom};
    } else {
      chart.pending.windowRect = WindowRect{left, top, right, bottom};
    }
  });
}

int32_t KV_CALL GRAPH_bGrMenu(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrMenu, [](ChartCall& c) {
    c.chart->menuEnabled = SyntaxIndex(c.block) == 0 ? 1 : ArgInt(c.block, 2);
  });
}

int32_t KV_CALL GRAPH_bGrOptionMenu(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrOptionMenu, [](ChartCall& c) {
    const int32_t command = ArgInt(c.block, 2);
    // A number no item can carry changes nothing.
    if (command < 0 || command > kLargestMenuCommand) return;
    c.chart->SetMenuText(static_cast<uint16_t>(command), ArgTextOrEmpty(c.block, 3));
  });
}
