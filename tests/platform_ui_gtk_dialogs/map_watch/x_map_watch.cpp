// Prints the title of every top-level window the X server maps, one a
// line, from the moment it prints "ready" until it is stopped: a window
// shown for a fraction of a second (a wait window over a quick read) is
// seen as well, which polling the screen would miss.
//   x_map_watch
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>

namespace {

// A window may be gone again before its title is asked for.
int IgnoreErrors(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x_map_watch: no display\n");
    return 1;
  }
  XSetErrorHandler(&IgnoreErrors);
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::printf("ready\n");
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != MapNotify || event.xmap.override_redirect) continue;
    char* name = nullptr;
    if (XFetchName(display, event.xmap.window, &name) != 0 && name != nullptr) {
      std::printf("%s\n", name);
      XFree(name);
    } else {
      std::printf("(untitled)\n");
    }
  }
}
