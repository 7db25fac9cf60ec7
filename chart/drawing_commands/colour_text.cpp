#include "chart/drawing_commands/colour_text.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace kv::chart {
namespace {

struct NamedColour {
  int32_t rgb;  // red in the low byte, blue in the high byte
  char letter;
};

// In ascending order of value, for the binary search.
constexpr NamedColour kNamedColours[] = {
    {0x000000, 'N'}, {0x000080, 'r'}, {0x0000FF, 'R'}, {0x008000, 'v'},
    {0x008080, 'j'}, {0x00FF00, 'V'}, {0x00FFFF, 'J'}, {0x800000, 'b'},
    {0x800080, 'm'}, {0x808000, 'c'}, {0x808080, 'g'}, {0xC0C0C0, 'G'},
    {0xFF0000, 'B'}, {0xFF00FF, 'M'}, {0xFFFF00, 'C'}, {0xFFFFFF, 'W'},
};
static_assert(std::is_sorted(std::begin(kNamedColours), std::end(kNamedColours),
                             [](const NamedColour& a, const NamedColour& b) {
                               return a.rgb < b.rgb;
                             }));

constexpr int32_t kTransparent = -1;
constexpr int32_t kSameColour = -2;

}  // namespace

std::string ColourText(int32_t colour) {
  if (colour == kTransparent) return "T";
  if (colour == kSameColour) return "S";
  const NamedColour* found =
      std::lower_bound(std::begin(kNamedColours), std::end(kNamedColours), colour,
                       [](const NamedColour& named, int32_t value) { return named.rgb < value; });
  if (found != std::end(kNamedColours) && found->rgb == colour)
    return std::string(1, found->letter);
  auto bits = static_cast<uint32_t>(colour);
  char text[32];
  std::snprintf(text, sizeof text, "RVB(%d,%d,%d)", static_cast<int>(bits & 0xFF),
                static_cast<int>((bits >> 8) & 0xFF), static_cast<int>((bits >> 16) & 0xFF));
  return text;
}

}  // namespace kv::chart
