// Menus and popup menus on Windows: each call goes straight to the system.
#include "platform/ui/menus.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

HMENU CreatePopupMenu() {
  return win32::CreatePopupMenu();
}

HMENU CreateMenu() {
  return win32::CreateMenu();
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
  return win32::TrackPopupMenu(menu, flags, x, y, reserved, owner, rect);
}

}  // namespace kvp
