// On Windows the system shows the windows and menus itself; the backend is
// asked only for a message box or dialog no hook answers, and answers it as
// the headless one does (stderr and the default button, dialogs cancelled):
// a box of the system would wait for a click no test or server can give.
#include "platform/ui/backend.h"

namespace kvp::detail {

Backend& CurrentBackend() {
  return HeadlessBackend();
}

}  // namespace kvp::detail
