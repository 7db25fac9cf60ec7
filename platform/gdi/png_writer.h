// Internal: PNG files of bitmaps, compressed in a way chosen for charts
// (flat colour areas, thin lines, antialiased text).
#pragma once
#include <cairo.h>

namespace kvp::detail {

// Writes an image surface as a PNG file at `path`. Opaque 24-bit surfaces
// become 8-bit RGB; other formats go through cairo's own writer. Returns
// false when the file cannot be created or written completely; an RGB
// file that fails part-way is removed.
bool WriteSurfacePng(cairo_surface_t* surface, const char* path);

}  // namespace kvp::detail
