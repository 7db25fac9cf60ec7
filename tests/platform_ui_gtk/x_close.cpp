// A close request as a window manager sends it when the user clicks a
// window's close button: the WM_DELETE_WINDOW client message (kept apart:
// Xlib's macros do not mix with the test framework's headers).
#include <X11/Xlib.h>

#include "x_tools.h"

namespace x_tools {

bool AskToClose(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent != 0;
}

}  // namespace x_tools
