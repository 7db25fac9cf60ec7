// Allocations of the socket layer that may fail without ending the program:
// each object or buffer is made with new(nothrow), and the platform's
// failure injection (kvp::fault::Op::Alloc) can fail any of them, so that
// the codes 12001, 16001, 16002 and 16006 are tested.
#pragma once
#include <stddef.h>

#include <new>
#include <utility>

#include "platform/kernel/fault.h"

namespace kvnet {

template <class T, class... Args>
T* NewOrNull(Args&&... args) {
  if (kvp::fault::ShouldFail(kvp::fault::Op::Alloc)) return nullptr;
  return new (std::nothrow) T(std::forward<Args>(args)...);
}

template <class T>
T* NewArrayOrNull(size_t count) {
  if (kvp::fault::ShouldFail(kvp::fault::Op::Alloc)) return nullptr;
  return new (std::nothrow) T[count]();
}

}  // namespace kvnet
