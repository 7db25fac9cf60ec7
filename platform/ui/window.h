// Window classes and windows (used by kvchart, kvimage, kvcomm and the host).
//
// Headless windows: objects with a class, a procedure, styles, an owner or
// parent, a rectangle on a 1024 x 768 screen, properties and an off-screen
// client picture. Every call validates its handle: a stale or forged HWND
// answers FALSE (0, null) with ERROR_INVALID_WINDOW_HANDLE, never a crash.
//
// Geometry: a window's rectangle is in screen coordinates (a child's in its
// parent's client coordinates, as Windows reports MoveWindow arguments).
// The non-client frame is WS_THICKFRAME 4 pixels a side (else WS_BORDER or
// WS_DLGFRAME 1 pixel), plus a 20-pixel caption for WS_CAPTION.
// CW_USEDEFAULT for x places an overlapped window at the next of ten
// cascading positions (x = y = 16 + 24 * k, k = 0..9, then again from 0);
// CW_USEDEFAULT for the width gives 640 x 480.
//
// Threads: a window belongs to the thread that created it; messages sent to
// it from another thread are delivered on that thread while it pumps (see
// messages.h). Only the owning thread destroys it (ERROR_ACCESS_DENIED
// otherwise). Windows a thread leaves behind at its end are removed without
// messages.
#pragma once
#include <cstddef>

#include "platform/ui/window_types.h"

namespace kvp {

// Registers a class for `hInstance` (null is fine); the atom, or 0 with
// ERROR_CLASS_ALREADY_EXISTS when the name (case-insensitive) is taken.
// "BUTTON" is predefined.
KVP_API ATOM RegisterClassA(const WNDCLASSA* windowClass);
// Copies the class's record; FALSE with ERROR_CLASS_DOES_NOT_EXIST.
KVP_API BOOL GetClassInfoA(HINSTANCE instance, const char* className, WNDCLASSA* windowClass);
// FALSE with ERROR_CLASS_HAS_WINDOWS while a window of the class lives, or
// ERROR_CLASS_DOES_NOT_EXIST.
KVP_API BOOL UnregisterClassA(const char* className, HINSTANCE instance);

// Creates the window: WM_NCCREATE (FALSE refuses), WM_CREATE (-1 refuses),
// then shown when WS_VISIBLE. `parent` is the parent of a WS_CHILD window
// (and `menu` its control id), otherwise the owner.
KVP_API HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style,
                             int x, int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, void* param);
inline HWND CreateWindowA(const char* className, const char* title, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          void* param) {
  return CreateWindowExA(0, className, title, style, x, y, width, height, parent, menu, instance,
                         param);
}
// Destroys owned windows, then sends WM_DESTROY, destroys the children and
// sends WM_NCDESTROY; the handle is dead afterwards.
KVP_API BOOL DestroyWindow(HWND window);
KVP_API BOOL IsWindow(HWND window);
// DefWindowProcA: WM_CLOSE destroys, WM_PAINT validates, WM_ERASEBKGND
// fills with the class brush, WM_RBUTTONUP sends WM_CONTEXTMENU,
// WM_SETTEXT/WM_GETTEXT keep the title.
KVP_API LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
KVP_API LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                                LPARAM lParam);

KVP_API BOOL ShowWindow(HWND window, int command);  // answers the previous visibility
KVP_API BOOL IsWindowVisible(HWND window);
KVP_API BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height,
                          UINT flags);
KVP_API BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
KVP_API BOOL GetWindowRect(HWND window, RECT* rect);  // screen coordinates
KVP_API BOOL GetClientRect(HWND window, RECT* rect);  // (0, 0, width, height)
KVP_API BOOL ClientToScreen(HWND window, POINT* point);
KVP_API BOOL ScreenToClient(HWND window, POINT* point);
KVP_API BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
KVP_API int GetSystemMetrics(int index);

KVP_API HWND GetParent(HWND window);  // the parent of a child, else the owner
KVP_API HWND GetWindow(HWND window, UINT relation);
KVP_API DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);
KVP_API int GetClassNameA(HWND window, char* buffer, int size);
KVP_API BOOL SetWindowTextA(HWND window, const char* text);
KVP_API int GetWindowTextA(HWND window, char* buffer, int size);

// GWLP_WNDPROC (subclassing), GWLP_USERDATA, GWL_STYLE, GWL_EXSTYLE,
// GWLP_ID, GWLP_HINSTANCE, GWLP_HWNDPARENT, or an offset into the class's
// cbWndExtra bytes (ERROR_INVALID_INDEX beyond them). Set answers the
// previous value.
KVP_API LONG_PTR GetWindowLongPtrA(HWND window, int index);
KVP_API LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);

// Properties: names are global atoms (case-insensitive) or MAKEINTATOM.
KVP_API BOOL SetPropA(HWND window, const char* name, HANDLE data);
KVP_API HANDLE GetPropA(HWND window, const char* name);
KVP_API HANDLE RemovePropA(HWND window, const char* name);
KVP_API ATOM GlobalAddAtomA(const char* name);
KVP_API ATOM GlobalFindAtomA(const char* name);

KVP_API BOOL EnableWindow(HWND window, BOOL enable);  // TRUE when it was disabled
KVP_API BOOL IsWindowEnabled(HWND window);
KVP_API BOOL SetForegroundWindow(HWND window);
KVP_API HWND GetForegroundWindow();
KVP_API HWND SetActiveWindow(HWND window);
KVP_API HWND GetActiveWindow();
KVP_API HWND SetFocus(HWND window);
KVP_API HWND GetFocus();
KVP_API BOOL BringWindowToTop(HWND window);

// Capture: mouse input goes to the capturing window wherever it falls.
KVP_API HWND SetCapture(HWND window);
KVP_API BOOL ReleaseCapture();
KVP_API HWND GetCapture();

// Predefined cursors only (a null instance); SetCursor answers the previous.
KVP_API HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
KVP_API HCURSOR SetCursor(HCURSOR cursor);
KVP_API HCURSOR GetCursor();
KVP_API BOOL GetCursorPos(POINT* point);

// Live objects of the user interface: tests assert that a library and the
// host destroyed what they created. Predefined classes are not counted.
KVP_API size_t UiLiveWindows();
KVP_API size_t UiLiveClasses();
KVP_API size_t UiLiveMenus();

}  // namespace kvp
