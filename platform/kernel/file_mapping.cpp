// Read-only file mappings over mmap, and the guarded copy out of a view.
#include "platform/kernel/file_mapping.h"

#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/kernel/errno_map.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/file_object.h"
#include "platform/kernel/handles.h"

namespace kvp {
namespace {

using detail::FileObject;

constexpr uint64_t kGranularity = 65536;

class MappingObject : public detail::KernelObject {
 public:
  MappingObject(std::shared_ptr<FileObject> file, uint64_t size)
      : file_(std::move(file)), size_(size) {}
  const std::shared_ptr<FileObject>& file() const { return file_; }
  uint64_t size() const { return size_; }

 private:
  const std::shared_ptr<FileObject> file_;  // the mapping keeps its file open
  const uint64_t size_;
};

struct View {
  size_t length = 0;
  uint64_t offset = 0;  // in the file
  std::shared_ptr<MappingObject> mapping;
};

// Views by base address. Only mapping, unmapping and the rare check of a
// copy that met zero bytes look here.
struct ViewTable {
  std::mutex mutex;
  std::map<uintptr_t, View> views;
};

ViewTable& Views() {
  static ViewTable* table = new ViewTable;  // never destroyed, like the handle table
  return *table;
}

// --- Faults while copying ---------------------------------------------------
// A copy out of a view runs with this thread's jump buffer published; the
// SIGBUS handler jumps back to it. A fault anywhere else goes to the handler
// that was there before ours (or the default action). The pointer is
// initial-exec so that the handler never makes the loader allocate.
// Volatile, with signal fences around the copy: the compiler must neither
// drop the stores around memcpy nor move the copy out from between them.
__attribute__((tls_model("initial-exec"))) thread_local sigjmp_buf* volatile tCopyGuard = nullptr;
struct sigaction gPreviousBus {};

void OnBusError(int signal, siginfo_t* info, void* context) {
  if (sigjmp_buf* guard = tCopyGuard) {
    tCopyGuard = nullptr;
    siglongjmp(*guard, 1);
  }
  if (gPreviousBus.sa_flags & SA_SIGINFO) {
    if (gPreviousBus.sa_sigaction != nullptr) {
      gPreviousBus.sa_sigaction(signal, info, context);
      return;
    }
  } else if (gPreviousBus.sa_handler != SIG_DFL && gPreviousBus.sa_handler != SIG_IGN) {
    gPreviousBus.sa_handler(signal);
    return;
  }
  // Default action: returning re-runs the faulting access, which now kills
  // the process as it would have without us.
  ::signal(SIGBUS, SIG_DFL);
}

void InstallBusHandler() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    // SA_NODEFER: the jump out of the handler must not leave SIGBUS blocked.
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &gPreviousBus);
  });
}

// Copies under the guard; false when a page of the source faulted.
bool GuardedCopy(const void* source, void* buffer, size_t count) {
  sigjmp_buf guard;
  if (sigsetjmp(guard, 0) != 0) {
    // Came back from the handler: make sure SIGBUS is not left blocked.
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    ::pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
    return false;
  }
  tCopyGuard = &guard;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(buffer, source, count);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tCopyGuard = nullptr;
  return true;
}

// True when [source, source + count) lies in a view and within its file's
// size now. Sets the last error when not.
bool WithinFile(const void* source, size_t count) {
  const auto at = reinterpret_cast<uintptr_t>(source);
  uint64_t offset = 0;
  std::shared_ptr<FileObject> file;
  {
    ViewTable& table = Views();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.views.upper_bound(at);
    if (it == table.views.begin()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return false;
    }
    --it;
    if (at - it->first + count > it->second.length) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return false;
    }
    offset = it->second.offset + (at - it->first);
    file = it->second.mapping->file();
  }
  struct stat info {};
  if (::fstat(file->fd(), &info) != 0) {
    detail::SetLastErrorFromErrno(errno);
    return false;
  }
  if (offset + count > static_cast<uint64_t>(info.st_size)) {
    SetLastError(ERROR_HANDLE_EOF);
    return false;
  }
  return true;
}

}  // namespace

HANDLE CreateFileMappingA(HANDLE file, void* security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, const char* name) {
  (void)security;
  (void)name;
  std::shared_ptr<FileObject> object = detail::LookUpObject<FileObject>(file);
  if (!object) return nullptr;
  if (protect != PAGE_READONLY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!object->CanRead()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (!object->isRegular()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  struct stat info {};
  if (::fstat(object->fd(), &info) != 0) {
    detail::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  const uint64_t fileSize = static_cast<uint64_t>(info.st_size);
  uint64_t size = (uint64_t{maximumSizeHigh} << 32) | maximumSizeLow;
  if (size == 0) size = fileSize;
  // A read-only mapping cannot make the file longer.
  if (size == 0 || size > fileSize) {
    SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  return detail::RegisterObject(std::make_shared<MappingObject>(std::move(object), size));
}

void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, size_t bytes) {
  std::shared_ptr<MappingObject> object = detail::LookUpObject<MappingObject>(mapping);
  if (!object) return nullptr;
  const uint64_t offset = (uint64_t{offsetHigh} << 32) | offsetLow;
  if (access != FILE_MAP_READ || offset % kGranularity != 0 || offset >= object->size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const uint64_t available = object->size() - offset;
  if (bytes == 0) {
    if (available > SIZE_MAX) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    bytes = static_cast<size_t>(available);
  } else if (bytes > available) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  InstallBusHandler();
  void* base = ::mmap(nullptr, bytes, PROT_READ, MAP_SHARED, object->file()->fd(),
                      static_cast<off_t>(offset));
  if (base == MAP_FAILED) {
    detail::SetLastErrorFromErrno(errno);
    if (errno == ENOMEM) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  ViewTable& table = Views();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.views[reinterpret_cast<uintptr_t>(base)] = View{bytes, offset, std::move(object)};
  return base;
}

BOOL UnmapViewOfFile(const void* base) {
  View view;
  {
    ViewTable& table = Views();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.views.find(reinterpret_cast<uintptr_t>(base));
    if (it == table.views.end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE_;
    }
    view = std::move(it->second);
    table.views.erase(it);
  }
  ::munmap(const_cast<void*>(base), view.length);
  return TRUE_;
}

BOOL ReadMappedView(const void* source, void* buffer, size_t count) {
  if (count == 0) return TRUE_;
  if (source == nullptr || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  if (!GuardedCopy(source, buffer, count)) {
    SetLastError(ERROR_HANDLE_EOF);
    return FALSE_;
  }
  // Bytes beyond the end of a file cut short, in its last page, read as
  // zeros without a fault, and the pages after that one fault. So a copy
  // that reaches past the end either faulted or ends in a zero byte: only a
  // copy whose last byte is zero is checked against the file's size, and
  // data that does not end in one (text records) costs nothing more.
  if (static_cast<const unsigned char*>(buffer)[count - 1] == 0 && !WithinFile(source, count))
    return FALSE_;
  if (fault::ShouldFail(fault::Op::Read)) return FALSE_;
  return TRUE_;
}

}  // namespace kvp
