// The X server seen from outside the process: windows found by their
// title, their geometry, screenshots and synthesized input, through the
// independent X tools (xdotool, xwininfo, ImageMagick's import).
#pragma once
#include <cairo.h>

#include <string>
#include <vector>

namespace x_tools {

// Runs a shell command; answers its exit status and fills `output` with
// what it printed on stdout.
int Run(const std::string& command, std::string* output = nullptr);

// The id of the visible window titled exactly `title`, waiting up to
// `seconds` for it to appear; 0 when none did.
unsigned long WaitForWindow(const std::string& title, double seconds = 5);
// Whether a visible window of that title is there now.
bool WindowShown(const std::string& title);

struct Geometry {
  int x = -1;
  int y = -1;
  int width = -1;
  int height = -1;
};
// Where the window lies on the screen (xwininfo's absolute position).
Geometry GeometryOf(unsigned long window);

// The window's picture as the X server has it (null when it could not be
// taken); the caller destroys it.
cairo_surface_t* Screenshot(unsigned long window, const std::string& directory);

// The ids of the viewable top-level windows on the screen (menus among
// them).
std::vector<unsigned long> ViewableTopLevels();
// A viewable top-level window on the screen that is not in `before` (a menu
// just opened), 0 when there is none. GTK maps a small helper window off
// the screen (at -100, -100) now and then; it is not counted.
unsigned long NewWindowOnScreen(const std::vector<unsigned long>& before);

// The mapped windows that are not the root's usual ones: override-redirect
// popups (menus) among them. Answers the ids of every viewable child of the
// root.
std::string ViewableChildren();

// Mean absolute difference per channel (0..255) and the share of pixels
// differing by more than `tolerance` in any channel; the sizes must agree
// (a size mismatch gives 255 and 1).
struct Difference {
  double meanPerChannel = 255;
  double shareDiffering = 1;
};
Difference Compare(cairo_surface_t* a, cairo_surface_t* b, int tolerance = 24);

// Sends the window the close request a window manager sends for its close
// button (WM_DELETE_WINDOW); false when the server could not be reached.
bool AskToClose(unsigned long window);

// The colour at (x, y) as 0xRRGGBB.
unsigned PixelAt(cairo_surface_t* surface, int x, int y);

// A connection of the test's own that asks the server which cursor it
// shows now (XFixes); each cursor has its own serial.
class CursorWatch {
 public:
  CursorWatch();
  ~CursorWatch();
  CursorWatch(const CursorWatch&) = delete;
  CursorWatch& operator=(const CursorWatch&) = delete;
  bool Usable() const { return display_ != nullptr; }
  unsigned long Shown() const;

 private:
  void* display_ = nullptr;
};

}  // namespace x_tools
