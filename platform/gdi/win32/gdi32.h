// Internal (Windows build): the gdi32 functions the graphics layer passes
// its calls to, declared over the platform's own types (their records have
// the Windows field order and widths; <windows.h> is not included, its
// macros would rewrite the platform's constants).
#pragma once
#include "platform/gdi/device_context.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/printer.h"

#define KVG_IMPORT extern "C" __declspec(dllimport)
#define KVG_CALL __stdcall

namespace kvp::win32 {

static_assert(sizeof(LOGPEN) == 16, "LOGPEN keeps the Windows layout");
static_assert(sizeof(LOGBRUSH) == 12, "LOGBRUSH keeps the Windows layout");
static_assert(sizeof(DOCINFOA) == 20, "DOCINFOA keeps the Windows layout");
static_assert(sizeof(BITMAP) == 24, "BITMAP keeps the Windows layout");

KVG_IMPORT HDC KVG_CALL CreateCompatibleDC(HDC dc);
KVG_IMPORT BOOL KVG_CALL DeleteDC(HDC dc);
KVG_IMPORT HGDIOBJ KVG_CALL SelectObject(HDC dc, HGDIOBJ object);
KVG_IMPORT HGDIOBJ KVG_CALL GetCurrentObject(HDC dc, UINT type);
KVG_IMPORT int KVG_CALL SetBkMode(HDC dc, int mode);
KVG_IMPORT int KVG_CALL GetBkMode(HDC dc);
KVG_IMPORT COLORREF KVG_CALL SetBkColor(HDC dc, COLORREF colour);
KVG_IMPORT COLORREF KVG_CALL SetTextColor(HDC dc, COLORREF colour);
KVG_IMPORT COLORREF KVG_CALL GetTextColor(HDC dc);
KVG_IMPORT UINT KVG_CALL SetTextAlign(HDC dc, UINT align);
KVG_IMPORT int KVG_CALL SetMapMode(HDC dc, int mode);
KVG_IMPORT BOOL KVG_CALL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
KVG_IMPORT BOOL KVG_CALL SetWindowExtEx(HDC dc, int x, int y, SIZE* previous);
KVG_IMPORT BOOL KVG_CALL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
KVG_IMPORT BOOL KVG_CALL SetViewportExtEx(HDC dc, int x, int y, SIZE* previous);
KVG_IMPORT BOOL KVG_CALL MoveToEx(HDC dc, int x, int y, POINT* previous);
KVG_IMPORT BOOL KVG_CALL LineTo(HDC dc, int x, int y);
KVG_IMPORT BOOL KVG_CALL Rectangle(HDC dc, int left, int top, int right, int bottom);
KVG_IMPORT BOOL KVG_CALL Ellipse(HDC dc, int left, int top, int right, int bottom);
KVG_IMPORT BOOL KVG_CALL Pie(HDC dc, int left, int top, int right, int bottom, int xRadial1,
                             int yRadial1, int xRadial2, int yRadial2);
KVG_IMPORT BOOL KVG_CALL Polygon(HDC dc, const POINT* points, int count);
KVG_IMPORT BOOL KVG_CALL Polyline(HDC dc, const POINT* points, int count);
KVG_IMPORT BOOL KVG_CALL TextOutA(HDC dc, int x, int y, const char* text, int length);
KVG_IMPORT BOOL KVG_CALL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);
KVG_IMPORT int KVG_CALL GetDeviceCaps(HDC dc, int index);
KVG_IMPORT BOOL KVG_CALL BitBlt(HDC target, int x, int y, int width, int height, HDC source,
                                int xSource, int ySource, DWORD operation);
KVG_IMPORT HBITMAP KVG_CALL CreateCompatibleBitmap(HDC dc, int width, int height);
KVG_IMPORT COLORREF KVG_CALL GetPixel(HDC dc, int x, int y);

KVG_IMPORT HPEN KVG_CALL CreatePen(int style, int width, COLORREF colour);
KVG_IMPORT HPEN KVG_CALL CreatePenIndirect(const LOGPEN* pen);
KVG_IMPORT HBRUSH KVG_CALL CreateSolidBrush(COLORREF colour);
KVG_IMPORT HBRUSH KVG_CALL CreateBrushIndirect(const LOGBRUSH* brush);
KVG_IMPORT HGDIOBJ KVG_CALL GetStockObject(int which);
KVG_IMPORT HFONT KVG_CALL CreateFontIndirectA(const LOGFONTA* font);
KVG_IMPORT HFONT KVG_CALL CreateFontA(int height, int width, int escapement, int orientation,
                                      int weight, DWORD italic, DWORD underline, DWORD strikeOut,
                                      DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                                      DWORD quality, DWORD pitchAndFamily, const char* faceName);
KVG_IMPORT BOOL KVG_CALL DeleteObject(HGDIOBJ object);
KVG_IMPORT int KVG_CALL GetObjectA(HGDIOBJ object, int bytes, void* buffer);
KVG_IMPORT DWORD KVG_CALL GetObjectType(HGDIOBJ object);

// Real metafiles are made only to hold a handle value that no other
// graphic object can have (see system_handles.cpp); the records are ours.
KVG_IMPORT HDC KVG_CALL CreateMetaFileA(const char* fileName);
KVG_IMPORT HMETAFILE KVG_CALL CloseMetaFile(HDC dc);
KVG_IMPORT BOOL KVG_CALL DeleteMetaFile(HMETAFILE metafile);

// The mode record is the system's full DEVMODEA (built by printer_win32.cpp).
KVG_IMPORT HDC KVG_CALL CreateDCA(const char* driver, const char* device, const char* port,
                                  const void* mode);
KVG_IMPORT int KVG_CALL StartDocA(HDC dc, const DOCINFOA* document);
KVG_IMPORT int KVG_CALL StartPage(HDC dc);
KVG_IMPORT int KVG_CALL EndPage(HDC dc);
KVG_IMPORT int KVG_CALL EndDoc(HDC dc);
KVG_IMPORT int KVG_CALL AbortDoc(HDC dc);

}  // namespace kvp::win32
