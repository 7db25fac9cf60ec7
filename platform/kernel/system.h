// Process identity, local time and modules (used by every library).
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;  // 0 = Sunday
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};

KVP_API void GetLocalTime(SYSTEMTIME* time);
KVP_API DWORD GetCurrentProcessId();

// Has `handler` run in the child of every later fork, before the child goes
// on: for callers that keep something tied to the process identity (Windows
// has no fork, so there the call does nothing). Each handler is kept once
// however often it is passed; up to 16 are kept (false when full).
KVP_API BOOL CallInForkedChild(void (*handler)());
// Stops running `handler` in forked children: a module that registered one
// calls this before it is unloaded, so that no fork jumps into its unmapped
// code.
KVP_API void StopCallingInForkedChild(void (*handler)());

// Module loading: a Windows module name ("kvhost.DLL", "odbc32.dll") is
// mapped to a Linux library by MapModuleName and opened with dlopen (which
// searches as dlopen does); failures set ERROR_MOD_NOT_FOUND (126) and
// ERROR_PROC_NOT_FOUND (127).
KVP_API HMODULE LoadLibraryA(const char* name);
// Adds a directory searched first for bare module names (null clears it).
// Without one, a bare name is looked up beside libkvplatform.so first.
KVP_API BOOL SetDllDirectoryA(const char* directory);
KVP_API void* GetProcAddress(HMODULE module, const char* name);
KVP_API BOOL FreeLibrary(HMODULE module);

// The handle of a module already loaded (no reference taken, as on Windows);
// null `name` gives the program itself.
KVP_API HMODULE GetModuleHandleA(const char* name);

// Writes the Linux file name that stands for a Windows module name; returns
// its length, 0 when the buffer is too small (ERROR_INSUFFICIENT_BUFFER).
//   "odbc32.dll" -> "libodbc.so.2" (unixODBC), "MAPI32.DLL" -> "libkvmapi.so",
//   any other "Name.dll" or "Name" -> "lib" + lower-case name + ".so";
//   a name that is already a Linux library stays as it is; a Windows folder
//   ("C:\x\") is dropped, a Linux one ("/opt/kv/") kept.
// KV_MODULE_<NAME> in the environment (the base name upper-cased, other
// characters than letters and digits as '_', "_DLL" added to a name without
// extension: KV_MODULE_ODBC32_DLL) overrides the mapping.
KVP_API DWORD MapModuleName(const char* windowsName, char* buffer, DWORD size);

}  // namespace kvp
