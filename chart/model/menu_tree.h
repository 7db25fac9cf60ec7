// The popup menu of a chart, kept as a plain tree (one per language) from
// which the window code builds a platform menu when the user asks for it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv::chart {

// Menu command numbers.
enum MenuCommand : uint16_t {
  kMenuType = 10,
  kMenuTypePie = 1010,
  kMenuTypeCurve = 1020,
  kMenuTypeColumn = 1030,
  kMenuTypePie3D = 1040,
  kMenuTypeColumn3D = 1050,
  kMenuTypeScatter = 1060,
  kMenuFonts = 20,
  kMenuFontTitle = 2010,
  kMenuFontAxisTitle = 2020,
  kMenuFontLegend = 2030,
  kMenuFontLabel = 2040,
  kMenuLegend = 30,
  kMenuLegendNone = 3010,
  kMenuLegendRight = 3020,
  kMenuLegendLeft = 3030,
  kMenuGrid = 40,
  kMenuGridHorizontal = 4010,
  kMenuGridVertical = 4020,
  kMenuSeparator = 0,
  kMenuPrint = 50,
};

inline constexpr uint16_t kMenuChecked = 1;

struct MenuItem {
  uint16_t state = 0;  // kMenuChecked or 0
  std::string text;    // empty for the separator
  uint16_t command = 0;
  std::vector<MenuItem> submenu;
};

using MenuTree = std::vector<MenuItem>;

enum class MenuLanguage { kFrench, kEnglish };

// The tree with the texts of the language, nothing checked.
MenuTree BuildMenuTree(MenuLanguage language);

// The first item with that command number, searched depth first through the
// submenus; null when there is none.
MenuItem* FindMenuItem(MenuTree& tree, uint16_t command);
const MenuItem* FindMenuItem(const MenuTree& tree, uint16_t command);

}  // namespace kv::chart
