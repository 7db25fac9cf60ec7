// Internal: repeats a system call interrupted by a signal.
#pragma once
#include <errno.h>

namespace kvp::detail {

// Calls `call` until it returns anything other than -1 with errno EINTR.
template <class Call>
auto RetryOnEintr(Call call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

}  // namespace kvp::detail
