// Fonts, colours and texts between the Windows records and GTK.
#include "platform/ui/gtk/gtk_dialogs_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/kernel/code_page.h"

namespace kvp::detail::gtk {

namespace {

constexpr double kDefaultPoints = 10.0;

// The Windows-1252 byte of a code point, 0 when the code page lacks it.
unsigned char Cp1252Byte(uint32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
    return static_cast<unsigned char>(codePoint);
  for (unsigned byte = 0x80; byte <= 0x9F; ++byte) {
    if (Cp1252CodePoint(static_cast<unsigned char>(byte)) == codePoint)
      return static_cast<unsigned char>(byte);
  }
  return 0;
}

}  // namespace

std::string ToUtf8(const char* cp1252) {
  std::string out;
  if (cp1252 == nullptr) return out;
  for (const char* p = cp1252; *p != 0; ++p) {
    const uint32_t codePoint = Cp1252CodePoint(static_cast<unsigned char>(*p));
    AppendUtf8(out, codePoint != 0 ? codePoint : 0xFFFD);
  }
  return out;
}

std::string FromUtf8(const char* utf8) {
  std::string out;
  if (utf8 == nullptr) return out;
  const char* end = utf8 + std::strlen(utf8);
  for (const char* p = utf8; p < end;) {
    const gunichar c = g_utf8_get_char_validated(p, end - p);
    if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
      out.push_back('?');  // a broken sequence: one byte at a time
      ++p;
      continue;
    }
    const unsigned char byte = Cp1252Byte(c);
    out.push_back(byte != 0 ? static_cast<char>(byte) : '?');
    p = g_utf8_next_char(p);
  }
  return out;
}

PangoFontDescription* DescribeLogFont(const LOGFONTA& font) {
  PangoFontDescription* description = pango_font_description_new();
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, font.lfFaceName, LF_FACESIZE);  // a full array has no zero
  if (face[0] != 0) pango_font_description_set_family(description, ToUtf8(face).c_str());
  const LONG weight = font.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(font.lfWeight, 1000);
  pango_font_description_set_weight(description, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(description,
                                   font.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  // A positive height is the cell, a negative one the character alone; the
  // dialog knows only sizes, so both are taken as the character's height.
  const double pixels = std::fabs(static_cast<double>(font.lfHeight));
  double points = pixels > 0 ? pixels * 72.0 / kScreenPixelsPerInch : kDefaultPoints;
  points = std::min(points, 1000.0);
  pango_font_description_set_size(description,
                                  static_cast<gint>(std::lround(points * PANGO_SCALE)));
  return description;
}

int FillLogFont(const PangoFontDescription* description, LOGFONTA* font) {
  const char* family = pango_font_description_get_family(description);
  if (family != nullptr) {
    const std::string face = FromUtf8(family);
    std::memset(font->lfFaceName, 0, LF_FACESIZE);
    std::memcpy(font->lfFaceName, face.data(), std::min<size_t>(face.size(), LF_FACESIZE - 1));
  }
  double points = pango_font_description_get_size(description) / static_cast<double>(PANGO_SCALE);
  if (pango_font_description_get_size_is_absolute(description))
    points = points * 72.0 / kScreenPixelsPerInch;  // an absolute size is in pixels
  if (points <= 0) points = kDefaultPoints;
  points = std::min(points, 1000.0);
  font->lfHeight = -static_cast<LONG>(std::lround(points * kScreenPixelsPerInch / 72.0));
  font->lfWidth = 0;
  font->lfWeight = static_cast<LONG>(pango_font_description_get_weight(description));
  font->lfItalic = pango_font_description_get_style(description) != PANGO_STYLE_NORMAL ? 1 : 0;
  return static_cast<int>(std::lround(points * 10));
}

GdkRGBA ToRgba(COLORREF colour) {
  GdkRGBA rgba;
  rgba.red = (colour & 0xFF) / 255.0;
  rgba.green = ((colour >> 8) & 0xFF) / 255.0;
  rgba.blue = ((colour >> 16) & 0xFF) / 255.0;
  rgba.alpha = 1.0;
  return rgba;
}

COLORREF FromRgba(const GdkRGBA& colour) {
  const auto channel = [](double value) {
    return static_cast<COLORREF>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
  };
  return channel(colour.red) | (channel(colour.green) << 8) | (channel(colour.blue) << 16);
}

}  // namespace kvp::detail::gtk
