// Menus and popup menus on Windows: each call goes straight to the system,
// but for a popup menu tracked while a test has queued a choice: then the
// choice answers in place of the system's menu, which would wait for a user.
#include <string>
#include <vector>

#include "platform/ui/backend.h"
#include "platform/ui/menus.h"
#include "platform/ui/messages.h"
#include "platform/ui/win32/shared_ui.h"
#include "platform/ui/win32/user32.h"
#include "platform/ui/window.h"

namespace kvp {

namespace {

BOOL MenuAlive(void* menu) {
  return win32::IsMenu(static_cast<HMENU>(menu));
}

HMENU Remembered(HMENU menu) {
  if (menu != nullptr) {
    win32::SharedUiLock hold;
    win32::RememberHandle(hold.state().menus, menu, &MenuAlive);
  }
  return menu;
}

// The menu's items as the system keeps them, submenus after their item.
void Flatten(HMENU menu, int depth, std::vector<TrackedMenuItem>* out) {
  const int count = win32::GetMenuItemCount(menu);
  if (depth > 64) return;
  for (int position = 0; position < count; ++position) {
    const UINT state = win32::GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION);
    HMENU submenu = win32::GetSubMenu(menu, position);
    // A submenu's state carries its item count in the high byte.
    UINT flags = (submenu != nullptr ? state & 0xFF : state) &
                 (MF_SEPARATOR | MF_CHECKED | MF_GRAYED | MF_DISABLED);
    UINT id = win32::GetMenuItemID(menu, position);
    if (submenu != nullptr) {
      flags |= MF_POPUP;
      id = static_cast<UINT>(reinterpret_cast<uintptr_t>(submenu));
    }
    char text[256] = "";
    if ((flags & MF_SEPARATOR) == 0) {
      win32::GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
    }
    out->push_back(TrackedMenuItem{flags, id, text, depth});
    if (submenu != nullptr) Flatten(submenu, depth + 1, out);
  }
}

// Only an enabled command of the menu or of its submenus can be chosen.
bool Choosable(const std::vector<TrackedMenuItem>& items, UINT chosen) {
  for (const TrackedMenuItem& item : items) {
    if (item.id != chosen || (item.flags & (MF_POPUP | MF_SEPARATOR)) != 0) continue;
    return (item.flags & (MF_GRAYED | MF_DISABLED)) == 0;
  }
  return false;
}

}  // namespace

HMENU CreatePopupMenu() {
  return Remembered(win32::CreatePopupMenu());
}

HMENU CreateMenu() {
  return Remembered(win32::CreateMenu());
}

BOOL DestroyMenu(HMENU menu) {
  return win32::DestroyMenu(menu);
}

BOOL IsMenu(HMENU menu) {
  return win32::IsMenu(menu);
}

BOOL AppendMenuA(HMENU menu, UINT flags, uintptr_t id, const char* text) {
  return win32::AppendMenuA(menu, flags, id, text);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  return win32::CheckMenuItem(menu, item, flags);
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  return win32::EnableMenuItem(menu, item, flags);
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  return win32::GetMenuState(menu, item, flags);
}

int GetMenuItemCount(HMENU menu) {
  return win32::GetMenuItemCount(menu);
}

UINT GetMenuItemID(HMENU menu, int position) {
  return win32::GetMenuItemID(menu, position);
}

HMENU GetSubMenu(HMENU menu, int position) {
  return win32::GetSubMenu(menu, position);
}

int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
  return win32::GetMenuStringA(menu, item, buffer, size, flags);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* rect) {
  if (PendingMenuChoices() == 0) {
    return win32::TrackPopupMenu(menu, flags, x, y, reserved, owner, rect);
  }
  // Refused as the system refuses them, the choice kept for the next menu.
  if (!win32::IsWindow(owner) || !win32::IsMenu(menu)) return FALSE_;
  std::vector<TrackedMenuItem> items;
  Flatten(menu, 0, &items);
  UINT chosen = 0;
  detail::TakeMenuChoice(&chosen);
  if (chosen != 0 && !Choosable(items, chosen)) chosen = 0;
  win32::RecordTrackedMenu(owner, POINT{x, y}, chosen, items);
  if ((flags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(chosen);
  if (chosen != 0 && (flags & TPM_NONOTIFY) == 0) {
    win32::PostMessageA(owner, WM_COMMAND, chosen, 0);
  }
  return TRUE_;
}

size_t UiLiveMenus() {
  win32::SharedUiLock hold;
  return win32::CountAlive(hold.state().menus, &MenuAlive);
}

}  // namespace kvp
