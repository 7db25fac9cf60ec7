// Printer contexts (used by kvchart).
//
// A printer context paints pages into a PDF document through cairo. The
// port given to CreateDCA says where the document goes:
//   - a path (it holds a '/' or ends in ".pdf"): the PDF file itself;
//   - empty or null: "kvprint.pdf" in the Windows directory ($KV_WINDIR);
//   - any other name: a CUPS queue; the document is written to a temporary
//     file and handed to `lp -d QUEUE -t TITLE FILE` (found on PATH) at
//     EndDoc, then removed.
// DOCINFOA's lpszOutput, when set, names the file instead.
// The page is A4 at 150 pixels per inch (1240 x 1754 pixels, 210 x 297 mm)
// unless a DEVMODEA gives its own paper size (tenths of a millimetre; 0
// makes a device that reports a zero page) or resolution.
#pragma once
#include "platform/gdi/device_context.h"

namespace kvp {

// The fields of the Windows record that this layer reads.
struct DEVMODEA {
  DWORD dmFields;
  short dmPaperLength;  // tenths of a millimetre
  short dmPaperWidth;
  short dmPrintQuality;  // pixels per inch
};
inline constexpr DWORD DM_PAPERLENGTH = 0x00000004;
inline constexpr DWORD DM_PAPERWIDTH = 0x00000008;
inline constexpr DWORD DM_PRINTQUALITY = 0x00000400;

inline constexpr int SP_ERROR = -1;

KVP_API HDC CreateDCA(const char* driver, const char* device, const char* port,
                      const DEVMODEA* mode);

// Answers a job number above 0, or SP_ERROR (the file cannot be created,
// a document is already open).
KVP_API int StartDocA(HDC dc, const DOCINFOA* document);
KVP_API int StartPage(HDC dc);
KVP_API int EndPage(HDC dc);
// Finishes the document (and hands it to lp); SP_ERROR when the file could
// not be written or lp failed.
KVP_API int EndDoc(HDC dc);
// Drops the document: its file is removed.
KVP_API int AbortDoc(HDC dc);

}  // namespace kvp
