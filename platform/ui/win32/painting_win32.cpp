// Invalidation and painting on Windows: each call goes straight to the system.
#include "platform/ui/painting.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  return win32::InvalidateRect(window, rect, erase);
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  return win32::ValidateRect(window, rect);
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase) {
  return win32::GetUpdateRect(window, rect, erase);
}

BOOL UpdateWindow(HWND window) {
  return win32::UpdateWindow(window);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  return win32::BeginPaint(window, paint);
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  return win32::EndPaint(window, paint);
}

// A context on the window's client area: the system's own window context.
HDC GetWindowClientDC(HWND window) {
  return win32::GetDC(window);
}

}  // namespace kvp
