// Graphic object handle types and the LOGFONTA record (used by kvchart).
//
// Handles are opaque pointers, as with STRICT Windows headers: HFONT converts
// to HGDIOBJ but not back, so a font cannot be handed where a pen is wanted
// without a cast.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

using HGDIOBJ = void*;
struct HFONT__;
using HFONT = HFONT__*;

inline constexpr int LF_FACESIZE = 32;

// Field order and widths of the Windows record (60 bytes): GetObjectA copies
// it out byte for byte, and a Windows build passes it straight through.
struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA keeps the Windows layout");

// Weights.
inline constexpr LONG FW_DONTCARE = 0;
inline constexpr LONG FW_NORMAL = 400;
inline constexpr LONG FW_BOLD = 700;

// Character sets, precisions, qualities and pitches (the values the libraries pass).
inline constexpr BYTE ANSI_CHARSET = 0;
inline constexpr BYTE DEFAULT_CHARSET = 1;
inline constexpr BYTE OUT_DEFAULT_PRECIS = 0;
inline constexpr BYTE CLIP_DEFAULT_PRECIS = 0;
inline constexpr BYTE DEFAULT_QUALITY = 0;
inline constexpr BYTE DEFAULT_PITCH = 0;
inline constexpr BYTE FF_DONTCARE = 0;

// Object types answered by GetObjectType.
inline constexpr DWORD OBJ_FONT = 6;

}  // namespace kvp
