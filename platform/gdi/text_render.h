// Internal: fonts through cairo and fontconfig.
//
// A logical font's face is mapped to an installed one ("Arial" to
// Liberation Sans, "Times New Roman" to Liberation Serif, "Courier New" to
// Liberation Mono; any other name goes to fontconfig as it is, which falls
// back to its own choice). Heights follow Windows: a positive height is the
// character cell (ascent + descent), a negative one the em size, 0 a
// default of 16.
#pragma once
#include <cairo.h>

#include <string>

#include "platform/gdi/gdi_types.h"

namespace kvp::detail {

// The fontconfig family the face maps to.
std::string MappedFamily(const char* face);

// Selects the font into the cairo context, sized in user units; answers
// the cell height.
double ApplyFont(cairo_t* cr, const LOGFONTA& font);

// Windows-1252 bytes as UTF-8 (a zero byte ends the text early).
std::string Cp1252ToUtf8(const char* text, int length);

}  // namespace kvp::detail
