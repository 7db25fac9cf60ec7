// Profile (INI) files with the Windows semantics (used by kvxbase, kvimage,
// kvcomm, kvodbc).
//
// A bare file name is looked up in the "Windows directory": $KV_WINDIR, by
// default $XDG_CONFIG_HOME/kv (or ~/.config/kv). File names are matched
// without regard to case within their directory; sections and keys too.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

// Copies the value (or `defaultValue`, trailing blanks dropped) into
// `buffer`, cut to size − 1 characters and NUL-terminated; returns the
// number of characters copied. Values lose the blanks around them and one
// pair of surrounding quotes. A null `section` lists the section names, a
// null `key` the keys of the section: each name NUL-terminated, one more NUL
// at the end (size − 2 returned when cut). A null buffer or size 0 copies
// nothing and returns 0; a missing or unreadable file reads as empty; a
// null `fileName` is the system profile.
KVP_API DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                       const char* defaultValue, char* buffer, DWORD size,
                                       const char* fileName);

// The value read as an integer (optional sign, then decimal digits or "0x"
// and hex digits, up to the first other character; no digits give 0);
// `defaultValue` when the key is missing or its value empty.
KVP_API UINT GetPrivateProfileIntA(const char* section, const char* key, int defaultValue,
                                   const char* fileName);

// Writes (or with a null value removes) a key; a null key removes the whole
// section. Creates the file and section as needed (and the Windows directory
// for a bare name) and keeps every other line. The file is replaced as a
// whole through a temporary file and a rename. A line break in a name or
// value, ']' in the section or '=' in the key fail with
// ERROR_INVALID_PARAMETER.
KVP_API BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                        const char* fileName);

// The system profile "win.ini" in the Windows directory.
KVP_API DWORD GetProfileStringA(const char* section, const char* key, const char* defaultValue,
                                char* buffer, DWORD size);
KVP_API UINT GetProfileIntA(const char* section, const char* key, int defaultValue);
KVP_API BOOL WriteProfileStringA(const char* section, const char* key, const char* value);

// Writes the Windows directory (no trailing separator); returns its length,
// or the size needed (NUL included) when the buffer is too small.
KVP_API UINT GetWindowsDirectoryA(char* buffer, UINT size);

}  // namespace kvp
