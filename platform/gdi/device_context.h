// Device contexts and drawing (used by kvchart).
//
// One set of calls draws on every surface: a memory context over a bitmap
// (cairo image surface; off-screen window pictures are the same thing), the
// screen context of GetDC(null), a metafile being recorded (metafile.h) and
// a printer (printer.h). Coordinates are logical: MM_TEXT maps them one to
// one after the window and viewport origins; MM_ANISOTROPIC also scales by
// viewport extent / window extent.
//
// Semantics kept from Windows: Rectangle, Ellipse, Pie and Polygon fill with
// the selected brush and outline with the selected pen, and a shape's right
// and bottom edges are exclusive; Pie runs counter-clockwise from the first
// radial to the second; LineTo draws from the current position and moves it;
// TextOutA writes Windows-1252 text at the text alignment's reference point,
// on a background box when the background mode is OPAQUE. Every call answers
// FALSE (0, null) for a handle that is not a live context.
#pragma once
#include "platform/gdi/gdi_objects.h"

namespace kvp {

// A memory context compatible with the screen (the argument is not needed
// otherwise); it holds a 1 x 1 bitmap until one is selected.
KVP_API HDC CreateCompatibleDC(HDC dc);
// Ends a memory or printer context; the objects it had selected stay.
KVP_API BOOL DeleteDC(HDC dc);
// The screen context (null window: the whole screen, 1024 x 768, 96 pixels
// per inch), or a context on a window's client picture; ReleaseDC ends it. Used to measure text as on the screen.
KVP_API HDC GetDC(HWND window);
KVP_API int ReleaseDC(HWND window, HDC dc);

// Selects a pen, brush, font or (memory contexts) bitmap; answers the
// object it replaced, null for an object of another kind or a bitmap
// selected elsewhere.
KVP_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP.
KVP_API HGDIOBJ GetCurrentObject(HDC dc, UINT type);

KVP_API int SetBkMode(HDC dc, int mode);  // answers the previous mode, 0 on failure
KVP_API int GetBkMode(HDC dc);
KVP_API COLORREF SetBkColor(HDC dc, COLORREF colour);
KVP_API COLORREF SetTextColor(HDC dc, COLORREF colour);
KVP_API COLORREF GetTextColor(HDC dc);
KVP_API UINT SetTextAlign(HDC dc, UINT align);
KVP_API int SetMapMode(HDC dc, int mode);
KVP_API BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
KVP_API BOOL SetWindowExtEx(HDC dc, int x, int y, SIZE* previous);
KVP_API BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
KVP_API BOOL SetViewportExtEx(HDC dc, int x, int y, SIZE* previous);

KVP_API BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
KVP_API BOOL LineTo(HDC dc, int x, int y);
KVP_API BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
KVP_API BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
KVP_API BOOL Pie(HDC dc, int left, int top, int right, int bottom, int xRadial1, int yRadial1,
                 int xRadial2, int yRadial2);
KVP_API BOOL Polygon(HDC dc, const POINT* points, int count);
KVP_API BOOL Polyline(HDC dc, const POINT* points, int count);
// Fills with the brush, without an outline and without changing the selection.
KVP_API int FillRect(HDC dc, const RECT* box, HBRUSH brush);
KVP_API BOOL TextOutA(HDC dc, int x, int y, const char* text, int length);

// The text's width and cell height in the selected font. A metafile being
// recorded cannot measure (FALSE), as on Windows: measure on the screen.
KVP_API BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size);

KVP_API int GetDeviceCaps(HDC dc, int index);

// Copies pixels between raster contexts (memory, screen); only SRCCOPY.
KVP_API BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int xSource,
                    int ySource, DWORD operation);

// A bitmap of the size for raster drawing (32-bit colour, white); null for a
// size below 1 or above 16384 on a side.
KVP_API HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Writes the bitmap as a PNG file (no Windows equivalent: the raster
// surface's way out). FALSE when the file cannot be written.
KVP_API BOOL WriteBitmapPng(HBITMAP bitmap, const char* path);
// The colour at a pixel of the bitmap selected into a memory context;
// 0xFFFFFFFF (CLR_INVALID) outside it.
KVP_API COLORREF GetPixel(HDC dc, int x, int y);

inline constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

}  // namespace kvp
