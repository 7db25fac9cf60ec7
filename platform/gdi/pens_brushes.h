// Pens, brushes and stock objects (used by kvchart).
//
// Stock objects live outside the object table: they are never deleted
// (DeleteObject on one answers TRUE and changes nothing) and never count as
// live objects, so a leak count reaches zero with them still in use.
#pragma once
#include "platform/gdi/gdi_objects.h"

namespace kvp {

// A pen of the style, width (0 and 1 are one device pixel) and colour; null
// for an unknown style (ERROR_INVALID_PARAMETER).
KVP_API HPEN CreatePen(int style, int width, COLORREF colour);
KVP_API HPEN CreatePenIndirect(const LOGPEN* pen);

KVP_API HBRUSH CreateSolidBrush(COLORREF colour);
// BS_SOLID and BS_NULL; other styles are refused (ERROR_INVALID_PARAMETER).
KVP_API HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);

// WHITE_BRUSH ... NULL_PEN, SYSTEM_FONT, DEFAULT_GUI_FONT; null otherwise.
KVP_API HGDIOBJ GetStockObject(int which);

}  // namespace kvp
