// Drives, directory searches, the current directory and replacing renames
// (used by kvcomm's remote services).
//
// A "drive" here is a letter that stands for a directory. Without
// configuration there is one: C:, the root of the file system, a fixed
// disk. KV_DRIVES in the environment replaces that list:
//   KV_DRIVES="A:removable=/media/floppy;C=/;F:remote=/srv/share"
// each entry a letter, an optional type (removable, fixed, remote, cdrom,
// ramdisk) and the directory it stands for. Without a type it is read from
// the file system that holds the directory (NFS, CIFS and other network file
// systems are remote, ISO 9660 and UDF CD-ROMs, tmpfs and ramfs RAM disks,
// everything else fixed).
//
// A Windows path "X:\dir\name" is read as the drive's directory followed by
// dir/name; backslashes are separators; a path without a drive is relative
// to the current directory.
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

inline constexpr DWORD MAX_PATH_ = 260;

// Bit n set when drive 'A' + n exists.
KVP_API DWORD GetLogicalDrives();
// The type of the drive named by `root` ("C:\", "C:" or "C"); DRIVE_NO_ROOT_DIR
// for a letter that is not configured.
KVP_API UINT GetDriveTypeA(const char* root);

// Writes the Linux path a Windows path stands for; its length, or 0 when
// the buffer is too small or the drive is unknown (ERROR_PATH_NOT_FOUND).
KVP_API DWORD MapWindowsPath(const char* windowsPath, char* buffer, DWORD size);

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  char cFileName[MAX_PATH_];
};

// A search of one directory: the pattern's last part is matched, without
// regard to case, against every entry ("." and ".." included), with '*' any
// run of characters and '?' one; "*.*" matches every name, as on Windows.
// A name longer than MAX_PATH_ - 1 bytes is skipped. INVALID_HANDLE_VALUE
// with ERROR_FILE_NOT_FOUND when nothing matches (or the directory cannot
// be read). Close with FindClose.
KVP_API HANDLE FindFirstFileA(const char* pattern, WIN32_FIND_DATAA* data);
KVP_API BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);
KVP_API BOOL FindClose(HANDLE search);

// The process's current directory; its length, or the size needed (NUL
// included) when the buffer is too small.
KVP_API DWORD GetCurrentDirectoryA(DWORD size, char* buffer);

inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
// As MoveFileA; with MOVEFILE_REPLACE_EXISTING an existing target is
// replaced in one step (rename(2)), so a reader sees the old file or the new
// one, never a missing or partial one.
KVP_API BOOL MoveFileExA(const char* from, const char* to, DWORD flags);

}  // namespace kvp
