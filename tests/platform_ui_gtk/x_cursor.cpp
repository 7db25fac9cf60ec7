// The cursor the X server shows, through XFixes (kept apart: Xlib's macros
// do not mix with the test framework's headers).
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

#include "x_tools.h"

namespace x_tools {

CursorWatch::CursorWatch() {
  Display* display = XOpenDisplay(nullptr);
  int event = 0;
  int error = 0;
  if (display != nullptr && !XFixesQueryExtension(display, &event, &error)) {
    XCloseDisplay(display);
    display = nullptr;
  }
  display_ = display;
}

CursorWatch::~CursorWatch() {
  if (display_ != nullptr) XCloseDisplay(static_cast<Display*>(display_));
}

unsigned long CursorWatch::Shown() const {
  if (display_ == nullptr) return 0;
  XFixesCursorImage* image = XFixesGetCursorImage(static_cast<Display*>(display_));
  if (image == nullptr) return 0;
  const unsigned long serial = image->cursor_serial;
  XFree(image);
  return serial;
}

}  // namespace x_tools
