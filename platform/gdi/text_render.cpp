#include "platform/gdi/text_render.h"

#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/kernel/code_page.h"

namespace kvp::detail {

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (Lower(*a) != Lower(*b)) return false;
  }
  return *a == *b;
}

// The cell height of an em of 1, per family, slant and weight: measured once
// on a scratch surface.
double CellPerEm(const std::string& family, cairo_font_slant_t slant, cairo_font_weight_t weight) {
  static std::mutex mutex;
  static auto* cache = new std::map<std::tuple<std::string, int, int>, double>;
  const auto key = std::make_tuple(family, static_cast<int>(slant), static_cast<int>(weight));
  {
    std::lock_guard<std::mutex> hold(mutex);
    auto found = cache->find(key);
    if (found != cache->end()) return found->second;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(surface);
  cairo_select_font_face(cr, family.c_str(), slant, weight);
  cairo_set_font_size(cr, 1000.0);
  cairo_font_extents_t extents;
  cairo_font_extents(cr, &extents);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  double ratio = (extents.ascent + extents.descent) / 1000.0;
  if (!(ratio > 0.1 && ratio < 10.0)) ratio = 1.15;
  std::lock_guard<std::mutex> hold(mutex);
  cache->emplace(key, ratio);
  return ratio;
}

}  // namespace

std::string MappedFamily(const char* face) {
  if (face == nullptr || face[0] == '\0') return "Liberation Sans";
  if (SameName(face, "Arial") || SameName(face, "Helvetica") || SameName(face, "MS Sans Serif") ||
      SameName(face, "System") || SameName(face, "MS Shell Dlg"))
    return "Liberation Sans";
  if (SameName(face, "Times New Roman") || SameName(face, "Times")) return "Liberation Serif";
  if (SameName(face, "Courier New") || SameName(face, "Courier")) return "Liberation Mono";
  return face;
}

double ApplyFont(cairo_t* cr, const LOGFONTA& font) {
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, font.lfFaceName, LF_FACESIZE);
  const std::string family = MappedFamily(face);
  const cairo_font_slant_t slant =
      font.lfItalic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL;
  const cairo_font_weight_t weight =
      font.lfWeight >= 600 ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL;
  cairo_select_font_face(cr, family.c_str(), slant, weight);
  const double ratio = CellPerEm(family, slant, weight);
  // Heights beyond any page are cut so that cairo never sees an absurd size.
  double height = font.lfHeight;
  if (height == 0) height = 16;
  if (height > 4000) height = 4000;
  if (height < -4000) height = -4000;
  const double em = height > 0 ? height / ratio : -height;
  cairo_set_font_size(cr, em);
  return em * ratio;
}

std::string Cp1252ToUtf8(const char* text, int length) {
  std::string out;
  if (text == nullptr) return out;
  out.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte == 0) break;
    const uint32_t code = Cp1252CodePoint(byte);
    AppendUtf8(out, code != 0 ? code : 0xFFFD);
  }
  return out;
}

}  // namespace kvp::detail
