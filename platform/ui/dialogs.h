// The font and print set-up dialogs (used by kvchart).
//
// Headless, a dialog is answered by a hook the host (or a test) installs,
// as message boxes are: the hook fills the record the way the user's choice
// would and answers TRUE for OK, FALSE for Cancel. Without a hook the
// backend shows the dialog (headless: it is cancelled). The record sizes are checked (CDERR_STRUCTSIZE), as on
// Windows; CommDlgExtendedError answers 0 after a plain Cancel.
#pragma once
#include "platform/ui/window_types.h"

namespace kvp {

struct CHOOSEFONTA {
  DWORD lStructSize;
  HWND hwndOwner;
  HDC hDC;
  LOGFONTA* lpLogFont;
  int iPointSize;  // tenths of a point, set by the dialog
  DWORD Flags;
  COLORREF rgbColors;
  LPARAM lCustData;
  void* lpfnHook;
  const char* lpTemplateName;
  HINSTANCE hInstance;
  char* lpszStyle;
  WORD nFontType;
  int nSizeMin;
  int nSizeMax;
};

struct PRINTDLGA {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;  // with PD_RETURNDC: the printer context chosen (the caller deletes it)
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  void* lpfnPrintHook;
  void* lpfnSetupHook;
  const char* lpPrintTemplateName;
  const char* lpSetupTemplateName;
  HGLOBAL hPrintTemplate;
  HGLOBAL hSetupTemplate;
};

inline constexpr DWORD CF_SCREENFONTS = 0x00000001;
inline constexpr DWORD CF_PRINTERFONTS = 0x00000002;
inline constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x00000040;
inline constexpr DWORD CF_EFFECTS = 0x00000100;
inline constexpr DWORD PD_PRINTSETUP = 0x00000040;
inline constexpr DWORD PD_RETURNDC = 0x00000100;
inline constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
inline constexpr DWORD CDERR_STRUCTSIZE = 0x0001;
inline constexpr DWORD CDERR_INITIALIZATION = 0x0002;

using ChooseFontHook = BOOL (*)(CHOOSEFONTA* choice, void* context);
using PrintDlgHook = BOOL (*)(PRINTDLGA* choice, void* context);

// Install a hook (null: dialogs are cancelled); answer the previous one.
// Thread-safe.
KVP_API ChooseFontHook SetChooseFontHook(ChooseFontHook hook, void* context);
KVP_API PrintDlgHook SetPrintDlgHook(PrintDlgHook hook, void* context);

// FALSE for Cancel or a bad record (lpLogFont null: CDERR_INITIALIZATION).
KVP_API BOOL ChooseFontA(CHOOSEFONTA* choice);
KVP_API BOOL PrintDlgA(PRINTDLGA* choice);
KVP_API DWORD CommDlgExtendedError();

}  // namespace kvp
