// Internal: the device context behind an HDC, whatever its surface.
//
// The state every surface shares (selected objects, colours, modes, the
// current position, the window and viewport mapping) lives here; each
// surface paints or records the drawing calls its own way. One mutex per
// context guards it: a metafile hears about deletions from any thread.
#pragma once
#include <memory>
#include <mutex>
#include <string>

#include "platform/gdi/gdi_records.h"

namespace kvp::detail {

struct Selection {
  HGDIOBJ handle = nullptr;
  std::shared_ptr<GdiObject> object;
};

class DeviceContext : public GdiObject {
 public:
  explicit DeviceContext(DWORD type);
  DWORD Type() const override { return type_; }
  const void* Record() const override { return nullptr; }
  int RecordSize() const override { return 0; }

  std::mutex mutex;

  Selection pen;
  Selection brush;
  Selection font;
  Selection bitmap;  // memory contexts only
  int bkMode = OPAQUE;
  COLORREF bkColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
  UINT textAlign = TA_LEFT | TA_TOP;
  int mapMode = MM_TEXT;
  POINT position{0, 0};
  POINT windowOrg{0, 0};
  SIZE windowExt{1, 1};
  POINT viewportOrg{0, 0};
  SIZE viewportExt{1, 1};

  // Takes the object into the slot its type names; answers the handle it
  // replaced, null when the object cannot be selected here.
  virtual HGDIOBJ Select(HGDIOBJ handle, std::shared_ptr<GdiObject> object);

  // State changes; a metafile also records them.
  virtual void SetBkMode(int mode) { bkMode = mode; }
  virtual void SetBkColor(COLORREF colour) { bkColor = colour; }
  virtual void SetTextColor(COLORREF colour) { textColor = colour; }
  virtual void SetTextAlign(UINT align) { textAlign = align; }
  virtual void SetMapMode(int mode) { mapMode = mode; }
  virtual void SetWindowOrg(POINT origin) { windowOrg = origin; }
  virtual void SetWindowExt(SIZE extent) { windowExt = extent; }
  virtual void SetViewportOrg(POINT origin) { viewportOrg = origin; }
  virtual void SetViewportExt(SIZE extent) { viewportExt = extent; }
  virtual void MoveTo(POINT point) { position = point; }

  // Drawing in logical coordinates.
  virtual bool LineTo(POINT point) = 0;
  virtual bool Rectangle(const RECT& box) = 0;
  virtual bool Ellipse(const RECT& box) = 0;
  virtual bool Pie(const RECT& box, POINT radial1, POINT radial2) = 0;
  virtual bool Polygon(const POINT* points, int count) = 0;
  virtual bool Polyline(const POINT* points, int count) = 0;
  virtual bool TextOut(POINT at, const char* text, int length) = 0;
  // The text's width and cell height in the selected font.
  virtual bool TextExtent(const char* text, int length, SIZE* size) = 0;
  virtual int DeviceCaps(int index) = 0;

 protected:
  const LOGPEN* SelectedPen() const { return RecordOf<LOGPEN>(pen.object.get(), OBJ_PEN); }
  const LOGBRUSH* SelectedBrush() const {
    return RecordOf<LOGBRUSH>(brush.object.get(), OBJ_BRUSH);
  }
  const LOGFONTA* SelectedFont() const { return RecordOf<LOGFONTA>(font.object.get(), OBJ_FONT); }

 private:
  DWORD type_;
};

// The live context behind the handle, or null (ERROR_INVALID_HANDLE).
std::shared_ptr<DeviceContext> LookUpDC(HDC dc);

// Enters a new context in the object table; null when memory runs out.
HDC RegisterDC(std::shared_ptr<DeviceContext> dc);

// FillRect as every context but the system's own draws and records it: the
// brush selected, a rectangle without a pen one pixel larger each way, the
// old selection put back.
int FillRectWithRectangle(HDC dc, const RECT* box, HBRUSH brush);

}  // namespace kvp::detail
