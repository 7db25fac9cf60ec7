// The kernel object table and CloseHandle.
#include "platform/kernel/handles.h"

#include <mutex>
#include <unordered_map>

#include "platform/kernel/files.h"

namespace kvp::detail {

namespace {

class ObjectTable {
 public:
  HANDLE Add(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> guard(mutex_);
    // Handle numbers step by 4 as on Windows; 0 and the all-ones value
    // (INVALID_HANDLE_VALUE) are never handed out, nor a number still live
    // after the counter wrapped.
    do {
      next_ += 4;
    } while (next_ == 0 || next_ == ~uintptr_t{0} || objects_.count(next_) != 0);
    objects_.emplace(next_, std::move(object));
    return reinterpret_cast<HANDLE>(next_);
  }

  std::shared_ptr<KernelObject> Find(HANDLE handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return found == objects_.end() ? nullptr : found->second;
  }

  std::shared_ptr<KernelObject> Remove(HANDLE handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == objects_.end()) return nullptr;
    std::shared_ptr<KernelObject> object = std::move(found->second);
    objects_.erase(found);
    return object;
  }

 private:
  std::mutex mutex_;
  uintptr_t next_ = 0x100;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects_;
};

// Never destroyed, so that handles closed from static destructors of other
// libraries still find the table.
ObjectTable& Table() {
  static ObjectTable* table = new ObjectTable;
  return *table;
}

}  // namespace

HANDLE RegisterObject(std::shared_ptr<KernelObject> object) {
  return Table().Add(std::move(object));
}

std::shared_ptr<KernelObject> LookUpAnyObject(HANDLE handle) {
  return Table().Find(handle);
}

std::shared_ptr<KernelObject> UnregisterObject(HANDLE handle) {
  return Table().Remove(handle);
}

}  // namespace kvp::detail

namespace kvp {

BOOL CloseHandle(HANDLE handle) {
  // Dropping the table's reference runs the object's destructor (closing its
  // descriptor and so releasing its locks) once no call is using it.
  if (!detail::UnregisterObject(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  return TRUE_;
}

}  // namespace kvp
