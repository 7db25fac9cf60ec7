// Internal: the GTK 3 backend, the library libkvplatform_gtk.so that the
// platform layer loads when it tries a display (the Windows build leaves
// this folder out).
//
// GTK is single-threaded: every GTK call is made on one thread the backend
// starts, which runs GTK's main loop. The window layer's threads never call
// GTK; they hand work to that thread (RunOnGtk) and, for a menu or a
// dialog, wait for the answer. What the user does comes back as messages
// posted to the owning thread's queue, so GetMessage and PeekMessage pump
// them unchanged, and no window procedure ever runs on the GTK thread.
#pragma once
#include <gtk/gtk.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <vector>

#include "platform/ui/backend.h"

namespace kvp::detail {

// Starts the GTK thread and opens the display; null when it cannot.
Backend* StartGtkBackend();

namespace gtk {

// Runs `work` on the GTK thread, after the work handed over before it.
void RunOnGtk(std::function<void()> work);
// The same, waiting until it has run (never call it on the GTK thread).
void RunOnGtkAndWait(std::function<void()> work);
bool OnGtkThread();
// True once GTK's main loop has ended (at exit): nothing handed to the GTK
// thread runs any more.
bool GtkLoopEnded();

// Waits for what the GTK thread answers; false, without the answer, when
// the loop ended first (a thread still asking at exit must not wait for
// ever: a destructor may be joining it).
template <typename T>
bool AwaitGtk(std::future<T>& answer) {
  while (answer.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (GtkLoopEnded()) return false;
  }
  return true;
}

// Counts a GTK object made for a window, menu or dialog until it is
// finalized (the backend's live objects).
void TrackObject(GObject* object);
size_t TrackedObjects();

// On the GTK thread: shows the window's top-level as the window table
// has it now (made, moved, resized, shown, hidden, destroyed, redrawn).
void SyncWindow(HWND window);
// On the GTK thread: the GTK window showing a top-level window, or null.
GtkWidget* ToplevelOf(HWND window);
// On the GTK thread: the top-level window whose GTK window holds `widget`.
HWND HandleOf(GtkWidget* widget);
// On the GTK thread: the watch cursor over every window, or the default.
void ShowWaitCursor(bool wait);
// On the GTK thread: a pointer grab for the window's top-level, or none.
void GrabPointer(HWND capture);
// On the GTK thread: the last button press seen, to start a popup menu
// from (null when none); owned by the backend.
GdkEvent* LastButtonPress();

// A popup menu; called on a window's thread, waits for the choice.
UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items);

// Dialogs (gtk_dialogs.cpp); called on a window's thread.
int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type);
BOOL ShowChooseFont(CHOOSEFONTA* choice);
BOOL ShowPrintDlg(PRINTDLGA* choice);

}  // namespace gtk

}  // namespace kvp::detail

// The one entry of this library that the platform layer looks up, by this
// name, after loading it on first use of the user interface
// (backend_select.cpp): StartGtkBackend.
extern "C" KV_EXPORT kvp::detail::Backend* KvpStartGtkBackend();
