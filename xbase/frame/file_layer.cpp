#include "xbase/frame/file_layer.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/file_mapping.h"
#include "platform/kernel/files.h"
#include "xbase/frame/engine.h"

namespace kv::xb::os {
namespace {

constexpr int kFiles = 100;
constexpr size_t kReadPiece = 32767;  // a signed 16-bit count per call
constexpr size_t kWritePiece = 4096;

struct FileTable {
  int references = 0;
  kvp::HANDLE handles[kFiles] = {};
  // Free numbers as a stack: a freed number is the first handed out again.
  std::vector<int> free;
};

FileTable table;
uint32_t lastError = 0;

void NoteError() {
  lastError = kvp::GetLastError();
  if (lastError == kvp::ERROR_SHARING_VIOLATION) lastError = kvp::ERROR_FILE_NOT_FOUND;
}

kvp::HANDLE HandleOf(int fileNo) {
  if (fileNo < kFirstFileNo || fileNo >= kFileNoLimit || table.references == 0) return nullptr;
  return table.handles[fileNo - kFirstFileNo];
}

int TakeNumber(kvp::HANDLE h) {
  if (table.free.empty()) return 0;
  int n = table.free.back();
  table.free.pop_back();
  table.handles[n - kFirstFileNo] = h;
  return n;
}

XBSTATUS WithRuntimeBits(uint32_t error) {
  return static_cast<XBSTATUS>(static_cast<uint16_t>((error & 0x3FFF) | 0xC000));
}

// Opens or creates with critical-error boxes off and the random-access hint.
kvp::HANDLE OpenHandle(const char* path, kvp::DWORD access, kvp::DWORD share,
                       kvp::DWORD disposition) {
  kvp::UINT previous = kvp::SetErrorMode(1);
  kvp::HANDLE h =
      kvp::CreateFileA(path, access, share, nullptr, disposition,
                       kvp::FILE_ATTRIBUTE_NORMAL | kvp::FILE_FLAG_RANDOM_ACCESS, nullptr);
  if (h == kvp::INVALID_HANDLE_VALUE) NoteError();
  kvp::SetErrorMode(previous);
  return h;
}

}  // namespace

constexpr const char* kModule = "Init";

bool AcquireTable() {
  if (table.references++ == 0) {
    std::fill(std::begin(table.handles), std::end(table.handles), nullptr);
    table.free.clear();
    table.free.reserve(kFiles);
    for (int n = kFileNoLimit - 1; n >= kFirstFileNo; --n) table.free.push_back(n);
    kvp::SetHandleCount(kFiles + 20);
  }
  return true;
}

void ReleaseTable() {
  if (table.references == 0) return;
  if (--table.references == 0) {
    for (auto& h : table.handles) {
      if (h != nullptr) kvp::CloseHandle(h);
      h = nullptr;
    }
    table.free.clear();
    table.free.shrink_to_fit();
  }
}

uint32_t LastError() {
  return lastError;
}

XBSTATUS Create(int* fileNo, const char* path) {
  constexpr const char* kModule = "Hcreate";
  if (fileNo == nullptr || path == nullptr) return XB_FAIL(XB_E_NULL);
  if (path[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  kvp::HANDLE h = OpenHandle(path, kvp::GENERIC_READ | kvp::GENERIC_WRITE,
                             kvp::FILE_SHARE_READ | kvp::FILE_SHARE_WRITE, kvp::CREATE_ALWAYS);
  if (h == kvp::INVALID_HANDLE_VALUE) return XB_FAIL(XB_E_OPEN);
  int n = TakeNumber(h);
  if (n == 0) {
    kvp::CloseHandle(h);
    return XB_FAIL(XB_E_OPEN);
  }
  *fileNo = n;
  return 0;
}

XBSTATUS TryCreateNew(int* fileNo, const char* path) {
  if (fileNo == nullptr || path == nullptr || path[0] == '\0') {
    lastError = kvp::ERROR_INVALID_PARAMETER;
    return XB_E_OPEN;
  }
  kvp::HANDLE h = OpenHandle(path, kvp::GENERIC_READ | kvp::GENERIC_WRITE,
                             kvp::FILE_SHARE_READ | kvp::FILE_SHARE_WRITE, kvp::CREATE_NEW);
  if (h == kvp::INVALID_HANDLE_VALUE) return XB_E_OPEN;
  int n = TakeNumber(h);
  if (n == 0) {
    kvp::CloseHandle(h);
    kvp::DeleteFileA(path);
    lastError = kvp::ERROR_TOO_MANY_OPEN_FILES;
    return XB_E_OPEN;
  }
  *fileNo = n;
  return 0;
}

XBSTATUS Open(int* fileNo, const char* path, uint16_t mode, uint16_t* state) {
  if (fileNo == nullptr || path == nullptr || state == nullptr) return XB_FAIL(XB_E_NULL);
  if (path[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  const bool readOnly = (mode & kModeReadOnly) != 0;
  const bool shared = (mode & kModeShared) != 0;
  *state = static_cast<uint16_t>((readOnly ? kStateReadOnly : 0) | (shared ? kStateShared : 0));
  kvp::HANDLE h =
      OpenHandle(path, readOnly ? kvp::GENERIC_READ : kvp::GENERIC_READ | kvp::GENERIC_WRITE,
                 shared ? kvp::FILE_SHARE_READ | kvp::FILE_SHARE_WRITE : 0, kvp::OPEN_EXISTING);
  if (h == kvp::INVALID_HANDLE_VALUE) {
    // A file that cannot be opened as asked (read-only on disk, or held by
    // another program) is still readable shared.
    *state |= kStateReadOnly | kStateShared;
    h = OpenHandle(path, kvp::GENERIC_READ, kvp::FILE_SHARE_READ | kvp::FILE_SHARE_WRITE,
                   kvp::OPEN_EXISTING);
    if (h == kvp::INVALID_HANDLE_VALUE) return XB_FAIL(XB_E_OPEN);
  }
  int n = TakeNumber(h);
  if (n == 0) {
    kvp::CloseHandle(h);
    return XB_FAIL(XB_E_OPEN);
  }
  *fileNo = n;
  return 0;
}

XBSTATUS Close(int fileNo) {
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr || !kvp::CloseHandle(h)) {
    NoteError();
    return XB_FAIL(XB_E_HANDLE);
  }
  table.handles[fileNo - kFirstFileNo] = nullptr;
  table.free.push_back(fileNo);
  return 0;
}

XBSTATUS ReadSome(int fileNo, void* buffer, size_t count, size_t* done) {
  constexpr const char* kModule = "Hread";
  *done = 0;
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  auto* out = static_cast<unsigned char*>(buffer);
  while (*done < count) {
    const size_t piece = std::min(kReadPiece, count - *done);
    kvp::DWORD got = 0;
    if (!kvp::ReadFile(h, out + *done, static_cast<kvp::DWORD>(piece), &got, nullptr)) {
      const uint32_t e = kvp::GetLastError();
      // Pending or busy input is read again for the remainder.
      if (e == kvp::ERROR_IO_PENDING || e == 162) continue;
      NoteError();
      return XB_FAIL(XB_E_READ);
    }
    if (got == 0) break;
    *done += got;
  }
  return 0;
}

XBSTATUS Read(int fileNo, void* buffer, size_t count) {
  size_t done = 0;
  XBSTATUS s = ReadSome(fileNo, buffer, count, &done);
  if (s != 0) return s;
  if (done != count) return SetState(XB_E_READ);  // silent: end-of-file probes
  return 0;
}

void FileView::Forget() {
  if (base_ != nullptr) kvp::UnmapViewOfFile(base_);
  if (mapping_ != nullptr) kvp::CloseHandle(mapping_);
  file_ = nullptr;
  mapping_ = nullptr;
  base_ = nullptr;
  length_ = 0;
}

// Makes the view hold bytes up to `end` of the file open as `h`: true when it does,
// false when the file is shorter or cannot be mapped (the caller then reads
// the file). The view belongs to one open of the file (a reopened file
// gets a new handle and so a new view). A new view is mapped over the whole file as it is now, so a
// growing file is mapped again only when a read goes past the old end.
bool FileView::Map(kvp::HANDLE h, uint64_t end) {
  kvp::DWORD high = 0;
  kvp::SetLastError(0);
  const kvp::DWORD low = kvp::GetFileSize(h, &high);
  if (low == kvp::INVALID_FILE_SIZE && kvp::GetLastError() != 0) return false;
  const uint64_t size = (uint64_t{high} << 32) | low;
  if (size < end || size > SIZE_MAX) return false;
  kvp::HANDLE mapping = kvp::CreateFileMappingA(h, nullptr, kvp::PAGE_READONLY, high, low, nullptr);
  if (mapping == nullptr) return false;
  void* base = kvp::MapViewOfFile(mapping, kvp::FILE_MAP_READ, 0, 0, 0);
  if (base == nullptr) {
    kvp::CloseHandle(mapping);
    return false;
  }
  Forget();
  file_ = h;
  mapping_ = mapping;
  base_ = static_cast<const unsigned char*>(base);
  length_ = size;
  return true;
}

XBSTATUS ReadAt(int fileNo, FileView& view, uint64_t offset, void* buffer, size_t count) {
  constexpr const char* kModule = "Hread";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h != nullptr && offset <= 0xFFFFFFFFu && view.Cover(h, offset + count)) {
    if (kvp::ReadMappedView(view.base_ + offset, buffer, count)) return 0;
    if (kvp::GetLastError() != kvp::ERROR_HANDLE_EOF) {
      NoteError();
      return XB_FAIL(XB_E_READ);
    }
    // The file was cut short under the view: drop it, and let the file
    // read tell how much is left.
    view.Forget();
  }
  XBSTATUS s = Seek(fileNo, offset);
  if (s == 0) s = Read(fileNo, buffer, count);
  return s;
}

XBSTATUS Write(int fileNo, const void* buffer, size_t count, bool flush) {
  constexpr const char* kModule = "Hwrite";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  const auto* in = static_cast<const unsigned char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const size_t piece = std::min(kWritePiece, count - done);
    kvp::DWORD put = 0;
    if (!kvp::WriteFile(h, in + done, static_cast<kvp::DWORD>(piece), &put, nullptr) ||
        put != piece) {
      NoteError();
      return XB_FAIL(XB_E_WRITE);
    }
    done += piece;
  }
  // Flushing leaves the written data to the operating system, as before:
  // forcing it to disk on every write would make appends crawl.
  (void)flush;
  return 0;
}

XBSTATUS Seek(int fileNo, uint64_t offset) {
  constexpr const char* kModule = "Hseek";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  if (offset > 0xFFFFFFFFu) return XB_FAIL(XB_E_SEEK);
  kvp::LONG high = 0;
  kvp::SetLastError(0);
  kvp::DWORD low = kvp::SetFilePointer(h, static_cast<kvp::LONG>(static_cast<uint32_t>(offset)),
                                       &high, kvp::FILE_BEGIN);
  if (low == kvp::INVALID_SET_FILE_POINTER && kvp::GetLastError() != 0) {
    NoteError();
    return XB_FAIL(XB_E_SEEK);
  }
  return 0;
}

XBSTATUS Tell(int fileNo, uint32_t* offset) {
  constexpr const char* kModule = "Htell";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  kvp::LONG high = 0;
  kvp::SetLastError(0);
  kvp::DWORD low = kvp::SetFilePointer(h, 0, &high, kvp::FILE_CURRENT);
  if (low == kvp::INVALID_SET_FILE_POINTER && kvp::GetLastError() != 0) {
    NoteError();
    return XB_FAIL(WithRuntimeBits(lastError));
  }
  *offset = low;
  return 0;
}

XBSTATUS Length(int fileNo, uint64_t* length) {
  constexpr const char* kModule = "Hlen";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  kvp::DWORD high = 0;
  kvp::SetLastError(0);
  kvp::DWORD low = kvp::GetFileSize(h, &high);
  if (low == kvp::INVALID_FILE_SIZE && kvp::GetLastError() != 0) {
    NoteError();
    return XB_FAIL(XB_E_SEEK);
  }
  *length = (uint64_t{high} << 32) | low;
  return 0;
}

XBSTATUS AtEnd(int fileNo, bool* atEnd) {
  uint32_t position = 0;
  uint64_t length = 0;
  XBSTATUS s = Tell(fileNo, &position);
  if (s == 0) s = Length(fileNo, &length);
  if (s == 0) *atEnd = position >= length;
  return s;
}

XBSTATUS SetLength(int fileNo, uint32_t length) {
  constexpr const char* kModule = "Hsize";
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_FAIL(XB_E_HANDLE);
  XBSTATUS s = Seek(fileNo, length);
  if (s != 0) return s;
  if (!kvp::SetEndOfFile(h)) {
    NoteError();
    return XB_FAIL(XB_E_WRITE);
  }
  return 0;
}

namespace {
// The status of one lock or unlock call, without touching the status code.
XBSTATUS LockCall(int fileNo, bool unlock, uint32_t offset, uint32_t length) {
  if (fileNo == 0) return XB_E_NULL;
  kvp::HANDLE h = HandleOf(fileNo);
  if (h == nullptr) return XB_E_HANDLE;
  const bool ok =
      unlock ? kvp::UnlockFile(h, offset, 0, length, 0) : kvp::LockFile(h, offset, 0, length, 0);
  if (ok) return 0;
  NoteError();
  switch (kvp::GetLastError()) {
    case kvp::ERROR_INVALID_FUNCTION:
      return XB_E_ARGUMENT;
    case kvp::ERROR_INVALID_HANDLE:
      return XB_E_HANDLE;
    case kvp::ERROR_LOCK_VIOLATION:
      return XB_E_LOCKED;
    case kvp::ERROR_SHARING_BUFFER_EXCEEDED:
      return XB_E_LOCK_TABLE;
    default:
      return WithRuntimeBits(kvp::GetLastError());
  }
}
}  // namespace

XBSTATUS Lock(int fileNo, bool unlock, uint32_t offset, uint32_t length) {
  constexpr const char* kModule = "Hlock";
  const XBSTATUS s = LockCall(fileNo, unlock, offset, length);
  return s == 0 ? 0 : XB_FAIL(s);
}

XBSTATUS TryLock(int fileNo, uint32_t offset, uint32_t length) {
  return LockCall(fileNo, false, offset, length);
}

XBSTATUS Erase(const char* path) {
  constexpr const char* kModule = "Herase";
  if (path == nullptr) return XB_FAIL(XB_E_NULL);
  if (kvp::DeleteFileA(path)) return 0;
  NoteError();
  if (lastError == kvp::ERROR_FILE_NOT_FOUND) return SetState(XB_NOT_FOUND_ERASE);
  if (lastError == kvp::ERROR_ACCESS_DENIED || lastError == kvp::ERROR_INVALID_DATA)
    return XB_FAIL(XB_E_ACCESS);
  return XB_FAIL(WithRuntimeBits(lastError));
}

XBSTATUS Rename(const char* newPath, const char* oldPath) {
  constexpr const char* kModule = "HRENAME";
  if (newPath == nullptr || oldPath == nullptr) return XB_FAIL(XB_E_NULL);
  if (kvp::MoveFileA(oldPath, newPath)) return 0;
  NoteError();
  if (lastError == kvp::ERROR_FILE_NOT_FOUND) return XB_FAIL(XB_E_RENAME_NOT_FOUND);
  if (lastError == kvp::ERROR_ACCESS_DENIED || lastError == kvp::ERROR_INVALID_DATA)
    return XB_FAIL(XB_E_ACCESS);
  return XB_FAIL(WithRuntimeBits(lastError));
}

bool Exists(const char* path) {
  return path != nullptr && kvp::GetFileAttributesA(path) != kvp::INVALID_FILE_ATTRIBUTES;
}

}  // namespace kv::xb::os
