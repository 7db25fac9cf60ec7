// Internal: what the injected input of both targets shares (input.h): the
// mouse messages a device posts, and the key state that comes with them.
#pragma once
#include "platform/ui/window_types.h"

namespace kvp::detail {

// WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP or
// WM_MOUSEMOVE; any other sets ERROR_INVALID_PARAMETER and is refused.
bool MouseMessageAccepted(UINT message);
// The button held while the message is posted (MK_LBUTTON, MK_RBUTTON).
WPARAM MouseKeys(UINT message);
// The lParam of a key's WM_KEYDOWN or WM_KEYUP: one repeat, and for a
// release the previous state and transition bits.
LPARAM KeyFlags(bool down);

}  // namespace kvp::detail
