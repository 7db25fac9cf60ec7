// What the desktop dialogs exchange with the Windows records: a LOGFONTA
// as a Pango font description and back, a COLORREF as a GdkRGBA and back,
// texts between Windows-1252 and UTF-8.
//
// The screen counts 96 pixels per inch, as the graphics layer's screen
// contexts do, so that a height in pixels and a size in points agree with
// what the chart draws.
#pragma once
#include <gdk/gdk.h>
#include <pango/pango.h>

#include <string>

#include "platform/gdi/gdi_types.h"

namespace kvp::detail::gtk {

inline constexpr int kScreenPixelsPerInch = 96;

// Windows-1252 text as UTF-8, and UTF-8 back (code points the code page
// lacks become '?').
KVP_API std::string ToUtf8(const char* cp1252);
KVP_API std::string FromUtf8(const char* utf8);

// A new description (the caller frees it) of the face, weight, slant and
// size of `font`; a height of 0 is the dialog's 10 points.
KVP_API PangoFontDescription* DescribeLogFont(const LOGFONTA& font);

// Fills the face, height (negative: the character height in pixels),
// weight and italic flag of `font` from `description`, leaving the other
// fields (underline, strike-out, character set, ...) as they were.
// Answers the size in tenths of a point.
KVP_API int FillLogFont(const PangoFontDescription* description, LOGFONTA* font);

KVP_API GdkRGBA ToRgba(COLORREF colour);
KVP_API COLORREF FromRgba(const GdkRGBA& colour);

}  // namespace kvp::detail::gtk
