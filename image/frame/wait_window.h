// The wait window a read shows while it decodes: the source's name as its
// caption, a bar with the percentage, and "&Cancel". One at a time.
#pragma once

#include "platform/ui/window_types.h"

namespace kvimg {

// Creates the (hidden) window when "KVIMG.INI" lets it be shown; false
// when it is not wanted or cannot be made. While it is up it receives the
// read's progress and goes away before any message box.
bool CreateWaitWindow(kvp::HWND owner);

// Caption: the name after its last '\' (or '/', the separator here), else
// after its last ':', else whole.
void SetWaitWindowName(const char* name);

// Destroys the window (its position is saved in "KVIMG.INI").
void DestroyWaitWindow();

// The window and its button, null when none is up (tests inject input).
kvp::HWND WaitWindowHandle();
kvp::HWND WaitCancelButton();

// Called when the window is first shown, before the messages waiting then
// are dispatched (tests inject input there).
using WaitWindowObserver = void (*)(kvp::HWND window, kvp::HWND button);
void SetWaitWindowObserver(WaitWindowObserver observer);

// Paints the bar at a percentage (also what each new percentage does).
void PaintWaitBar(unsigned percent);

}  // namespace kvimg
