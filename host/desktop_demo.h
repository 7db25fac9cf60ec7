// The demo on a desktop (kvhost demo --ui gtk): the charts in real windows
// that the user changes through their popup menus, printing and choosing
// fonts in the real dialogs, then an image read under its wait window.
#pragma once

namespace kvhost {

// Answers 0 when everything went as it should. Returns once the user has
// closed the demo's window (or pressed Escape in it).
int RunDesktopDemo();

}  // namespace kvhost
