// The last error is the system's own, per thread.
#include "platform/kernel/win_types.h"
// (after the layer's headers)
#include "platform/kernel/win32/windows_api.h"

namespace kvp {

DWORD GetLastError() {
  return ::GetLastError();
}

void SetLastError(DWORD error) {
  ::SetLastError(error);
}

}  // namespace kvp
