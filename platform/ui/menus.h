// Menus (used by kvchart and the host).
//
// Popup menus built from items, with check and enable states, tracked at a
// screen position. Headless, the choice comes from the backend: tests and
// the host queue choices (input.h); without one the menu is dismissed. The
// chosen command goes to the owner as WM_COMMAND (posted), or is answered
// with TPM_RETURNCMD. A choice that is no enabled command item of the menu
// (or of its submenus) dismisses it.
#pragma once
#include "platform/ui/window_types.h"

namespace kvp {

KVP_API HMENU CreatePopupMenu();
KVP_API HMENU CreateMenu();
// Destroys the menu and its submenus.
KVP_API BOOL DestroyMenu(HMENU menu);
KVP_API BOOL IsMenu(HMENU menu);
// MF_STRING, MF_SEPARATOR or MF_POPUP (`id` is then the submenu's HMENU,
// owned by this menu from now on), with MF_CHECKED, MF_GRAYED, MF_DISABLED.
KVP_API BOOL AppendMenuA(HMENU menu, UINT flags, uintptr_t id, const char* text);
// Answer the previous state, or 0xFFFFFFFF when the item does not exist.
KVP_API DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
KVP_API BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
KVP_API UINT GetMenuState(HMENU menu, UINT item, UINT flags);
KVP_API int GetMenuItemCount(HMENU menu);
KVP_API UINT GetMenuItemID(HMENU menu, int position);  // 0xFFFFFFFF for a submenu
KVP_API HMENU GetSubMenu(HMENU menu, int position);
KVP_API int GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);
KVP_API BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                            const RECT* rect);

}  // namespace kvp
