// Popup menus: items, states, submenus and tracking.
#include "platform/ui/menus.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

namespace {

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
  std::string text;
};

struct Menu {
  std::vector<MenuItem> items;
  HMENU ownedBy = nullptr;
};

struct MenuTable {
  std::mutex mutex;
  std::unordered_map<uintptr_t, std::shared_ptr<Menu>> menus;
  uintptr_t next = 0;
  TrackedMenu last;
};

MenuTable& Menus() {
  static auto* table = new MenuTable;
  return *table;
}

constexpr size_t kItemLimit = 4096;

}  // namespace

size_t LiveMenuCount() {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  return Menus().menus.size();
}

namespace {

// Under the menu mutex.
std::shared_ptr<Menu> FindMenu(HMENU menu) {
  auto found = Menus().menus.find(reinterpret_cast<uintptr_t>(menu));
  if (found == Menus().menus.end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return found->second;
}

// Under the menu mutex: the item named by command (searching submenus) or
// by position.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags, int depth = 0) {
  auto found = FindMenu(menu);
  if (!found || depth > 64) return nullptr;
  if ((flags & MF_BYPOSITION) != 0) {
    return item < found->items.size() ? &found->items[item] : nullptr;
  }
  for (auto& each : found->items) {
    if ((each.flags & MF_POPUP) != 0) {
      if (MenuItem* inner = FindItem(each.submenu, item, flags, depth + 1)) return inner;
    } else if ((each.flags & MF_SEPARATOR) == 0 && each.id == item) {
      return &each;
    }
  }
  return nullptr;
}

// Under the menu mutex: whether `menu` is `inner` or holds it.
bool Holds(HMENU menu, HMENU inner, int depth = 0) {
  if (menu == inner) return true;
  auto found = Menus().menus.find(reinterpret_cast<uintptr_t>(menu));
  if (found == Menus().menus.end() || depth > 64) return false;
  for (const auto& each : found->second->items) {
    if ((each.flags & MF_POPUP) != 0 && Holds(each.submenu, inner, depth + 1)) return true;
  }
  return false;
}

void Flatten(HMENU menu, int depth, std::vector<TrackedMenuItem>* out) {
  auto found = Menus().menus.find(reinterpret_cast<uintptr_t>(menu));
  if (found == Menus().menus.end() || depth > 64) return;
  for (const auto& each : found->second->items) {
    out->push_back(TrackedMenuItem{each.flags, each.id, each.text, depth});
    if ((each.flags & MF_POPUP) != 0) Flatten(each.submenu, depth + 1, out);
  }
}

HMENU Make() {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto handle = reinterpret_cast<HMENU>((++Menus().next << 4) | 0x4);
  Menus().menus.emplace(reinterpret_cast<uintptr_t>(handle), std::make_shared<Menu>());
  return handle;
}

void DestroyLocked(HMENU menu, int depth) {
  auto found = Menus().menus.find(reinterpret_cast<uintptr_t>(menu));
  if (found == Menus().menus.end() || depth > 64) return;
  std::shared_ptr<Menu> gone = found->second;
  Menus().menus.erase(found);
  for (const auto& each : gone->items) {
    if ((each.flags & MF_POPUP) != 0) DestroyLocked(each.submenu, depth + 1);
  }
}

}  // namespace

}  // namespace detail

using detail::Menus;

HMENU CreatePopupMenu() {
  return detail::Make();
}

HMENU CreateMenu() {
  return detail::Make();
}

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto found = detail::FindMenu(menu);
  if (!found) return FALSE_;
  if (found->ownedBy != nullptr) {
    // A submenu goes with its menu; taken out of it first.
    auto owner = Menus().menus.find(reinterpret_cast<uintptr_t>(found->ownedBy));
    if (owner != Menus().menus.end()) {
      std::erase_if(owner->second->items, [&](const detail::MenuItem& item) {
        return (item.flags & MF_POPUP) != 0 && item.submenu == menu;
      });
    }
  }
  detail::DestroyLocked(menu, 0);
  return TRUE_;
}

BOOL IsMenu(HMENU menu) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  return Menus().menus.count(reinterpret_cast<uintptr_t>(menu)) != 0 ? TRUE_ : FALSE_;
}

BOOL AppendMenuA(HMENU menu, UINT flags, uintptr_t id, const char* text) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto found = detail::FindMenu(menu);
  if (!found) return FALSE_;
  if (found->items.size() >= detail::kItemLimit) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE_;
  }
  detail::MenuItem item;
  item.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
  if ((flags & MF_SEPARATOR) != 0) {
    item.flags = MF_SEPARATOR;
  } else if ((flags & MF_POPUP) != 0) {
    auto submenu = reinterpret_cast<HMENU>(id);
    auto inner = detail::FindMenu(submenu);
    // A submenu belongs to one menu, and never to itself.
    if (!inner || inner->ownedBy != nullptr || detail::Holds(submenu, menu)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE_;
    }
    inner->ownedBy = menu;
    item.submenu = submenu;
    item.id = 0xFFFFFFFF;
  } else {
    item.id = static_cast<UINT>(id);
  }
  if ((flags & MF_SEPARATOR) == 0 && text != nullptr) item.text = text;
  found->items.push_back(std::move(item));
  return TRUE_;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  detail::MenuItem* found = detail::FindItem(menu, item, flags);
  if (found == nullptr) return 0xFFFFFFFF;
  const DWORD previous = found->flags & MF_CHECKED;
  found->flags = (found->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return previous;
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  detail::MenuItem* found = detail::FindItem(menu, item, flags);
  if (found == nullptr) return -1;
  const BOOL previous = static_cast<BOOL>(found->flags & (MF_GRAYED | MF_DISABLED));
  found->flags = (found->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  detail::MenuItem* found = detail::FindItem(menu, item, flags);
  if (found == nullptr) return 0xFFFFFFFF;
  return found->flags;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto found = detail::FindMenu(menu);
  return found ? static_cast<int>(found->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto found = detail::FindMenu(menu);
  if (!found || position < 0 || static_cast<size_t>(position) >= found->items.size()) {
    return 0xFFFFFFFF;
  }
  return found->items[static_cast<size_t>(position)].id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  auto found = detail::FindMenu(menu);
  if (!found || position < 0 || static_cast<size_t>(position) >= found->items.size()) {
    return nullptr;
  }
  return found->items[static_cast<size_t>(position)].submenu;
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  detail::MenuItem* found = detail::FindItem(menu, item, flags);
  if (found == nullptr) return 0;
  if (buffer == nullptr || size <= 0) return static_cast<int>(found->text.size());
  const int copied = std::min(static_cast<int>(found->text.size()), size - 1);
  std::memcpy(buffer, found->text.data(), static_cast<size_t>(copied));
  buffer[copied] = '\0';
  return copied;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!IsWindow(owner)) return FALSE_;
  std::vector<TrackedMenuItem> items;
  {
    std::lock_guard<std::mutex> hold(Menus().mutex);
    if (!detail::FindMenu(menu)) return FALSE_;
    detail::Flatten(menu, 0, &items);
  }
  UINT chosen = detail::CurrentBackend().ChooseFromMenu(owner, POINT{x, y}, items);
  {
    std::lock_guard<std::mutex> hold(Menus().mutex);
    // Only an enabled command of this menu can be chosen.
    detail::MenuItem* item = chosen != 0 ? detail::FindItem(menu, chosen, MF_BYCOMMAND) : nullptr;
    if (item == nullptr || (item->flags & (MF_GRAYED | MF_DISABLED)) != 0) chosen = 0;
    Menus().last = TrackedMenu{true, POINT{x, y}, owner, chosen, std::move(items)};
  }
  if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(chosen);
  if (chosen != 0 && (flags & TPM_NONOTIFY) == 0) PostMessageA(owner, WM_COMMAND, chosen, 0);
  return TRUE_;
}

TrackedMenu LastTrackedMenu() {
  std::lock_guard<std::mutex> hold(Menus().mutex);
  return Menus().last;
}

}  // namespace kvp
