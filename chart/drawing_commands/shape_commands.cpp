// Rectangles (R), ellipses (E) and lines (D): up to four coordinates, then
// colours. Each syntax gives one more argument than the one before it;
// coordinates not given stay empty between their commas.
#include "chart/drawing_commands/colour_text.h"
#include "chart/drawing_commands/command_text.h"
#include "chart/ext/call_block.h"
#include "kv/chart.h"

namespace {

using kv::chart::ColourText;
using kv::chart::Format;
using kv::chart::kEsc;
using kv::ext::ArgInt;
using kv::ext::ArgInt16;

int32_t Shape(CallBlock* call, char letter, int lastSyntax) {
  if (call == nullptr) return 0;
  int syntax = kv::ext::SyntaxIndex(*call);
  if (syntax < 0 || syntax > lastSyntax) return 0;
  std::string text = Format("%c%c(", kEsc, letter);
  // Syntaxes 0 to 4 give that many of the coordinates x1, y1, x2, y2.
  int coordinates = syntax < 4 ? syntax : 4;
  for (int k = 1; k <= 4; ++k) {
    if (k <= coordinates) text += Format("%d", ArgInt16(*call, k));
    if (k < 4) text += ',';
  }
  // Syntax 5 adds a colour, syntax 6 a second one.
  for (int k = 5; k <= syntax; ++k) text += "," + ColourText(ArgInt(*call, k));
  text += ')';
  return kv::chart::DeliverText(*call, text);
}

}  // namespace

KV_API int32_t KV_CALL DESSIN_bgRectangle(CallBlock* call) {
  return Shape(call, 'R', 6);
}
KV_API int32_t KV_CALL DESSIN_bgCercle(CallBlock* call) {
  return Shape(call, 'E', 6);
}
KV_API int32_t KV_CALL DESSIN_bgLigne(CallBlock* call) {
  return Shape(call, 'D', 5);
}
