// Background (F) and pen (T) commands take a colour or a text of the
// drawing language as it stands; DESSIN_bRVB composes a colour.
#include "chart/drawing_commands/colour_text.h"
#include "chart/drawing_commands/command_text.h"
#include "chart/ext/call_block.h"
#include "kv/chart.h"

namespace {

using kv::chart::kEsc;

int32_t ColourOrText(CallBlock* call, char letter) {
  if (call == nullptr) return 0;
  std::string text(1, kEsc);
  text += letter;
  switch (kv::ext::SyntaxIndex(*call)) {
    case 0:
      text += kv::chart::ColourText(kv::ext::ArgInt(*call, 1));
      break;
    case 1:
      text += kv::chart::TextArgument(*call, 1);
      break;
    default:
      return 0;
  }
  return kv::chart::DeliverText(*call, text);
}

}  // namespace

KV_API int32_t KV_CALL DESSIN_bgFond(CallBlock* call) {
  return ColourOrText(call, 'F');
}
KV_API int32_t KV_CALL DESSIN_bgStylo(CallBlock* call) {
  return ColourOrText(call, 'T');
}

KV_API int32_t KV_CALL DESSIN_bRVB(CallBlock* call) {
  if (call == nullptr || kv::ext::SyntaxIndex(*call) != 0) return 0;
  int32_t red = kv::ext::ArgInt16(*call, 1);
  int32_t green = kv::ext::ArgInt16(*call, 2);
  int32_t blue = kv::ext::ArgInt16(*call, 3);
  // Computed unsigned: components outside 0..255 wrap instead of overflowing.
  auto colour = static_cast<uint32_t>(red) + static_cast<uint32_t>(green) * 256u +
                static_cast<uint32_t>(blue) * 65536u;
  return kv::ext::SetIntResult(*call, static_cast<int32_t>(colour)) ? 1 : 0;
}
