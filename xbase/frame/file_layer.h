// The engine's operating-system file layer.
//
// Files are known to the families by file numbers 2..101 of one table shared
// by every client; 0 and 1 are the heads of the free and in-use lists in the
// original layout and never name a file. Every failure sets the status and
// writes a log line under the operation's module name, except a short read,
// which sets -2 silently so that callers probing for the end of a file do
// not fill the log.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"

namespace kv::xb::os {

inline constexpr int kFirstFileNo = 2;
inline constexpr int kFileNoLimit = 102;  // first number that names no file

// Open-mode bits understood by Open.
inline constexpr uint16_t kModeReadOnly = 0x0100;
inline constexpr uint16_t kModeShared = 0x0400;

// Reference-counted table for 100 files (first XBDINIT creates it, the
// matching XBDTERM frees it).
bool AcquireTable();
void ReleaseTable();

// Creates or truncates a file for reading and writing, shared.
XBSTATUS Create(int* fileNo, const char* path);

// Creates a file only when no file has that name yet (exclusive create), for
// reading and writing, shared. Leaves the status and the log alone, so that
// a caller can try several names: 0, or -46 with LastError() telling why
// (ERROR_FILE_EXISTS when the name is taken).
XBSTATUS TryCreateNew(int* fileNo, const char* path);

// Opens an existing file; `state` receives the read-only (bit 0) and shared
// (bit 2) bits of the open actually made (a failed read-write open is retried
// read-only and shared).
XBSTATUS Open(int* fileNo, const char* path, uint16_t mode, uint16_t* state);

XBSTATUS Close(int fileNo);

// Reads exactly `count` bytes at the current position (in pieces of at most
// 32767 bytes); fewer gives -2 without a log line.
XBSTATUS Read(int fileNo, void* buffer, size_t count);

// A read-only view of one open file, mapped on the first ReadAt and mapped
// again when the file has grown past it or was reopened. Dropped with its owner.
class FileView {
 public:
  FileView() = default;
  FileView(const FileView&) = delete;
  FileView& operator=(const FileView&) = delete;
  ~FileView() { Forget(); }

  // Unmaps the view (the next ReadAt maps the file again).
  void Forget();

 private:
  friend XBSTATUS ReadAt(int fileNo, FileView& view, uint64_t offset, void* buffer, size_t count);
  // True when the view already holds bytes up to `end` of this open: the
  // test every record read makes, so it costs no call.
  bool Cover(void* file, uint64_t end) {
    return (file == file_ && end <= length_) || Map(file, end);
  }
  bool Map(void* file, uint64_t end);

  void* file_ = nullptr;  // the platform handle of the open the view was made from
  void* mapping_ = nullptr;
  const unsigned char* base_ = nullptr;
  uint64_t length_ = 0;
};

// Seek and Read in one: reads exactly `count` bytes at `offset`, from the
// view when it holds them, else from the file. Returns what Seek + Read
// would return, with the same log lines; a failed read through the view is
// a failed read. The file position is left unspecified.
XBSTATUS ReadAt(int fileNo, FileView& view, uint64_t offset, void* buffer, size_t count);

// Reads up to `count` bytes; `*done` receives how many were read.
XBSTATUS ReadSome(int fileNo, void* buffer, size_t count, size_t* done);

// Writes in pieces of 4096 bytes and the remainder.
XBSTATUS Write(int fileNo, const void* buffer, size_t count, bool flush);

// Moves to an absolute offset. Offsets are computed in 64 bits by callers;
// one beyond the 32-bit file layout gives -4 instead of wrapping.
XBSTATUS Seek(int fileNo, uint64_t offset);
XBSTATUS Tell(int fileNo, uint32_t* offset);
XBSTATUS Length(int fileNo, uint64_t* length);
XBSTATUS AtEnd(int fileNo, bool* atEnd);
XBSTATUS SetLength(int fileNo, uint32_t length);
XBSTATUS Lock(int fileNo, bool unlock, uint32_t offset, uint32_t length);
// Locks like Lock but leaves the status code and the log alone: for callers
// that probe several ranges or report a refusal themselves. Returns 0 or the
// code Lock would have set.
XBSTATUS TryLock(int fileNo, uint32_t offset, uint32_t length);
XBSTATUS Erase(const char* path);
XBSTATUS Rename(const char* newPath, const char* oldPath);
bool Exists(const char* path);

// The platform's last error after the most recent failed call (32 is kept
// as 2).
uint32_t LastError();

}  // namespace kv::xb::os
