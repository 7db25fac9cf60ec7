// Graphic objects (used by kvchart): the process-wide object table behind
// HGDIOBJ handles, and the calls shared by every kind of object.
//
// A handle is a number taken from a counter and dressed as a pointer, never
// an address: a stale or forged handle finds nothing in the table and is
// refused instead of touching freed memory. Thread-safe.
#pragma once
#include <cstddef>

#include "platform/gdi/gdi_types.h"

namespace kvp {

// Deletes the object; FALSE for a null, stale or unknown handle.
KVP_API BOOL DeleteObject(HGDIOBJ object);

// Copies the object's description record (LOGFONTA for a font) into
// `buffer`, at most `bytes` bytes, and returns the number of bytes copied.
// With a null buffer, returns the size of the whole record. 0 for an unknown
// handle (ERROR_INVALID_HANDLE) or a negative size.
KVP_API int GetObjectA(HGDIOBJ object, int bytes, void* buffer);

// OBJ_FONT, ...; 0 for an unknown handle.
KVP_API DWORD GetObjectType(HGDIOBJ object);

// Number of live graphic objects: tests assert that a library deleted what
// it created.
KVP_API size_t GdiLiveObjects();

}  // namespace kvp
