// Invalidation and painting on Windows: each call goes straight to the system.
#include "platform/gdi/device_context.h"
#include "platform/gdi/gdi_objects.h"
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

// The client area as the system's window context shows it, children
// included, once every pending paint is done.
HBITMAP CopyWindowPicture(HWND window) {
  RECT client;
  if (!win32::GetClientRect(window, &client)) return nullptr;
  win32::UpdateWindow(window);
  HDC source = win32::GetDC(window);
  if (source == nullptr) return nullptr;
  HDC copy = CreateCompatibleDC(source);
  HBITMAP picture =
      copy == nullptr ? nullptr : CreateCompatibleBitmap(source, client.right, client.bottom);
  if (picture != nullptr) {
    HGDIOBJ old = SelectObject(copy, picture);
    BitBlt(copy, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    SelectObject(copy, old);
  }
  if (copy != nullptr) DeleteDC(copy);
  win32::ReleaseDC(window, source);
  return picture;
}

}  // namespace kvp
