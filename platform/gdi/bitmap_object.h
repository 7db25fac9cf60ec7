// Internal: a bitmap is a cairo image surface (32-bit colour).
#pragma once
#include <cairo.h>

#include "platform/gdi/gdi_table.h"

namespace kvp::detail {

class BitmapObject : public GdiObject {
 public:
  // Takes over the surface reference.
  explicit BitmapObject(cairo_surface_t* surface);
  ~BitmapObject() override;
  BitmapObject(const BitmapObject&) = delete;
  BitmapObject& operator=(const BitmapObject&) = delete;

  DWORD Type() const override { return OBJ_BITMAP; }
  const void* Record() const override { return &record_; }
  int RecordSize() const override { return static_cast<int>(sizeof(record_)); }

  cairo_surface_t* surface() const { return surface_; }
  // Set while a memory context holds the bitmap: one context at a time.
  bool selected = false;

 private:
  cairo_surface_t* surface_;
  BITMAP record_{};
};

}  // namespace kvp::detail
