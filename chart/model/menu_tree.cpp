#include "chart/model/menu_tree.h"

#include "chart/command/chart_strings.h"
#include "chart/ext/error_report.h"
#include "chart/model/menu_strings.h"

namespace kv::chart {

namespace {

// The commands in the order of their texts (text number 101 + index).
struct Layout {
  uint16_t command;
  bool inSubmenu;
};

constexpr Layout kLayout[kMenuTextCount] = {
    {kMenuType, false},         {kMenuTypePie, true},    {kMenuTypeCurve, true},
    {kMenuTypeColumn, true},    {kMenuTypePie3D, true},  {kMenuTypeColumn3D, true},
    {kMenuTypeScatter, true},   {kMenuFonts, false},     {kMenuFontTitle, true},
    {kMenuFontAxisTitle, true}, {kMenuFontLegend, true}, {kMenuFontLabel, true},
    {kMenuLegend, false},       {kMenuLegendNone, true}, {kMenuLegendRight, true},
    {kMenuLegendLeft, true},    {kMenuGrid, false},      {kMenuGridHorizontal, true},
    {kMenuGridVertical, true},  {kMenuPrint, false},
};

template <class Tree, class Item>
Item* Find(Tree& tree, uint16_t command) {
  for (Item& item : tree) {
    if (item.command == command) return &item;
    if (Item* inner = Find<Tree, Item>(item.submenu, command)) return inner;
  }
  return nullptr;
}

}  // namespace

MenuTree BuildMenuTree(MenuLanguage language) {
  const uint32_t base =
      kFirstMenuText + (language == MenuLanguage::kEnglish ? kv::ext::kEnglishTextOffset : 0);
  const kv::ext::StringTable& strings = ChartStrings();
  MenuTree tree;
  for (uint32_t i = 0; i < kMenuTextCount; ++i) {
    MenuItem item;
    item.command = kLayout[i].command;
    item.text = std::string(strings.Find(base + i));
    if (kLayout[i].inSubmenu) {
      tree.back().submenu.push_back(std::move(item));
    } else {
      // The separator stands between the grid menu and the print item.
      if (item.command == kMenuPrint) tree.push_back(MenuItem{});
      tree.push_back(std::move(item));
    }
  }
  return tree;
}

MenuItem* FindMenuItem(MenuTree& tree, uint16_t command) {
  return Find<MenuTree, MenuItem>(tree, command);
}

const MenuItem* FindMenuItem(const MenuTree& tree, uint16_t command) {
  return Find<const MenuTree, const MenuItem>(tree, command);
}

}  // namespace kv::chart
