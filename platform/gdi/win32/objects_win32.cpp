// Pens, brushes, fonts and stock objects on Windows: the system's own. The
// metafile recorder reads their descriptions back from the system when they
// are selected into a recording (system_handles.cpp).
#include <algorithm>
#include <cstring>

#include "platform/gdi/fonts.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/gdi/win32/gdi32.h"
#include "platform/gdi/win32/live_objects.h"
#include "platform/gdi/win32/own_objects.h"

namespace kvp {

// Styles past the inside frame (6) are ExtCreatePen's only; Wine would
// take them here and the other systems refuse them.
constexpr UINT kLastPenStyle = 6;

HPEN CreatePen(int style, int width, COLORREF colour) {
  if (static_cast<UINT>(style) > kLastPenStyle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return detail::Made(win32::CreatePen(style, width, colour));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (pen == nullptr || pen->lopnStyle > kLastPenStyle) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return detail::Made(win32::CreatePenIndirect(pen));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  return detail::Made(win32::CreateSolidBrush(colour));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  return detail::Made(win32::CreateBrushIndirect(brush));
}

HGDIOBJ GetStockObject(int which) {
  return win32::GetStockObject(which);
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  return detail::Made(win32::CreateFontIndirectA(font));
}

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName) {
  return detail::Made(win32::CreateFontA(height, width, escapement, orientation, weight, italic,
                                         underline, strikeOut, charSet, outPrecision, clipPrecision,
                                         quality, pitchAndFamily, faceName));
}

BOOL DeleteObject(HGDIOBJ object) {
  // Recordings and metafiles have calls of their own to end them.
  if (detail::FindOwnObject(object)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  // A context ends with DeleteDC only; Wine's DeleteObject would end it.
  const DWORD type = win32::GetObjectType(object);
  if (type == OBJ_DC || type == OBJ_MEMDC || type == OBJ_METADC) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  // A recording that holds the object in its table records the deletion.
  detail::ForgetObjectInMetafiles(object);
  const BOOL deleted = win32::DeleteObject(object);
  if (deleted) detail::NoteDeletedObject(object);
  return deleted;
}

int GetObjectA(HGDIOBJ object, int bytes, void* buffer) {
  if (detail::FindOwnObject(object)) return 0;  // no description, as on the other systems
  if (bytes < 0) return 0;                      // Wine would take a negative size as unbounded
  // The system copies a font's name only up to its end: the rest of the
  // description is zero, as the other systems leave it, not the caller's.
  if (buffer != nullptr && win32::GetObjectType(object) == OBJ_FONT) {
    std::memset(buffer, 0, std::min<size_t>(static_cast<size_t>(bytes), sizeof(LOGFONTA)));
  }
  return win32::GetObjectA(object, bytes, buffer);
}

DWORD GetObjectType(HGDIOBJ object) {
  if (auto own = detail::FindOwnObject(object)) return own->Type();
  return win32::GetObjectType(object);
}

}  // namespace kvp
