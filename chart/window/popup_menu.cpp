// The popup menu: built from the menu tree of the chart's language and
// tracked at the pointer; the command comes back as WM_COMMAND.
#include "chart/window/chart_window.h"
#include "platform/ui/menus.h"
#include "platform/ui/window.h"

namespace kv::chart {

namespace {

// A platform menu holding the tree's items; null when one cannot be made
// (what was made is destroyed).
kvp::HMENU BuildMenu(const MenuTree& tree, int depth) {
  kvp::HMENU menu = kvp::CreatePopupMenu();
  if (menu == nullptr || depth > 8) return menu;
  for (const MenuItem& item : tree) {
    const kvp::UINT checked = (item.state & kMenuChecked) != 0 ? kvp::MF_CHECKED : 0;
    bool added;
    if (!item.submenu.empty()) {
      kvp::HMENU submenu = BuildMenu(item.submenu, depth + 1);
      added = submenu != nullptr &&
              kvp::AppendMenuA(menu, kvp::MF_POPUP | checked, reinterpret_cast<uintptr_t>(submenu),
                               item.text.c_str());
      if (!added && submenu != nullptr) kvp::DestroyMenu(submenu);
    } else if (item.command == kMenuSeparator && item.text.empty()) {
      added = kvp::AppendMenuA(menu, kvp::MF_SEPARATOR, 0, nullptr);
    } else {
      added = kvp::AppendMenuA(menu, kvp::MF_STRING | checked, item.command, item.text.c_str());
    }
    if (!added) {
      kvp::DestroyMenu(menu);
      return nullptr;
    }
  }
  return menu;
}

}  // namespace

void OpenPopupMenu(kvp::HWND window, const Chart& chart, int x, int y) {
  kvp::POINT at{x, y};
  if (!kvp::ClientToScreen(window, &at)) return;
  kvp::HMENU menu = BuildMenu(chart.shownMenu(), 0);
  if (menu == nullptr) return;
  kvp::TrackPopupMenu(menu, kvp::TPM_LEFTALIGN | kvp::TPM_RIGHTBUTTON, at.x, at.y, 0, window,
                      nullptr);
  kvp::DestroyMenu(menu);
}

}  // namespace kv::chart
