// Painting the drawing calls with cairo.
#include "platform/gdi/cairo_dc.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/bitmap_object.h"
#include "platform/gdi/text_render.h"

namespace kvp::detail {

namespace {

void SetColour(cairo_t* cr, COLORREF colour) {
  cairo_set_source_rgb(cr, GetRValue(colour) / 255.0, GetGValue(colour) / 255.0,
                       GetBValue(colour) / 255.0);
}

RECT Normalised(const RECT& box) {
  return RECT{std::min(box.left, box.right), std::min(box.top, box.bottom),
              std::max(box.left, box.right), std::max(box.top, box.bottom)};
}

constexpr double kTurn = 6.283185307179586;

}  // namespace

CairoDC::CairoDC(DWORD type, cairo_surface_t* surface, double unitsPerPixel, bool antialias)
    : DeviceContext(type), antialias_(antialias) {
  Retarget(surface, unitsPerPixel);
}

CairoDC::~CairoDC() {
  if (auto* held = dynamic_cast<BitmapObject*>(bitmap.object.get())) held->selected = false;
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
}

void CairoDC::Retarget(cairo_surface_t* surface, double unitsPerPixel) {
  if (cr_ != nullptr) cairo_destroy(cr_);
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  surface_ = cairo_surface_reference(surface);
  unitsPerPixel_ = unitsPerPixel;
  cr_ = cairo_create(surface_);
  if (!antialias_) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_SQUARE);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
  if (cairo_surface_get_type(surface_) == CAIRO_SURFACE_TYPE_IMAGE) {
    widthPixels = cairo_image_surface_get_width(surface_);
    heightPixels = cairo_image_surface_get_height(surface_);
  }
}

HGDIOBJ CairoDC::Select(HGDIOBJ handle, std::shared_ptr<GdiObject> object) {
  if (object->Type() != OBJ_BITMAP) return DeviceContext::Select(handle, std::move(object));
  if (Type() != OBJ_MEMDC) return nullptr;
  auto* next = static_cast<BitmapObject*>(object.get());
  const bool stock = IsStockHandle(handle);
  if (next->selected && !stock && handle != bitmap.handle) return nullptr;
  if (auto* held = dynamic_cast<BitmapObject*>(bitmap.object.get())) held->selected = false;
  if (!stock) next->selected = true;
  const HGDIOBJ previous = bitmap.handle;
  Retarget(next->surface(), 1.0);
  bitmap = Selection{handle, std::move(object)};
  return previous;
}

void CairoDC::ApplyMapping() {
  cairo_identity_matrix(cr_);
  cairo_scale(cr_, unitsPerPixel_, unitsPerPixel_);
  cairo_translate(cr_, viewportOrg.x, viewportOrg.y);
  if (mapMode == MM_ANISOTROPIC && windowExt.cx != 0 && windowExt.cy != 0) {
    cairo_scale(cr_, static_cast<double>(viewportExt.cx) / windowExt.cx,
                static_cast<double>(viewportExt.cy) / windowExt.cy);
  }
  cairo_translate(cr_, -windowOrg.x, -windowOrg.y);
}

double CairoDC::PenOffset() const {
  const LOGPEN* selected = SelectedPen();
  if (selected == nullptr || selected->lopnStyle == PS_NULL) return 0.0;
  const LONG width = std::max<LONG>(selected->lopnWidth.x, 1);
  return width % 2 == 1 ? 0.5 : 0.0;
}

bool CairoDC::Fill() {
  const LOGBRUSH* selected = SelectedBrush();
  if (selected == nullptr || selected->lbStyle == BS_NULL) return false;
  SetColour(cr_, selected->lbColor);
  cairo_fill_preserve(cr_);
  return true;
}

bool CairoDC::Stroke() {
  const LOGPEN* selected = SelectedPen();
  if (selected == nullptr || selected->lopnStyle == PS_NULL) return false;
  SetColour(cr_, selected->lopnColor);
  cairo_set_line_width(cr_, std::max<LONG>(selected->lopnWidth.x, 1));
  cairo_stroke_preserve(cr_);
  return true;
}

bool CairoDC::FillAndStroke() {
  Fill();
  Stroke();
  cairo_new_path(cr_);
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

bool CairoDC::LineTo(POINT point) {
  ApplyMapping();
  const double offset = PenOffset();
  cairo_new_path(cr_);
  cairo_move_to(cr_, position.x + offset, position.y + offset);
  cairo_line_to(cr_, point.x + offset, point.y + offset);
  // Windows leaves out the end pixel: a butt end stops at its centre.
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
  Stroke();
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_SQUARE);
  cairo_new_path(cr_);
  position = point;
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

bool CairoDC::Rectangle(const RECT& given) {
  const RECT box = Normalised(given);
  ApplyMapping();
  cairo_new_path(cr_);
  const double inset = PenOffset();
  // Without a pen the filled area is one pixel smaller, as on Windows.
  const double shrink = inset > 0 ? 2 * inset : 1.0;
  cairo_rectangle(cr_, box.left + inset, box.top + inset,
                  std::max(0.0, box.right - box.left - shrink),
                  std::max(0.0, box.bottom - box.top - shrink));
  return FillAndStroke();
}

bool CairoDC::Ellipse(const RECT& given) {
  const RECT box = Normalised(given);
  ApplyMapping();
  const double rx = std::max(0.0, (box.right - box.left) / 2.0 - 0.5);
  const double ry = std::max(0.0, (box.bottom - box.top) / 2.0 - 0.5);
  if (rx <= 0 || ry <= 0) return true;
  cairo_new_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, (box.left + box.right) / 2.0, (box.top + box.bottom) / 2.0);
  cairo_scale(cr_, rx, ry);
  cairo_arc(cr_, 0, 0, 1, 0, kTurn);
  cairo_restore(cr_);
  cairo_close_path(cr_);
  return FillAndStroke();
}

bool CairoDC::Pie(const RECT& given, POINT radial1, POINT radial2) {
  const RECT box = Normalised(given);
  ApplyMapping();
  const double cx = (box.left + box.right) / 2.0;
  const double cy = (box.top + box.bottom) / 2.0;
  const double rx = std::max(0.0, (box.right - box.left) / 2.0 - 0.5);
  const double ry = std::max(0.0, (box.bottom - box.top) / 2.0 - 0.5);
  if (rx <= 0 || ry <= 0) return true;
  // Angles on the unit circle the ellipse is scaled from; y grows downwards,
  // so counter-clockwise on the page is a decreasing cairo angle.
  const double a1 = std::atan2((radial1.y + 0.5 - cy) / ry, (radial1.x + 0.5 - cx) / rx);
  double a2 = std::atan2((radial2.y + 0.5 - cy) / ry, (radial2.x + 0.5 - cx) / rx);
  if (radial1.x == radial2.x && radial1.y == radial2.y) a2 = a1 - kTurn;
  cairo_new_path(cr_);
  cairo_save(cr_);
  cairo_translate(cr_, cx, cy);
  cairo_scale(cr_, rx, ry);
  cairo_move_to(cr_, 0, 0);
  cairo_arc_negative(cr_, 0, 0, 1, a1, a2);
  cairo_close_path(cr_);
  cairo_restore(cr_);
  return FillAndStroke();
}

bool CairoDC::Polygon(const POINT* points, int count) {
  if (points == nullptr || count < 2) return false;
  ApplyMapping();
  const double offset = PenOffset();
  cairo_new_path(cr_);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_move_to(cr_, points[0].x + offset, points[0].y + offset);
  for (int i = 1; i < count; ++i) cairo_line_to(cr_, points[i].x + offset, points[i].y + offset);
  cairo_close_path(cr_);
  return FillAndStroke();
}

bool CairoDC::Polyline(const POINT* points, int count) {
  if (points == nullptr || count < 2) return false;
  ApplyMapping();
  const double offset = PenOffset();
  cairo_new_path(cr_);
  cairo_move_to(cr_, points[0].x + offset, points[0].y + offset);
  for (int i = 1; i < count; ++i) cairo_line_to(cr_, points[i].x + offset, points[i].y + offset);
  Stroke();
  cairo_new_path(cr_);
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

bool CairoDC::TextExtent(const char* text, int length, SIZE* size) {
  const LOGFONTA* selected = SelectedFont();
  if (selected == nullptr || size == nullptr || length < 0) return false;
  ApplyMapping();
  const double cell = ApplyFont(cr_, *selected);
  const std::string utf8 = Cp1252ToUtf8(text, length);
  cairo_text_extents_t extents;
  cairo_text_extents(cr_, utf8.c_str(), &extents);
  size->cx = static_cast<LONG>(std::lround(extents.x_advance));
  size->cy = static_cast<LONG>(std::lround(cell));
  return true;
}

bool CairoDC::TextOut(POINT at, const char* text, int length) {
  const LOGFONTA* selected = SelectedFont();
  if (selected == nullptr || length < 0) return false;
  if (length == 0) return true;
  ApplyMapping();
  const double cell = ApplyFont(cr_, *selected);
  const std::string utf8 = Cp1252ToUtf8(text, length);
  cairo_font_extents_t font;
  cairo_font_extents(cr_, &font);
  const double ascent = font.ascent + font.descent > 0
                            ? cell * font.ascent / (font.ascent + font.descent)
                            : cell * 0.8;
  cairo_text_extents_t extents;
  cairo_text_extents(cr_, utf8.c_str(), &extents);
  const double width = extents.x_advance;
  const bool updateCP = (textAlign & TA_UPDATECP) != 0;
  double x = updateCP ? position.x : at.x;
  double y = updateCP ? position.y : at.y;
  const UINT horizontal = textAlign & TA_CENTER;
  if (horizontal == TA_RIGHT) x -= width;
  if (horizontal == TA_CENTER) x -= width / 2;
  const UINT vertical = textAlign & TA_BASELINE;
  double top = y;
  if (vertical == TA_BOTTOM) top = y - cell;
  if (vertical == TA_BASELINE) top = y - ascent;
  if (bkMode == OPAQUE) {
    SetColour(cr_, bkColor);
    cairo_rectangle(cr_, x, top, width, cell);
    cairo_fill(cr_);
  }
  SetColour(cr_, textColor);
  cairo_move_to(cr_, x, top + ascent);
  cairo_show_text(cr_, utf8.c_str());
  cairo_new_path(cr_);
  if (updateCP && horizontal == TA_LEFT) position.x += static_cast<LONG>(std::lround(width));
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

bool CairoDC::FillBox(const RECT& given, COLORREF colour) {
  const RECT box = Normalised(given);
  ApplyMapping();
  cairo_new_path(cr_);
  cairo_rectangle(cr_, box.left, box.top, box.right - box.left, box.bottom - box.top);
  SetColour(cr_, colour);
  cairo_fill(cr_);
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

bool CairoDC::PaintSurface(cairo_surface_t* source, int x, int y, int width, int height) {
  ApplyMapping();
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, x, y, width, height);
  cairo_clip(cr_);
  cairo_set_source_surface(cr_, source, x, y);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr_);
  cairo_restore(cr_);
  return cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

int CairoDC::DeviceCaps(int index) {
  switch (index) {
    case TECHNOLOGY:
      return printer ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZRES:
      return widthPixels;
    case VERTRES:
      return heightPixels;
    case HORZSIZE:
      return static_cast<int>(std::lround(widthPixels * 25.4 / pixelsPerInch));
    case VERTSIZE:
      return static_cast<int>(std::lround(heightPixels * 25.4 / pixelsPerInch));
    case LOGPIXELSX:
    case LOGPIXELSY:
      return pixelsPerInch;
    case BITSPIXEL:
      return 32;
    default:
      return 0;
  }
}

}  // namespace kvp::detail
