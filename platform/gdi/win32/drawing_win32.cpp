// Drawing calls on Windows: a context the platform records itself (a
// metafile) is handled by the recorder, exactly as on every other system;
// every other context is the system's and the call goes straight to it.
#include "platform/gdi/dc_object.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/gdi/win32/gdi32.h"
#include "platform/gdi/win32/live_objects.h"
#include "platform/gdi/win32/own_objects.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

namespace {

// Runs `recorded` on the locked recorder when the context is one, else
// `system` on the system's context.
template <typename Result, typename Recorded, typename System>
Result Dispatch(HDC dc, Recorded recorded, System system) {
  std::shared_ptr<detail::DeviceContext> recorder = detail::FindRecorder(dc);
  if (!recorder) return system();
  std::lock_guard<std::mutex> hold(recorder->mutex);
  return recorded(*recorder);
}

}  // namespace

HDC CreateCompatibleDC(HDC dc) {
  return detail::Made(win32::CreateCompatibleDC(detail::FindRecorder(dc) ? nullptr : dc));
}

BOOL DeleteDC(HDC dc) {
  if (detail::FindOwnObject(dc)) return FALSE_;  // a recording ends with CloseMetaFile
  const BOOL deleted = win32::DeleteDC(dc);
  if (deleted) detail::NoteDeletedObject(dc);
  return deleted;
}

HDC GetDC(HWND window) {
  return win32::GetDC(window);
}

int ReleaseDC(HWND window, HDC dc) {
  return win32::ReleaseDC(window, dc);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  std::shared_ptr<detail::DeviceContext> recorder = detail::FindRecorder(dc);
  if (!recorder) return win32::SelectObject(dc, object);
  std::shared_ptr<detail::GdiObject> found = detail::LookUpGdiObject(object);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::mutex> hold(recorder->mutex);
  return recorder->Select(object, std::move(found));
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  return Dispatch<HGDIOBJ>(
      dc,
      [&](detail::DeviceContext& c) -> HGDIOBJ {
        switch (type) {
          case OBJ_PEN:
            return c.pen.handle;
          case OBJ_BRUSH:
            return c.brush.handle;
          case OBJ_FONT:
            return c.font.handle;
          default:
            return nullptr;
        }
      },
      [&] { return win32::GetCurrentObject(dc, type); });
}

int SetBkMode(HDC dc, int mode) {
  return Dispatch<int>(
      dc,
      [&](detail::DeviceContext& c) {
        if (mode != TRANSPARENT && mode != OPAQUE) return 0;
        const int previous = c.bkMode;
        c.SetBkMode(mode);
        return previous;
      },
      [&] { return win32::SetBkMode(dc, mode); });
}

int GetBkMode(HDC dc) {
  return Dispatch<int>(
      dc, [](detail::DeviceContext& c) { return c.bkMode; }, [&] { return win32::GetBkMode(dc); });
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  return Dispatch<COLORREF>(
      dc,
      [&](detail::DeviceContext& c) {
        const COLORREF previous = c.bkColor;
        c.SetBkColor(colour);
        return previous;
      },
      [&] { return win32::SetBkColor(dc, colour); });
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  return Dispatch<COLORREF>(
      dc,
      [&](detail::DeviceContext& c) {
        const COLORREF previous = c.textColor;
        c.SetTextColor(colour);
        return previous;
      },
      [&] { return win32::SetTextColor(dc, colour); });
}

COLORREF GetTextColor(HDC dc) {
  return Dispatch<COLORREF>(
      dc, [](detail::DeviceContext& c) { return c.textColor; },
      [&] { return win32::GetTextColor(dc); });
}

UINT SetTextAlign(HDC dc, UINT align) {
  return Dispatch<UINT>(
      dc,
      [&](detail::DeviceContext& c) {
        const UINT previous = c.textAlign;
        c.SetTextAlign(align);
        return previous;
      },
      [&] { return win32::SetTextAlign(dc, align); });
}

int SetMapMode(HDC dc, int mode) {
  return Dispatch<int>(
      dc,
      [&](detail::DeviceContext& c) {
        if (mode != MM_TEXT && mode != MM_ANISOTROPIC) return 0;
        const int previous = c.mapMode;
        c.SetMapMode(mode);
        return previous;
      },
      [&] { return win32::SetMapMode(dc, mode); });
}

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        if (previous != nullptr) *previous = c.windowOrg;
        c.SetWindowOrg(POINT{x, y});
        return TRUE_;
      },
      [&] { return win32::SetWindowOrgEx(dc, x, y, previous); });
}

BOOL SetWindowExtEx(HDC dc, int x, int y, SIZE* previous) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        if (x == 0 || y == 0) return FALSE_;
        if (previous != nullptr) *previous = c.windowExt;
        c.SetWindowExt(SIZE{x, y});
        return TRUE_;
      },
      [&] { return win32::SetWindowExtEx(dc, x, y, previous); });
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        if (previous != nullptr) *previous = c.viewportOrg;
        c.SetViewportOrg(POINT{x, y});
        return TRUE_;
      },
      [&] { return win32::SetViewportOrgEx(dc, x, y, previous); });
}

BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE* previous) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        if (x == 0 || y == 0) return FALSE_;
        if (previous != nullptr) *previous = c.viewportExt;
        c.SetViewportExt(SIZE{x, y});
        return TRUE_;
      },
      [&] { return win32::SetViewportExtEx(dc, x, y, previous); });
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        if (previous != nullptr) *previous = c.position;
        c.MoveTo(POINT{x, y});
        return TRUE_;
      },
      [&] { return win32::MoveToEx(dc, x, y, previous); });
}

BOOL LineTo(HDC dc, int x, int y) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        return c.LineTo(POINT{x, y}) ? TRUE_ : FALSE_;
      },
      [&] { return win32::LineTo(dc, x, y); });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        return c.Rectangle(RECT{left, top, right, bottom}) ? TRUE_ : FALSE_;
      },
      [&] { return win32::Rectangle(dc, left, top, right, bottom); });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        return c.Ellipse(RECT{left, top, right, bottom}) ? TRUE_ : FALSE_;
      },
      [&] { return win32::Ellipse(dc, left, top, right, bottom); });
}

BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xRadial1, int yRadial1, int xRadial2,
         int yRadial2) {
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        return c.Pie(RECT{left, top, right, bottom}, POINT{xRadial1, yRadial1},
                     POINT{xRadial2, yRadial2})
                   ? TRUE_
                   : FALSE_;
      },
      [&] {
        return win32::Pie(dc, left, top, right, bottom, xRadial1, yRadial1, xRadial2, yRadial2);
      });
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  return Dispatch<BOOL>(
      dc, [&](detail::DeviceContext& c) { return c.Polygon(points, count) ? TRUE_ : FALSE_; },
      [&] { return win32::Polygon(dc, points, count); });
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  return Dispatch<BOOL>(
      dc, [&](detail::DeviceContext& c) { return c.Polyline(points, count) ? TRUE_ : FALSE_; },
      [&] { return win32::Polyline(dc, points, count); });
}

int FillRect(HDC dc, const RECT* box, HBRUSH brush) {
  if (box == nullptr) return 0;
  if (!detail::FindRecorder(dc)) return win32::FillRect(dc, box, brush);
  // Recorded as the other systems record it.
  return detail::FillRectWithRectangle(dc, box, brush);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (text == nullptr && length != 0) return FALSE_;
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) {
        return c.TextOut(POINT{x, y}, text, length) ? TRUE_ : FALSE_;
      },
      [&] { return win32::TextOutA(dc, x, y, text, length); });
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if ((text == nullptr && length != 0) || size == nullptr) return FALSE_;
  return Dispatch<BOOL>(
      dc,
      [&](detail::DeviceContext& c) { return c.TextExtent(text, length, size) ? TRUE_ : FALSE_; },
      [&] { return win32::GetTextExtentPoint32A(dc, text, length, size); });
}

int GetDeviceCaps(HDC dc, int index) {
  return Dispatch<int>(
      dc, [&](detail::DeviceContext& c) { return c.DeviceCaps(index); },
      [&] { return win32::GetDeviceCaps(dc, index); });
}

BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int xSource, int ySource,
            DWORD operation) {
  // A recording copies no pixels, as on the other systems.
  if (detail::FindRecorder(target) || detail::FindRecorder(source)) return FALSE_;
  return win32::BitBlt(target, x, y, width, height, source, xSource, ySource, operation);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (width < 1 || height < 1 || width > 16384 || height > 16384) return nullptr;
  if (!detail::FindRecorder(dc))
    return detail::Made(win32::CreateCompatibleBitmap(dc, width, height));
  // A bitmap for a recording is a screen bitmap, as a memory context's is.
  HDC screen = win32::GetDC(nullptr);
  HBITMAP bitmap = win32::CreateCompatibleBitmap(screen, width, height);
  win32::ReleaseDC(nullptr, screen);
  return detail::Made(bitmap);
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (detail::FindRecorder(dc)) return CLR_INVALID;
  return win32::GetPixel(dc, x, y);
}

}  // namespace kvp
