// The 16 language constants of the chart library: chart types, positions of
// the legend and the title, label display switches and axes.
#include <iterator>

#include "chart/command/language_tables.h"

namespace kv::chart {
namespace {

constexpr ConstantEntry Constant(const char* french, const char* english, int32_t value) {
  return ConstantEntry{french, english, kValueInt, value};
}

const ConstantEntry kConstants[] = {
    Constant("grSecteur", "grPie", 0),
    Constant("grHisto", "grColumn", 1),
    Constant("grCourbe", "grCurve", 2),
    Constant("grSecteur3D", "grPie3D", 3),
    Constant("grHisto3D", "grColumn3D", 4),
    Constant("grNuage", "grScatter", 5),
    Constant("grSans", "grNone", 0),
    Constant("grADroite", "grAtRight", 1),
    Constant("grAGauche", "grAtLeft", 2),
    Constant("grEnHaut", "grAtTop", 1),
    Constant("grEnBas", "grAtBottom", 2),
    Constant("grAfficheValeur", "grShowValue", 0),
    Constant("grAffichePourcentage", "grShowPercent", 1),
    Constant("grAfficheEtiquette", "grShowLabel", 2),
    Constant("grVertical", "grVertical", 0),
    Constant("grHorizontal", "grHorizontal", 1),
};
static_assert(std::size(kConstants) == kConstantCount);

}  // namespace

std::span<const ConstantEntry> ConstantTable() {
  return kConstants;
}

}  // namespace kv::chart
