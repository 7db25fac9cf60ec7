// Window classes, windows, properties, focus, capture and cursors on Windows: each call goes
// straight to the system. The classes and windows made through the layer are
// also noted, for the counts tests check (the system has no list of them).
#include "platform/ui/win32/shared_ui.h"
#include "platform/ui/win32/user32.h"
#include "platform/ui/window.h"

namespace kvp {

namespace {

BOOL WindowAlive(void* window) {
  return win32::IsWindow(static_cast<HWND>(window));
}

}  // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
  const ATOM atom = win32::RegisterClassA(windowClass);
  if (atom != 0) {
    win32::SharedUiLock hold;
    ++hold.state().classes;
  }
  return atom;
}

BOOL GetClassInfoA(HINSTANCE instance, const char* name, WNDCLASSA* out) {
  return win32::GetClassInfoA(instance, name, out);
}

BOOL UnregisterClassA(const char* name, HINSTANCE instance) {
  const BOOL done = win32::UnregisterClassA(name, instance);
  if (done) {
    win32::SharedUiLock hold;
    --hold.state().classes;
  }
  return done;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param) {
  HWND window = win32::CreateWindowExA(exStyle, className, title, style, x, y, width, height,
                                       parent, menu, instance, param);
  if (window != nullptr) {
    win32::SharedUiLock hold;
    win32::RememberHandle(hold.state().windows, window, &WindowAlive);
  }
  return window;
}

BOOL DestroyWindow(HWND window) {
  return win32::DestroyWindow(window);
}

BOOL IsWindow(HWND window) {
  return win32::IsWindow(window);
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return win32::DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  return win32::CallWindowProcA(procedure, window, message, wParam, lParam);
}

BOOL ShowWindow(HWND window, int command) {
  return win32::ShowWindow(window, command);
}

BOOL IsWindowVisible(HWND window) {
  return win32::IsWindowVisible(window);
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  return win32::SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return win32::MoveWindow(window, x, y, width, height, repaint);
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  return win32::GetWindowRect(window, rect);
}

BOOL GetClientRect(HWND window, RECT* rect) {
  return win32::GetClientRect(window, rect);
}

BOOL ClientToScreen(HWND window, POINT* point) {
  return win32::ClientToScreen(window, point);
}

BOOL ScreenToClient(HWND window, POINT* point) {
  return win32::ScreenToClient(window, point);
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
  return win32::AdjustWindowRectEx(rect, style, menu, exStyle);
}

int GetSystemMetrics(int index) {
  return win32::GetSystemMetrics(index);
}

HWND GetParent(HWND window) {
  return win32::GetParent(window);
}

HWND GetWindow(HWND window, UINT relation) {
  return win32::GetWindow(window, relation);
}

DWORD GetWindowThreadProcessId(HWND window, DWORD* processId) {
  return win32::GetWindowThreadProcessId(window, processId);
}

int GetClassNameA(HWND window, char* buffer, int size) {
  return win32::GetClassNameA(window, buffer, size);
}

BOOL SetWindowTextA(HWND window, const char* text) {
  return win32::SetWindowTextA(window, text);
}

int GetWindowTextA(HWND window, char* buffer, int size) {
  return win32::GetWindowTextA(window, buffer, size);
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  return win32::GetWindowLongA(window, index);
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return win32::SetWindowLongA(window, index, value);
}

BOOL SetPropA(HWND window, const char* name, HANDLE data) {
  return win32::SetPropA(window, name, data);
}

HANDLE GetPropA(HWND window, const char* name) {
  return win32::GetPropA(window, name);
}

HANDLE RemovePropA(HWND window, const char* name) {
  return win32::RemovePropA(window, name);
}

ATOM GlobalAddAtomA(const char* name) {
  return win32::GlobalAddAtomA(name);
}

ATOM GlobalFindAtomA(const char* name) {
  return win32::GlobalFindAtomA(name);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  return win32::EnableWindow(window, enable);
}

BOOL IsWindowEnabled(HWND window) {
  return win32::IsWindowEnabled(window);
}

BOOL SetForegroundWindow(HWND window) {
  return win32::SetForegroundWindow(window);
}

HWND GetForegroundWindow() {
  return win32::GetForegroundWindow();
}

HWND SetActiveWindow(HWND window) {
  return win32::SetActiveWindow(window);
}

HWND GetActiveWindow() {
  return win32::GetActiveWindow();
}

HWND SetFocus(HWND window) {
  return win32::SetFocus(window);
}

HWND GetFocus() {
  return win32::GetFocus();
}

BOOL BringWindowToTop(HWND window) {
  return win32::BringWindowToTop(window);
}

HWND SetCapture(HWND window) {
  return win32::SetCapture(window);
}

BOOL ReleaseCapture() {
  return win32::ReleaseCapture();
}

HWND GetCapture() {
  return win32::GetCapture();
}

HCURSOR LoadCursorA(HINSTANCE instance, const char* name) {
  return win32::LoadCursorA(instance, name);
}

HCURSOR SetCursor(HCURSOR cursor) {
  return win32::SetCursor(cursor);
}

HCURSOR GetCursor() {
  return win32::GetCursor();
}

BOOL GetCursorPos(POINT* point) {
  return win32::GetCursorPos(point);
}

size_t UiLiveWindows() {
  win32::SharedUiLock hold;
  return win32::CountAlive(hold.state().windows, &WindowAlive);
}

size_t UiLiveClasses() {
  win32::SharedUiLock hold;
  return hold.state().classes > 0 ? static_cast<size_t>(hold.state().classes) : 0;
}

}  // namespace kvp
