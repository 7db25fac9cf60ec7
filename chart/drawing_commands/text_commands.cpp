// Commands around texts: links (K), images (B), the drawing point (X, Y),
// framed fields (C ... V) and values to fetch (V).
#include <cstring>

#include "chart/drawing_commands/command_text.h"
#include "chart/ext/call_block.h"
#include "kv/chart.h"

namespace {

using kv::chart::DeliverText;
using kv::chart::Format;
using kv::chart::kEsc;
using kv::chart::TextArgument;
using kv::ext::ArgInt16;
using kv::ext::SyntaxIndex;

// The record separator brackets a framed text.
constexpr char kRecordSeparator = '\x1e';

}  // namespace

KV_API int32_t KV_CALL DESSIN_bgLien(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != 0) return 0;
  const char* target = TextArgument(*call, 1);
  // A link cut in the middle would swallow what follows it: when the whole
  // command (two ESC K pairs and the zero) does not fit, the result is empty.
  if (std::strlen(target) + 5 > call->resultCapacity) return DeliverText(*call, "");
  return DeliverText(*call, Format("%cK%s%cK", kEsc, target, kEsc));
}

KV_API int32_t KV_CALL DESSIN_bgImage(CallBlock* call) {
  if (call == nullptr) return 0;
  switch (SyntaxIndex(*call)) {
    case 0:
      return DeliverText(*call, Format("%cBN%s[]", kEsc, TextArgument(*call, 1)));
    case 1:
      return DeliverText(*call, Format("%cB%d[%d]", kEsc, ArgInt16(*call, 1), ArgInt16(*call, 2)));
    default:
      return 0;
  }
}

KV_API int32_t KV_CALL DESSIN_bgCoord(CallBlock* call) {
  if (call == nullptr) return 0;
  switch (SyntaxIndex(*call)) {
    case 0:
      return DeliverText(
          *call, Format("%cX%d%cY%04d", kEsc, ArgInt16(*call, 1), kEsc, ArgInt16(*call, 2)));
    case 1:
      return DeliverText(*call, Format("%cY%04d", kEsc, ArgInt16(*call, 2)));
    case 2:
      return DeliverText(*call, Format("%cX%04d", kEsc, ArgInt16(*call, 1)));
    case 3:
      return DeliverText(*call, "");
    default:
      return 0;
  }
}

KV_API int32_t KV_CALL DESSIN_bgCadrage(CallBlock* call) {
  if (call == nullptr) return 0;
  int syntax = SyntaxIndex(*call);
  if (syntax < 0 || syntax > 2) return 0;
  const char* frame = TextArgument(*call, 1);
  const char* content = TextArgument(*call, 2);
  std::string head =
      Format("%cC%sV(%c%s%c", kEsc, frame, kRecordSeparator, content, kRecordSeparator);
  if (syntax == 0) return DeliverText(*call, head + ")");
  if (syntax == 1) return DeliverText(*call, head + Format(",%d)", ArgInt16(*call, 3)));
  return DeliverText(*call, head + Format(",%i,,%i)", ArgInt16(*call, 3), ArgInt16(*call, 4)));
}

KV_API int32_t KV_CALL DESSIN_bgARecuperer(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != 0) return 0;
  return DeliverText(*call, Format("%cV%s%cV", kEsc, TextArgument(*call, 1), kEsc));
}
