// Internal: contexts that paint through cairo (memory, screen, printer).
#pragma once
#include <cairo.h>

#include "platform/gdi/dc_object.h"

namespace kvp::detail {

class CairoDC : public DeviceContext {
 public:
  // `unitsPerPixel` maps device pixels to the surface's units (1 for a
  // bitmap; 72 / dpi for a PDF page).
  CairoDC(DWORD type, cairo_surface_t* surface, double unitsPerPixel, bool antialias);
  ~CairoDC() override;
  CairoDC(const CairoDC&) = delete;
  CairoDC& operator=(const CairoDC&) = delete;

  HGDIOBJ Select(HGDIOBJ handle, std::shared_ptr<GdiObject> object) override;

  bool LineTo(POINT point) override;
  bool Rectangle(const RECT& box) override;
  bool Ellipse(const RECT& box) override;
  bool Pie(const RECT& box, POINT radial1, POINT radial2) override;
  bool Polygon(const POINT* points, int count) override;
  bool Polyline(const POINT* points, int count) override;
  bool TextOut(POINT at, const char* text, int length) override;
  bool TextExtent(const char* text, int length, SIZE* size) override;
  int DeviceCaps(int index) override;

  bool FillBox(const RECT& box, COLORREF colour);
  // Copies the surface's pixels to (x, y) in logical coordinates.
  bool PaintSurface(cairo_surface_t* source, int x, int y, int width, int height);
  cairo_surface_t* surface() const { return surface_; }

 protected:
  // Points the context at another surface (a bitmap selected, a page begun).
  void Retarget(cairo_surface_t* surface, double unitsPerPixel);
  // Device size in pixels and pixels per inch, for GetDeviceCaps.
  int widthPixels = 0;
  int heightPixels = 0;
  int pixelsPerInch = 96;
  bool printer = false;

 private:
  void ApplyMapping();
  bool Fill();
  bool Stroke();
  bool FillAndStroke();
  // Half a pixel for odd pen widths, so that lines cover whole pixels.
  double PenOffset() const;

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  double unitsPerPixel_ = 1.0;
  bool antialias_ = true;
};

}  // namespace kvp::detail
