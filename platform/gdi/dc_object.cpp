// The state every device context shares, and the lookup of a context behind
// its handle: common to every surface, the metafile recorder's too.
#include "platform/gdi/dc_object.h"

#include "platform/gdi/device_context.h"
#include "platform/gdi/pens_brushes.h"

namespace kvp::detail {

DeviceContext::DeviceContext(DWORD type) : type_(type) {
  pen = Selection{GetStockObject(BLACK_PEN), LookUpGdiObject(GetStockObject(BLACK_PEN))};
  brush = Selection{GetStockObject(WHITE_BRUSH), LookUpGdiObject(GetStockObject(WHITE_BRUSH))};
  font = Selection{GetStockObject(SYSTEM_FONT), LookUpGdiObject(GetStockObject(SYSTEM_FONT))};
}

HGDIOBJ DeviceContext::Select(HGDIOBJ handle, std::shared_ptr<GdiObject> object) {
  Selection* slot = nullptr;
  switch (object->Type()) {
    case OBJ_PEN:
      slot = &pen;
      break;
    case OBJ_BRUSH:
      slot = &brush;
      break;
    case OBJ_FONT:
      slot = &font;
      break;
    default:
      return nullptr;
  }
  const HGDIOBJ previous = slot->handle;
  *slot = Selection{handle, std::move(object)};
  return previous;
}

std::shared_ptr<DeviceContext> LookUpDC(HDC dc) {
  auto found = std::dynamic_pointer_cast<DeviceContext>(LookUpGdiObject(dc));
  if (!found) SetLastError(ERROR_INVALID_HANDLE);
  return found;
}

HDC RegisterDC(std::shared_ptr<DeviceContext> dc) {
  return static_cast<HDC>(RegisterGdiObject(std::move(dc)));
}

int FillRectWithRectangle(HDC dc, const RECT* box, HBRUSH brush) {
  if (box == nullptr) return 0;
  HGDIOBJ oldBrush = SelectObject(dc, brush);
  if (oldBrush == nullptr) return 0;
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
  const BOOL done = Rectangle(dc, box->left, box->top, box->right + 1, box->bottom + 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  return done;
}

}  // namespace kvp::detail
