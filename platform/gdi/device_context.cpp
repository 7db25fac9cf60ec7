// The drawing calls: find the context, hold its lock, let its surface act.
#include "platform/gdi/device_context.h"

#include <cstring>
#include <new>

#include "platform/gdi/bitmap_object.h"
#include "platform/gdi/cairo_dc.h"
#include "platform/gdi/dc_object.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/gdi/png_writer.h"
#include "platform/ui/painting.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

BitmapObject::BitmapObject(cairo_surface_t* surface) : surface_(surface) {
  record_.bmWidth = cairo_image_surface_get_width(surface);
  record_.bmHeight = cairo_image_surface_get_height(surface);
  record_.bmWidthBytes = cairo_image_surface_get_stride(surface);
  record_.bmPlanes = 1;
  record_.bmBitsPixel = 32;
}

BitmapObject::~BitmapObject() {
  cairo_surface_destroy(surface_);
}

}  // namespace detail

namespace {

using detail::LookUpDC;

// Runs `action` on the locked context; `failed` for a dead handle.
template <typename Result, typename Action>
Result WithDC(HDC dc, Result failed, Action action) {
  std::shared_ptr<detail::DeviceContext> found = LookUpDC(dc);
  if (!found) return failed;
  std::lock_guard<std::mutex> hold(found->mutex);
  return action(*found);
}

cairo_surface_t* WhiteSurface(int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return surface;
}

HDC MakeRasterDC(DWORD type, int width, int height) {
  cairo_surface_t* surface = WhiteSurface(width, height);
  std::shared_ptr<detail::CairoDC> dc;
  try {
    dc = std::make_shared<detail::CairoDC>(type, surface, 1.0, false);
  } catch (const std::bad_alloc&) {
    cairo_surface_destroy(surface);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  cairo_surface_destroy(surface);
  return detail::RegisterDC(std::move(dc));
}

constexpr int kLargestSide = 16384;

}  // namespace

HDC CreateCompatibleDC(HDC) {
  HDC dc = MakeRasterDC(OBJ_MEMDC, 1, 1);
  // A memory context starts with the stock 1 x 1 bitmap.
  if (dc != nullptr) SelectObject(dc, detail::FindStockBitmap());
  return dc;
}

BOOL DeleteDC(HDC dc) {
  const DWORD type = GetObjectType(dc);
  if (type != OBJ_MEMDC && type != OBJ_DC) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return detail::UnregisterGdiObject(dc) ? TRUE_ : FALSE_;
}

HDC GetDC(HWND window) {
  // A window's context draws on its client picture (the window layer's).
  if (window != nullptr) return GetWindowClientDC(window);
  // One screen for the process, made on first use: every screen context
  // draws on it (measuring text, mostly, costs no new surface).
  static cairo_surface_t* screen = WhiteSurface(1024, 768);
  std::shared_ptr<detail::CairoDC> dc;
  try {
    dc = std::make_shared<detail::CairoDC>(OBJ_DC, screen, 1.0, false);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return detail::RegisterDC(std::move(dc));
}

int ReleaseDC(HWND window, HDC dc) {
  if (GetObjectType(dc) != OBJ_DC) return 0;
  const bool released = detail::UnregisterGdiObject(dc) != nullptr;
  // What was drawn on a window's context shows on the screen at once.
  if (released && window != nullptr) detail::NotifyChanged(window);
  return released ? 1 : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::shared_ptr<detail::GdiObject> found = detail::LookUpGdiObject(object);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return WithDC<HGDIOBJ>(
      dc, nullptr, [&](detail::DeviceContext& c) { return c.Select(object, std::move(found)); });
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  return WithDC<HGDIOBJ>(dc, nullptr, [&](detail::DeviceContext& c) -> HGDIOBJ {
    switch (type) {
      case OBJ_PEN:
        return c.pen.handle;
      case OBJ_BRUSH:
        return c.brush.handle;
      case OBJ_FONT:
        return c.font.handle;
      case OBJ_BITMAP:
        return c.bitmap.handle;
      default:
        return nullptr;
    }
  });
}

int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return WithDC(dc, 0, [&](detail::DeviceContext& c) {
    const int previous = c.bkMode;
    c.SetBkMode(mode);
    return previous;
  });
}

int GetBkMode(HDC dc) {
  return WithDC(dc, 0, [](detail::DeviceContext& c) { return c.bkMode; });
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  return WithDC(dc, CLR_INVALID, [&](detail::DeviceContext& c) {
    const COLORREF previous = c.bkColor;
    c.SetBkColor(colour);
    return previous;
  });
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  return WithDC(dc, CLR_INVALID, [&](detail::DeviceContext& c) {
    const COLORREF previous = c.textColor;
    c.SetTextColor(colour);
    return previous;
  });
}

COLORREF GetTextColor(HDC dc) {
  return WithDC(dc, CLR_INVALID, [](detail::DeviceContext& c) { return c.textColor; });
}

UINT SetTextAlign(HDC dc, UINT align) {
  return WithDC(dc, static_cast<UINT>(-1), [&](detail::DeviceContext& c) {
    const UINT previous = c.textAlign;
    c.SetTextAlign(align);
    return previous;
  });
}

int SetMapMode(HDC dc, int mode) {
  if (mode != MM_TEXT && mode != MM_ANISOTROPIC) return 0;
  return WithDC(dc, 0, [&](detail::DeviceContext& c) {
    const int previous = c.mapMode;
    c.SetMapMode(mode);
    return previous;
  });
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    if (previous != nullptr) *previous = c.windowOrg;
    c.SetWindowOrg(POINT{x, y});
    return TRUE_;
  });
}

BOOL SetWindowExtEx(HDC dc, int x, int y, SIZE* previous) {
  if (x == 0 || y == 0) return FALSE_;
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    if (previous != nullptr) *previous = c.windowExt;
    c.SetWindowExt(SIZE{x, y});
    return TRUE_;
  });
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    if (previous != nullptr) *previous = c.viewportOrg;
    c.SetViewportOrg(POINT{x, y});
    return TRUE_;
  });
}

BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE* previous) {
  if (x == 0 || y == 0) return FALSE_;
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    if (previous != nullptr) *previous = c.viewportExt;
    c.SetViewportExt(SIZE{x, y});
    return TRUE_;
  });
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    if (previous != nullptr) *previous = c.position;
    c.MoveTo(POINT{x, y});
    return TRUE_;
  });
}

BOOL LineTo(HDC dc, int x, int y) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.LineTo(POINT{x, y}) ? TRUE_ : FALSE_;
  });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.Rectangle(RECT{left, top, right, bottom}) ? TRUE_ : FALSE_;
  });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.Ellipse(RECT{left, top, right, bottom}) ? TRUE_ : FALSE_;
  });
}

BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xRadial1, int yRadial1, int xRadial2,
         int yRadial2) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.Pie(RECT{left, top, right, bottom}, POINT{xRadial1, yRadial1},
                 POINT{xRadial2, yRadial2})
               ? TRUE_
               : FALSE_;
  });
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.Polygon(points, count) ? TRUE_ : FALSE_;
  });
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.Polyline(points, count) ? TRUE_ : FALSE_;
  });
}

int FillRect(HDC dc, const RECT* box, HBRUSH brush) {
  return detail::FillRectWithRectangle(dc, box, brush);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (text == nullptr && length != 0) return FALSE_;
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.TextOut(POINT{x, y}, text, length) ? TRUE_ : FALSE_;
  });
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if ((text == nullptr && length != 0) || size == nullptr) return FALSE_;
  return WithDC(dc, FALSE_, [&](detail::DeviceContext& c) {
    return c.TextExtent(text, length, size) ? TRUE_ : FALSE_;
  });
}

int GetDeviceCaps(HDC dc, int index) {
  return WithDC(dc, 0, [&](detail::DeviceContext& c) { return c.DeviceCaps(index); });
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int xSource, int ySource,
            DWORD operation) {
  if (operation != SRCCOPY || width < 0 || height < 0) return FALSE_;
  auto to = std::dynamic_pointer_cast<detail::CairoDC>(LookUpDC(target));
  auto from = std::dynamic_pointer_cast<detail::CairoDC>(LookUpDC(source));
  if (!to || !from || cairo_surface_get_type(from->surface()) != CAIRO_SURFACE_TYPE_IMAGE)
    return FALSE_;
  // A copy of the source first, so that a context may copy onto itself.
  cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width > 0 ? width : 1,
                                                     height > 0 ? height : 1);
  {
    std::lock_guard<std::mutex> hold(from->mutex);
    cairo_t* cr = cairo_create(copy);
    cairo_set_source_surface(cr, from->surface(),
                             -xSource - from->viewportOrg.x + from->windowOrg.x,
                             -ySource - from->viewportOrg.y + from->windowOrg.y);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  bool done;
  {
    std::lock_guard<std::mutex> hold(to->mutex);
    done = to->PaintSurface(copy, x, y, width, height);
  }
  cairo_surface_destroy(copy);
  return done ? TRUE_ : FALSE_;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  cairo_surface_t* surface = WhiteSurface(width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::shared_ptr<detail::BitmapObject> object;
  try {
    object = std::make_shared<detail::BitmapObject>(surface);
  } catch (const std::bad_alloc&) {
    cairo_surface_destroy(surface);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HBITMAP>(detail::RegisterGdiObject(std::move(object)));
}

BOOL WriteBitmapPng(HBITMAP bitmap, const char* path) {
  auto found = std::dynamic_pointer_cast<detail::BitmapObject>(detail::LookUpGdiObject(bitmap));
  if (!found || path == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  if (!detail::WriteSurfacePng(found->surface(), path)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE_;
  }
  return TRUE_;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  auto found = std::dynamic_pointer_cast<detail::CairoDC>(LookUpDC(dc));
  if (!found) return CLR_INVALID;
  std::lock_guard<std::mutex> hold(found->mutex);
  cairo_surface_t* surface = found->surface();
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE) return CLR_INVALID;
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int px = x - found->windowOrg.x + found->viewportOrg.x;
  const int py = y - found->windowOrg.y + found->viewportOrg.y;
  if (px < 0 || py < 0 || px >= width || py >= height) return CLR_INVALID;
  const unsigned char* row = cairo_image_surface_get_data(surface) +
                             static_cast<ptrdiff_t>(py) * cairo_image_surface_get_stride(surface);
  uint32_t pixel;
  std::memcpy(&pixel, row + static_cast<ptrdiff_t>(px) * 4, 4);
  return RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8),
             static_cast<BYTE>(pixel));
}

}  // namespace kvp
