// Message boxes (used by kvxbase, kvimage, kvcomm).
//
// A box goes to a hook the host may set; without one the backend shows it
// (headless: caption and text are printed to stderr and the default button
// is the answer).
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
inline constexpr UINT MB_YESNOCANCEL = 0x3;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_RETRYCANCEL = 0x5;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONSTOP = 0x10;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_DEFBUTTON2 = 0x100;
inline constexpr UINT MB_DEFBUTTON3 = 0x200;
inline constexpr UINT MB_DEFMASK = 0xF00;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

using MessageBoxHook = int (*)(HWND owner, const char* text, const char* caption, UINT type,
                               void* context);

// Installs a hook, called with `context` for every box (null restores the
// default); returns the previous one. Thread-safe.
KVP_API MessageBoxHook SetMessageBoxHook(MessageBoxHook hook, void* context);

// Shows a box: the hook's answer, or else the backend's; headless that is
// "caption: text" on stderr (a null caption reads "Error") and the default
// button of the button set (MB_DEFBUTTON2/3 choose the second/third).
KVP_API int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

}  // namespace kvp
