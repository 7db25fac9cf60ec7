// What a person at the X display does, played by independent programs:
// xdotool finds a window by its title and types or clicks into it,
// ImageMagick's import takes its picture. Each script runs in a child
// process while the test's own thread sits in the dialog, as a person acts
// while the program waits.
#pragma once
#include <sys/types.h>

#include <string>

namespace gtk_dialogs_test {

// Fails the test (and answers false) when `tool` is not on PATH.
bool RequireTool(const char* tool);

// A shell script run in the background, started at construction.
class Desktop {
 public:
  explicit Desktop(const std::string& script);
  ~Desktop();  // a script still running is killed
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // The script's exit status; -1 when it did not end within `seconds` (it
  // is killed then).
  int Wait(double seconds);
  // The exit status when the script has ended, -1 while it still runs.
  int Poll();

 private:
  pid_t pid_ = -1;
};

// The script's part that waits for the visible window titled exactly
// `title` and leaves its id in $w (xdotool gives up after `seconds`).
std::string FindWindow(const std::string& title, int seconds = 10);

// Waits (up to `seconds`) until no visible window is titled `title`: a
// dialog that has answered may take a moment to leave the screen, and the
// next one of the same title must not be mistaken for it. False when one
// stays.
bool WaitGone(const std::string& title, double seconds = 5);

// Focuses $w and types the keys (xdotool key names, e.g. "Return",
// "alt+y"), a short pause first so that the window has settled; the keys
// must close the window, and are typed again while it stays.
std::string TypeKeys(const std::string& keys);

// Pixels that differ between two PNG files beyond ImageMagick's fuzz of
// 10 %; -1 when they cannot be compared (a missing file, another size).
long DifferingPixels(const std::string& reference, const std::string& picture);

}  // namespace gtk_dialogs_test
