// The graphic object table: handles from a counter, objects in a map under
// one mutex.
#include "platform/gdi/gdi_objects.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/gdi/gdi_records.h"

namespace kvp {

namespace {

class GdiTable {
 public:
  std::mutex mutex;

  HGDIOBJ Add(std::shared_ptr<detail::GdiObject> object) {
    // Numbers are not reused before the counter has gone round, and never
    // take the small values a caller might confuse with stock objects.
    do {
      next_ = next_ < kFirstNumber || next_ >= kLastNumber ? kFirstNumber : next_ + 1;
    } while (objects_.count(next_) != 0);
    objects_.emplace(next_, std::move(object));
    return reinterpret_cast<HGDIOBJ>(next_);
  }

  std::shared_ptr<detail::GdiObject> Remove(HGDIOBJ handle) {
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    if (found == objects_.end()) return nullptr;
    std::shared_ptr<detail::GdiObject> object = std::move(found->second);
    objects_.erase(found);
    return object;
  }

  std::shared_ptr<detail::GdiObject> Find(HGDIOBJ handle) const {
    auto found = objects_.find(reinterpret_cast<uintptr_t>(handle));
    return found == objects_.end() ? nullptr : found->second;
  }

  size_t Count() const { return objects_.size(); }

 private:
  // Kept within 32 bits so that a handle survives a trip through the 32-bit
  // words of the host's records.
  static constexpr uintptr_t kFirstNumber = 0x10000;
  static constexpr uintptr_t kLastNumber = 0x7FFFFFFF;
  uintptr_t next_ = 0;
  std::unordered_map<uintptr_t, std::shared_ptr<detail::GdiObject>> objects_;
};

// Never destroyed, so that objects deleted from static destructors of other
// libraries still find the table.
GdiTable& Table() {
  static GdiTable* table = new GdiTable;
  return *table;
}

}  // namespace

namespace detail {

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object) {
  if (!object) return nullptr;
  GdiTable& table = Table();
  std::lock_guard<std::mutex> hold(table.mutex);
  try {
    return table.Add(std::move(object));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

std::shared_ptr<GdiObject> UnregisterGdiObject(HGDIOBJ handle) {
  GdiTable& table = Table();
  std::lock_guard<std::mutex> hold(table.mutex);
  return table.Remove(handle);
}

std::shared_ptr<GdiObject> LookUpGdiObject(HGDIOBJ handle) {
  if (IsStockHandle(handle)) return FindStockObject(handle);
  GdiTable& table = Table();
  std::lock_guard<std::mutex> hold(table.mutex);
  return table.Find(handle);
}

}  // namespace detail

BOOL DeleteObject(HGDIOBJ object) {
  if (detail::IsStockHandle(object)) return TRUE_;
  // Device contexts and metafiles have calls of their own to end them.
  const DWORD type = GetObjectType(object);
  if (type == 0 || type == OBJ_DC || type == OBJ_MEMDC || type == OBJ_METADC ||
      type == OBJ_METAFILE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE_;
  }
  // A metafile being recorded that holds the object in its table records
  // the deletion.
  detail::ForgetObjectInMetafiles(object);
  // The object itself goes when the last holder lets go of it, outside the lock.
  return detail::UnregisterGdiObject(object) ? TRUE_ : FALSE_;
}

int GetObjectA(HGDIOBJ object, int bytes, void* buffer) {
  std::shared_ptr<detail::GdiObject> found = detail::LookUpGdiObject(object);
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const int size = found->RecordSize();
  if (buffer == nullptr) return size;
  if (bytes < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Windows copies no part of a pen's description: too small a buffer
  // gives nothing (brushes and fonts are cut to the buffer).
  if (found->Type() == OBJ_PEN && bytes < size) return 0;
  const int copied = bytes < size ? bytes : size;
  std::memcpy(buffer, found->Record(), static_cast<size_t>(copied));
  return copied;
}

DWORD GetObjectType(HGDIOBJ object) {
  std::shared_ptr<detail::GdiObject> found = detail::LookUpGdiObject(object);
  return found ? found->Type() : 0;
}

size_t GdiLiveObjects() {
  GdiTable& table = Table();
  std::lock_guard<std::mutex> hold(table.mutex);
  return table.Count();
}

}  // namespace kvp
