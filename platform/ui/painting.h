// Painting windows (used by kvchart, kvimage and the host).
//
// A window's client area is an off-screen raster picture (the graphics
// layer's image surface, white at creation, resized with the window and
// keeping what it showed); BeginPaint and GetWindowClientDC hand out a
// screen-type context (OBJ_DC) drawing on it, ended by EndPaint and
// ReleaseDC. The whole client area is drawable (no clipping to the update
// region). The update region is kept as a bounding rectangle; a visible
// window with one gets WM_PAINT when its queue is otherwise empty, or at
// once from UpdateWindow.
#pragma once
#include "platform/ui/window_types.h"

namespace kvp {

// A null rectangle means the whole client area; `erase` asks BeginPaint to
// send WM_ERASEBKGND. A null window invalidates every window.
KVP_API BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
KVP_API BOOL ValidateRect(HWND window, const RECT* rect);
// FALSE when the update region is empty.
KVP_API BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT now when the update region is not empty.
KVP_API BOOL UpdateWindow(HWND window);
KVP_API HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
KVP_API BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// A context on the window's client picture; end it with ReleaseDC.
KVP_API HDC GetWindowClientDC(HWND window);

// The window's client area as its picture shows it, its visible children
// drawn over it, copied into a new bitmap (the caller deletes it), or
// written as a PNG file (no Windows equivalent: the headless screen's way
// out).
KVP_API HBITMAP CopyWindowPicture(HWND window);
KVP_API BOOL WriteWindowPng(HWND window, const char* path);

}  // namespace kvp
