// Windows Metafiles recorded in memory (used by kvchart).
//
// A metafile context records every drawing and state call as a metafile
// record (16-bit little-endian words; coordinates clamped to the signed
// 16-bit range). Pens, brushes and fonts enter the metafile's object table
// when they are first selected (a create record in the lowest free slot,
// then a select record); deleting such an object while the metafile is
// recorded frees its slot with a delete record; CloseMetaFile deletes
// whatever is left, so every object created in the metafile is deleted in
// it. The bits are a standard metafile: an 18-byte header (type 1, version
// 0x0300, size in words, object count, largest record) and the records up
// to the end record.
#pragma once
#include <cstddef>

#include "platform/gdi/device_context.h"

namespace kvp {

// Only memory metafiles: a file name is refused (ERROR_NOT_SUPPORTED);
// write the bits yourself.
KVP_API HDC CreateMetaFileA(const char* fileName);
// Ends the recording: the context goes, the metafile stays until
// DeleteMetaFile.
KVP_API HMETAFILE CloseMetaFile(HDC dc);
// Copies up to `size` bytes of the bits; answers the bits' length (with a
// null buffer, the length alone). 0 for an unknown handle.
KVP_API UINT GetMetaFileBitsEx(HMETAFILE metafile, UINT size, void* buffer);
KVP_API BOOL DeleteMetaFile(HMETAFILE metafile);

// Record functions of the records written.
inline constexpr WORD META_EOF = 0x0000;
inline constexpr WORD META_SETBKCOLOR = 0x0201;
inline constexpr WORD META_SETBKMODE = 0x0102;
inline constexpr WORD META_SETMAPMODE = 0x0103;
inline constexpr WORD META_SETTEXTCOLOR = 0x0209;
inline constexpr WORD META_SETTEXTALIGN = 0x012E;
inline constexpr WORD META_SETWINDOWORG = 0x020B;
inline constexpr WORD META_SETWINDOWEXT = 0x020C;
inline constexpr WORD META_SETVIEWPORTORG = 0x020D;
inline constexpr WORD META_SETVIEWPORTEXT = 0x020E;
inline constexpr WORD META_LINETO = 0x0213;
inline constexpr WORD META_MOVETO = 0x0214;
inline constexpr WORD META_ELLIPSE = 0x0418;
inline constexpr WORD META_RECTANGLE = 0x041B;
inline constexpr WORD META_PIE = 0x081A;
inline constexpr WORD META_POLYGON = 0x0324;
inline constexpr WORD META_POLYLINE = 0x0325;
inline constexpr WORD META_TEXTOUT = 0x0521;
inline constexpr WORD META_SELECTOBJECT = 0x012D;
inline constexpr WORD META_DELETEOBJECT = 0x01F0;
inline constexpr WORD META_CREATEPENINDIRECT = 0x02FA;
inline constexpr WORD META_CREATEFONTINDIRECT = 0x02FB;
inline constexpr WORD META_CREATEBRUSHINDIRECT = 0x02FC;

}  // namespace kvp
