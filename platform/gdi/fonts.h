// Logical fonts (used by kvchart).
//
// A font object keeps the LOGFONTA it was made from; GetObjectA gives it
// back. Rendering (matching a face through fontconfig, measuring, drawing)
// belongs to the device contexts that select it.
#pragma once
#include "platform/gdi/gdi_objects.h"

namespace kvp {

// Makes a font from the record; the face name is taken up to its first zero
// or its 32nd byte, whichever comes first, and always stored terminated
// (at most 31 characters). Null for a null record or when memory runs out.
KVP_API HFONT CreateFontIndirectA(const LOGFONTA* font);

// Same, from the separate values; a null face name is the empty name, a
// longer one is cut to 31 characters. The DWORD flags and sets keep only
// their low byte, as Windows stores them.
KVP_API HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight,
                          DWORD italic, DWORD underline, DWORD strikeOut, DWORD charSet,
                          DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                          DWORD pitchAndFamily, const char* faceName);

}  // namespace kvp
