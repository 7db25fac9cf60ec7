// The wait window's settings in "KVIMG.INI" (Windows directory).
#pragma once

namespace kvimg {

// Applies the "AFF" rule of section "Options": "OUI" (any case) shows the
// window; a missing key is written "NON" and shows it this once; any other
// value is rewritten "NON" and hides it.
bool WaitWindowWanted();

struct WaitPosition {
  int x;
  int y;
};

// "X" and "Y" of section "Position"; by default the window is centred on a
// screen of the given size.
WaitPosition ReadWaitPosition(int screenWidth, int screenHeight);
void SaveWaitPosition(WaitPosition position);

}  // namespace kvimg
