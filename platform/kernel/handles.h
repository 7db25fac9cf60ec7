// Internal: the process-wide table of kernel objects behind HANDLE values.
//
// A HANDLE is a number, not an address: numbers are handed out by a counter
// and not reused soon, so a stale or forged handle is refused with
// ERROR_INVALID_HANDLE instead of touching freed memory. Objects are shared
// pointers: a call that looked an object up keeps it alive even when another
// thread closes the handle meanwhile; the object's destructor releases what
// it holds.
#pragma once
#include <memory>

#include "platform/kernel/win_types.h"

namespace kvp::detail {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Enters `object` into the table and returns its new handle.
HANDLE RegisterObject(std::shared_ptr<KernelObject> object);

// Removes the handle from the table and returns its object (null when the
// handle was not live).
std::shared_ptr<KernelObject> UnregisterObject(HANDLE handle);

// The object behind `handle`, or null when the handle is not live.
std::shared_ptr<KernelObject> LookUpAnyObject(HANDLE handle);

// The object behind `handle`, or null (last error ERROR_INVALID_HANDLE) when
// the handle is not live or holds another kind of object.
template <class T>
std::shared_ptr<T> LookUpObject(HANDLE handle) {
  std::shared_ptr<T> object = std::dynamic_pointer_cast<T>(LookUpAnyObject(handle));
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

}  // namespace kvp::detail
