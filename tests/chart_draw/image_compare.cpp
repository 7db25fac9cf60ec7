#include "tests/chart_draw/image_compare.h"

#include <cairo.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace charttest {

namespace {

struct Picture {
  cairo_surface_t* surface = nullptr;
  int width = 0, height = 0, stride = 0;
  const uint8_t* data = nullptr;
  explicit Picture(const std::string& path) {
    cairo_surface_t* loaded = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(loaded) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(loaded);
      return;
    }
    // Flattened on white, so that transparent pixels count as white.
    width = cairo_image_surface_get_width(loaded);
    height = cairo_image_surface_get_height(loaded);
    surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, loaded, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(loaded);
    cairo_surface_flush(surface);
    stride = cairo_image_surface_get_stride(surface);
    data = cairo_image_surface_get_data(surface);
  }
  ~Picture() {
    if (surface != nullptr) cairo_surface_destroy(surface);
  }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  uint32_t At(int x, int y) const {
    uint32_t pixel;
    std::memcpy(&pixel, data + static_cast<ptrdiff_t>(y) * stride + x * 4, 4);
    return pixel & 0xFFFFFF;
  }
  bool Ink(int x, int y) const {
    const uint32_t p = At(x, y);
    return ((p >> 16) & 0xFF) < 235 || ((p >> 8) & 0xFF) < 235 || (p & 0xFF) < 235;
  }
  InkBox Box() const {
    InkBox box;
    if (surface == nullptr) return box;
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (!Ink(x, y)) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    if (right < 0) return box;
    return InkBox{left, top, right + 1, bottom + 1};
  }
};

}  // namespace

InkBox InkBoxOf(const std::string& png) {
  Picture picture(png);
  return picture.Box();
}

Comparison ComparePngs(const std::string& ours, const std::string& theirs) {
  Comparison result;
  Picture a(ours), b(theirs);
  if (a.surface == nullptr || b.surface == nullptr) return result;
  const InkBox boxA = a.Box(), boxB = b.Box();
  if (boxA.left < 0 || boxB.left < 0) return result;
  result.loaded = true;
  result.width = boxA.right - boxA.left;
  result.height = boxA.bottom - boxA.top;
  result.otherWidth = boxB.right - boxB.left;
  result.otherHeight = boxB.bottom - boxB.top;
  int64_t differing = 0;
  for (int y = 0; y < result.height; ++y) {
    for (int x = 0; x < result.width; ++x) {
      const int bx =
          boxB.left + static_cast<int>(static_cast<int64_t>(x) * result.otherWidth / result.width);
      const int by =
          boxB.top + static_cast<int>(static_cast<int64_t>(y) * result.otherHeight / result.height);
      const uint32_t pa = a.At(boxA.left + x, boxA.top + y), pb = b.At(bx, by);
      for (int shift = 0; shift <= 16; shift += 8) {
        if (std::abs(static_cast<int>((pa >> shift) & 0xFF) -
                     static_cast<int>((pb >> shift) & 0xFF)) > 96) {
          ++differing;
          break;
        }
      }
    }
  }
  result.differing =
      static_cast<double>(differing) / (static_cast<double>(result.width) * result.height);
  return result;
}

}  // namespace charttest
