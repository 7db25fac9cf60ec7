// Internal (Windows build): the user32 and kernel32 functions the window
// layer passes its calls to, declared over the platform's own types.
//
// The platform's records (MSG, WNDCLASSA, PAINTSTRUCT, RECT, POINT) have the
// field order and widths of the Windows ones, and its handles are pointers
// as the system's are, so each call goes straight through. <windows.h> is
// not included: its macros (WS_*, WM_*, CreateWindowA, ...) would rewrite the
// platform's own constants and inline functions of the same names.
#pragma once
#include "platform/ui/window_types.h"

#define KVW_IMPORT extern "C" __declspec(dllimport)
#define KVW_CALL __stdcall

namespace kvp::win32 {

static_assert(sizeof(MSG) == 28, "MSG keeps the Windows layout");
static_assert(sizeof(WNDCLASSA) == 40, "WNDCLASSA keeps the Windows layout");
static_assert(sizeof(PAINTSTRUCT) == 64, "PAINTSTRUCT keeps the Windows layout");
static_assert(sizeof(CREATESTRUCTA) == 48, "CREATESTRUCTA keeps the Windows layout");

KVW_IMPORT ATOM KVW_CALL RegisterClassA(const WNDCLASSA* windowClass);
KVW_IMPORT BOOL KVW_CALL GetClassInfoA(HINSTANCE instance, const char* name, WNDCLASSA* out);
KVW_IMPORT BOOL KVW_CALL UnregisterClassA(const char* name, HINSTANCE instance);
KVW_IMPORT HWND KVW_CALL CreateWindowExA(DWORD exStyle, const char* className, const char* title,
                                         DWORD style, int x, int y, int width, int height,
                                         HWND parent, HMENU menu, HINSTANCE instance, void* param);
KVW_IMPORT BOOL KVW_CALL DestroyWindow(HWND window);
KVW_IMPORT BOOL KVW_CALL IsWindow(HWND window);
KVW_IMPORT LRESULT KVW_CALL DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
KVW_IMPORT LRESULT KVW_CALL CallWindowProcA(WNDPROC procedure, HWND window, UINT message,
                                            WPARAM wParam, LPARAM lParam);
KVW_IMPORT BOOL KVW_CALL ShowWindow(HWND window, int command);
KVW_IMPORT BOOL KVW_CALL IsWindowVisible(HWND window);
KVW_IMPORT BOOL KVW_CALL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width,
                                      int height, UINT flags);
KVW_IMPORT BOOL KVW_CALL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
KVW_IMPORT BOOL KVW_CALL GetWindowRect(HWND window, RECT* rect);
KVW_IMPORT BOOL KVW_CALL GetClientRect(HWND window, RECT* rect);
KVW_IMPORT BOOL KVW_CALL ClientToScreen(HWND window, POINT* point);
KVW_IMPORT BOOL KVW_CALL ScreenToClient(HWND window, POINT* point);
KVW_IMPORT BOOL KVW_CALL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
KVW_IMPORT int KVW_CALL GetSystemMetrics(int index);
KVW_IMPORT HWND KVW_CALL GetParent(HWND window);
KVW_IMPORT HWND KVW_CALL GetWindow(HWND window, UINT relation);
KVW_IMPORT DWORD KVW_CALL GetWindowThreadProcessId(HWND window, DWORD* processId);
KVW_IMPORT int KVW_CALL GetClassNameA(HWND window, char* buffer, int size);
KVW_IMPORT BOOL KVW_CALL SetWindowTextA(HWND window, const char* text);
KVW_IMPORT int KVW_CALL GetWindowTextA(HWND window, char* buffer, int size);
// On the 32-bit system the pointer-sized window words are the LONG ones.
KVW_IMPORT LONG_PTR KVW_CALL GetWindowLongA(HWND window, int index);
KVW_IMPORT LONG_PTR KVW_CALL SetWindowLongA(HWND window, int index, LONG_PTR value);
KVW_IMPORT BOOL KVW_CALL SetPropA(HWND window, const char* name, HANDLE data);
KVW_IMPORT HANDLE KVW_CALL GetPropA(HWND window, const char* name);
KVW_IMPORT HANDLE KVW_CALL RemovePropA(HWND window, const char* name);
KVW_IMPORT ATOM KVW_CALL GlobalAddAtomA(const char* name);
KVW_IMPORT ATOM KVW_CALL GlobalFindAtomA(const char* name);
KVW_IMPORT BOOL KVW_CALL EnableWindow(HWND window, BOOL enable);
KVW_IMPORT BOOL KVW_CALL IsWindowEnabled(HWND window);
KVW_IMPORT BOOL KVW_CALL SetForegroundWindow(HWND window);
KVW_IMPORT HWND KVW_CALL GetForegroundWindow();
KVW_IMPORT HWND KVW_CALL SetActiveWindow(HWND window);
KVW_IMPORT HWND KVW_CALL GetActiveWindow();
KVW_IMPORT HWND KVW_CALL SetFocus(HWND window);
KVW_IMPORT HWND KVW_CALL GetFocus();
KVW_IMPORT BOOL KVW_CALL BringWindowToTop(HWND window);
KVW_IMPORT HWND KVW_CALL SetCapture(HWND window);
KVW_IMPORT BOOL KVW_CALL ReleaseCapture();
KVW_IMPORT HWND KVW_CALL GetCapture();
KVW_IMPORT HCURSOR KVW_CALL LoadCursorA(HINSTANCE instance, const char* name);
KVW_IMPORT HCURSOR KVW_CALL SetCursor(HCURSOR cursor);
KVW_IMPORT HCURSOR KVW_CALL GetCursor();
KVW_IMPORT BOOL KVW_CALL GetCursorPos(POINT* point);
KVW_IMPORT BOOL KVW_CALL SetCursorPos(int x, int y);
KVW_IMPORT HWND KVW_CALL ChildWindowFromPointEx(HWND parent, POINT point, UINT flags);
inline constexpr UINT CWP_SKIPINVISIBLE = 0x0001;

KVW_IMPORT BOOL KVW_CALL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
KVW_IMPORT BOOL KVW_CALL PostThreadMessageA(DWORD thread, UINT message, WPARAM wParam,
                                            LPARAM lParam);
KVW_IMPORT LRESULT KVW_CALL SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
KVW_IMPORT BOOL KVW_CALL PeekMessageA(MSG* message, HWND window, UINT min, UINT max, UINT remove);
KVW_IMPORT BOOL KVW_CALL GetMessageA(MSG* message, HWND window, UINT min, UINT max);
KVW_IMPORT BOOL KVW_CALL WaitMessage();
KVW_IMPORT LRESULT KVW_CALL DispatchMessageA(const MSG* message);
KVW_IMPORT BOOL KVW_CALL TranslateMessage(const MSG* message);
KVW_IMPORT void KVW_CALL PostQuitMessage(int exitCode);
KVW_IMPORT UINT KVW_CALL RegisterWindowMessageA(const char* name);
KVW_IMPORT uintptr_t KVW_CALL SetTimer(HWND window, uintptr_t id, UINT milliseconds,
                                       TIMERPROC procedure);
KVW_IMPORT BOOL KVW_CALL KillTimer(HWND window, uintptr_t id);

KVW_IMPORT HMENU KVW_CALL CreatePopupMenu();
KVW_IMPORT HMENU KVW_CALL CreateMenu();
KVW_IMPORT BOOL KVW_CALL DestroyMenu(HMENU menu);
KVW_IMPORT BOOL KVW_CALL IsMenu(HMENU menu);
KVW_IMPORT BOOL KVW_CALL AppendMenuA(HMENU menu, UINT flags, uintptr_t id, const char* text);
KVW_IMPORT DWORD KVW_CALL CheckMenuItem(HMENU menu, UINT item, UINT flags);
KVW_IMPORT BOOL KVW_CALL EnableMenuItem(HMENU menu, UINT item, UINT flags);
KVW_IMPORT UINT KVW_CALL GetMenuState(HMENU menu, UINT item, UINT flags);
KVW_IMPORT int KVW_CALL GetMenuItemCount(HMENU menu);
KVW_IMPORT UINT KVW_CALL GetMenuItemID(HMENU menu, int position);
KVW_IMPORT HMENU KVW_CALL GetSubMenu(HMENU menu, int position);
KVW_IMPORT int KVW_CALL GetMenuStringA(HMENU menu, UINT item, char* buffer, int size, UINT flags);
KVW_IMPORT BOOL KVW_CALL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved,
                                        HWND owner, const RECT* rect);

KVW_IMPORT BOOL KVW_CALL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
KVW_IMPORT BOOL KVW_CALL ValidateRect(HWND window, const RECT* rect);
KVW_IMPORT BOOL KVW_CALL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
KVW_IMPORT BOOL KVW_CALL UpdateWindow(HWND window);
KVW_IMPORT HDC KVW_CALL BeginPaint(HWND window, PAINTSTRUCT* paint);
KVW_IMPORT BOOL KVW_CALL EndPaint(HWND window, const PAINTSTRUCT* paint);
KVW_IMPORT HDC KVW_CALL GetDC(HWND window);
KVW_IMPORT int KVW_CALL ReleaseDC(HWND window, HDC dc);
KVW_IMPORT int KVW_CALL FillRect(HDC dc, const RECT* box, HBRUSH brush);

KVW_IMPORT void KVW_CALL Sleep(DWORD milliseconds);

}  // namespace kvp::win32
