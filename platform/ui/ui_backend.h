// Which backend shows the windows (no Windows equivalent).
//
// Chosen once, at the first use of the user interface, from the variable
// KV_UI: "headless" (nobody sees the windows; menus and dialogs are answered
// by queued input and hooks), "gtk" (real windows on the display named by
// DISPLAY; a display that cannot be opened is reported on stderr and the
// headless backend is used), or unset: gtk when a display can be opened,
// headless otherwise.
#pragma once
#include <cstddef>

#include "platform/kernel/win_types.h"

namespace kvp {

// "headless" or "gtk".
KVP_API const char* UiBackendName();
// Objects the backend still holds for windows, menus and dialogs, once it
// has caught up with every change made so far (0 for the headless backend).
KVP_API size_t UiBackendLiveObjects();

}  // namespace kvp
