// grCréePolice and the four functions that give a chart element a font of
// the instance's font list.
#include <limits>

#include "chart/command/chart_strings.h"
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"
#include "chart/model/font_list.h"

using kv::ext::ArgInt;
using namespace kv::chart;

namespace {

// Style bits of grCréePolice.
constexpr int32_t kStyleUnderline = 2;
constexpr int32_t kStyleItalic = 4;
constexpr int32_t kStyleBold = 8;
constexpr int32_t kStyleStrikeOut = 16;

constexpr int16_t kWithColour = 1;

// A size is given in points and becomes a character height (negative);
// the one size without a negative counterpart gives the largest height.
int HeightFromSize(int32_t size) {
  return size == std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::max() : -size;
}

int32_t CreateNumberedFont(CallBlock& block) {
  if (!DeclaresSyntax(GRAPH_bGrCreePolice, block)) return 0;
  auto* instance = static_cast<InstanceContext*>(kv::ext::InstanceOf(block));
  if (instance == nullptr || instance->fonts == nullptr) return 0;
  const int32_t style = ArgInt(block, 3);
  const char* face = kv::ext::ArgText(block, 4);
  FontEntry entry;
  entry.number = ArgInt(block, 1);
  entry.font = OwnedFont(kvp::CreateFontA(
      HeightFromSize(ArgInt(block, 2)), 0, 0, 0, (style & kStyleBold) != 0 ? kvp::FW_BOLD : 0,
      (style & kStyleItalic) != 0, (style & kStyleUnderline) != 0, (style & kStyleStrikeOut) != 0,
      kvp::DEFAULT_CHARSET, kvp::OUT_DEFAULT_PRECIS, kvp::CLIP_DEFAULT_PRECIS, kvp::DEFAULT_QUALITY,
      kvp::DEFAULT_PITCH | kvp::FF_DONTCARE, face != nullptr ? face : ""));
  if (entry.font.get() == nullptr) throw std::bad_alloc();
  entry.colour =
      kv::ext::SyntaxIndex(block) == kWithColour ? static_cast<Rgb>(ArgInt(block, 5)) : 0;
  PutFont(*instance->fonts, std::move(entry));
  return 1;
}

// Gives the chart's element its own copy of font `number` and its colour.
int32_t TakeFont(CallBlock* call, KvLanguageFunction function, FontElement element) {
  return RunChartFunction(call, function, [element](ChartCall& c) {
    const KvFontList* fonts = c.instance.fonts;
    const FontEntry* entry = fonts != nullptr ? FindFont(*fonts, ArgInt(c.block, 2)) : nullptr;
    if (entry == nullptr) {
      c.fontMissing = true;
      return;
    }
    OwnedFont copy = entry->font.Copy();
    if (copy.get() == nullptr) throw std::bad_alloc();
    ElementFont& font = c.chart->font(element);
    font.font = std::move(copy);
    font.colour = entry->colour;
  });
}

}  // namespace

int32_t KV_CALL GRAPH_bGrCreePolice(CallBlock* call) {
  if (call == nullptr) return 0;
  try {
    return CreateNumberedFont(*call);
  } catch (const std::bad_alloc&) {
    return ReportChartError(*call, kErrorKind2, kMessageDataOverflow);
  }
}

int32_t KV_CALL GRAPH_bGrPoliceTitre(CallBlock* call) {
  return TakeFont(call, GRAPH_bGrPoliceTitre, FontElement::kTitle);
}

int32_t KV_CALL GRAPH_bGrPoliceTitreAxe(CallBlock* call) {
  return TakeFont(call, GRAPH_bGrPoliceTitreAxe, FontElement::kAxisTitle);
}

int32_t KV_CALL GRAPH_bGrPoliceLegende(CallBlock* call) {
  return TakeFont(call, GRAPH_bGrPoliceLegende, FontElement::kLegend);
}

int32_t KV_CALL GRAPH_bGrPoliceLabel(CallBlock* call) {
  return TakeFont(call, GRAPH_bGrPoliceLabel, FontElement::kLabel);
}
