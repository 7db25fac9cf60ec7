// Top-level windows shown as GTK windows: geometry, painting from the
// window's off-screen picture, and the user's input posted back.
#include <cairo.h>
#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <string>
#include <unordered_map>

#include "platform/ui/gtk/gtk_backend.h"
#include "platform/ui/input.h"
#include "platform/ui/messages.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp::detail::gtk {

namespace {

struct Shown {
  GtkWidget* window = nullptr;  // the GtkWindow
  GtkWidget* area = nullptr;    // its client area, a GtkDrawingArea
  RECT placed{};                // the geometry last asked of GTK (x, y, width, height)
  std::string title;
  // When the size last asked of GTK was asked (monotonic µs), until a
  // configure event brings that size: events with other sizes that come
  // meanwhile were sent before the request and are not the user's.
  gint64 resizeAsked = 0;
};

// How long a size asked of GTK may take to come back before a configure
// event of another size counts as the user's (a window manager may refuse
// or adjust the size asked).
constexpr gint64 kResizeAnswerMicroseconds = 2000000;

// Only the GTK thread touches these.
std::unordered_map<HWND, Shown>& ShownWindows() {
  static auto* shown = new std::unordered_map<HWND, Shown>;
  return *shown;
}
bool waitCursor = false;
GdkEvent* lastPress = nullptr;
HWND grabbed = nullptr;

HWND HandleFromData(GtkWidget* widget) {
  return static_cast<HWND>(g_object_get_data(G_OBJECT(widget), "kv-hwnd"));
}

gboolean Draw(GtkWidget* widget, cairo_t* cr, gpointer) {
  cairo_surface_t* picture = ComposeWindowPicture(HandleFromData(widget));
  if (picture == nullptr) return FALSE;
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_paint(cr);
  cairo_surface_destroy(picture);
  return TRUE;
}

UINT ButtonMessage(guint button, bool down) {
  if (button == GDK_BUTTON_PRIMARY) return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
  if (button == GDK_BUTTON_SECONDARY) return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  return 0;
}

gboolean Button(GtkWidget* widget, GdkEventButton* event, gpointer) {
  if (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE) return TRUE;
  const bool down = event->type == GDK_BUTTON_PRESS;
  const UINT message = ButtonMessage(event->button, down);
  if (message == 0) return TRUE;
  if (down) {
    if (lastPress != nullptr) gdk_event_free(lastPress);
    lastPress = gdk_event_copy(reinterpret_cast<GdkEvent*>(event));
  }
  InjectMouse(HandleFromData(widget), message, static_cast<int>(event->x),
              static_cast<int>(event->y));
  return TRUE;
}

gboolean Motion(GtkWidget* widget, GdkEventMotion* event, gpointer) {
  InjectMouse(HandleFromData(widget), WM_MOUSEMOVE, static_cast<int>(event->x),
              static_cast<int>(event->y));
  return TRUE;
}

// The virtual key of a GDK key, 0 for keys the window layer does not know.
UINT VirtualKey(guint keyval) {
  const guint upper = gdk_keyval_to_upper(keyval);
  if ((upper >= GDK_KEY_A && upper <= GDK_KEY_Z) || (upper >= GDK_KEY_0 && upper <= GDK_KEY_9)) {
    return upper;  // the same codes as the virtual keys
  }
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
      return VK_RETURN;
    case GDK_KEY_Escape:
      return VK_ESCAPE;
    case GDK_KEY_space:
      return VK_SPACE;
    default:
      return 0;
  }
}

gboolean Key(GtkWidget* widget, GdkEventKey* event, gpointer) {
  const UINT key = VirtualKey(event->keyval);
  if (key == 0) return FALSE;
  HWND window = HandleFromData(widget);
  // Keys go to the window with the focus when it lies in this one.
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    if (Ui().focus != nullptr && IsDescendant(window, Ui().focus)) window = Ui().focus;
  }
  InjectKey(window, key, event->type == GDK_KEY_PRESS);
  return TRUE;
}

gboolean Delete(GtkWidget* widget, GdkEvent*, gpointer) {
  // The window decides: DefWindowProc destroys it, a program may refuse.
  PostMessageA(HandleFromData(widget), WM_CLOSE, 0, 0);
  return TRUE;
}

// The user (or the window manager) resized the window: the window layer
// takes the new client size and repaints, as after SetWindowPos.
gboolean Configure(GtkWidget* widget, GdkEventConfigure* event, gpointer) {
  HWND handle = HandleFromData(widget);
  auto found = ShownWindows().find(handle);
  if (found == ShownWindows().end()) return FALSE;
  const RECT& placed = found->second.placed;
  if (event->width == placed.right && event->height == placed.bottom) {
    found->second.resizeAsked = 0;
    return FALSE;
  }
  if (found->second.resizeAsked != 0 &&
      g_get_monotonic_time() - found->second.resizeAsked < kResizeAnswerMicroseconds) {
    return FALSE;  // from before the program's own resize
  }
  found->second.resizeAsked = 0;
  SIZE client{};
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto window = FindWindowLocked(handle);
    if (!window) return FALSE;
    const SIZE now = ClientSize(*window);
    if (now.cx == event->width && now.cy == event->height) return FALSE;
    window->rect.right += event->width - now.cx;
    window->rect.bottom += event->height - now.cy;
    client = ClientSize(*window);
  }
  found->second.placed.right = event->width;
  found->second.placed.bottom = event->height;
  PostMessageA(handle, WM_SIZE, 0,
               MAKELPARAM(static_cast<WORD>(client.cx), static_cast<WORD>(client.cy)));
  InvalidateRect(handle, nullptr, TRUE_);
  return FALSE;
}

// The X window went without the window layer asking (another client
// destroyed it): the GTK window goes, and the window is closed as a user
// would close it.
void Destroyed(GtkWidget* widget, gpointer) {
  HWND handle = HandleFromData(widget);
  auto found = ShownWindows().find(handle);
  if (found == ShownWindows().end() || found->second.window != widget) return;
  ShownWindows().erase(found);
  if (grabbed == handle) grabbed = nullptr;
  if (lastPress != nullptr) {
    gdk_event_free(lastPress);
    lastPress = nullptr;
  }
  PostMessageA(handle, WM_CLOSE, 0, 0);
}

void ApplyCursor(GtkWidget* window) {
  GdkWindow* shown = gtk_widget_get_window(window);
  if (shown == nullptr) return;
  GdkCursor* cursor = nullptr;
  if (waitCursor) {
    // The theme's "wait" cursor, or the X server's own watch without a theme.
    GdkDisplay* display = gtk_widget_get_display(window);
    cursor = gdk_cursor_new_from_name(display, "wait");
    if (cursor == nullptr) cursor = gdk_cursor_new_for_display(display, GDK_WATCH);
  }
  gdk_window_set_cursor(shown, cursor);
  if (cursor != nullptr) g_object_unref(cursor);
}

void Realized(GtkWidget* widget, gpointer) {
  ApplyCursor(widget);
}

Shown Make(HWND handle) {
  Shown made;
  made.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  TrackObject(G_OBJECT(made.window));
  made.area = gtk_drawing_area_new();
  gtk_widget_set_size_request(made.area, 1, 1);
  gtk_container_add(GTK_CONTAINER(made.window), made.area);
  g_object_set_data(G_OBJECT(made.window), "kv-hwnd", handle);
  g_object_set_data(G_OBJECT(made.area), "kv-hwnd", handle);
  gtk_widget_add_events(made.area,
                        GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  g_signal_connect(made.area, "draw", G_CALLBACK(Draw), nullptr);
  g_signal_connect(made.area, "button-press-event", G_CALLBACK(Button), nullptr);
  g_signal_connect(made.area, "button-release-event", G_CALLBACK(Button), nullptr);
  g_signal_connect(made.area, "motion-notify-event", G_CALLBACK(Motion), nullptr);
  g_signal_connect(made.window, "key-press-event", G_CALLBACK(Key), nullptr);
  g_signal_connect(made.window, "key-release-event", G_CALLBACK(Key), nullptr);
  g_signal_connect(made.window, "delete-event", G_CALLBACK(Delete), nullptr);
  g_signal_connect(made.window, "configure-event", G_CALLBACK(Configure), nullptr);
  g_signal_connect(made.window, "realize", G_CALLBACK(Realized), nullptr);
  g_signal_connect(made.window, "destroy", G_CALLBACK(Destroyed), nullptr);
  gtk_window_set_resizable(GTK_WINDOW(made.window), TRUE);
  return made;
}

void Forget(HWND handle) {
  auto found = ShownWindows().find(handle);
  if (found == ShownWindows().end()) return;
  if (grabbed == handle) GrabPointer(nullptr);
  GtkWidget* window = found->second.window;
  ShownWindows().erase(found);
  // The last press may name the window that goes: a menu opened later
  // starts from an event of its own instead.
  if (lastPress != nullptr) {
    gdk_event_free(lastPress);
    lastPress = nullptr;
  }
  gtk_widget_destroy(window);
}

}  // namespace

GtkWidget* ToplevelOf(HWND window) {
  auto found = ShownWindows().find(window);
  return found != ShownWindows().end() ? found->second.window : nullptr;
}

HWND HandleOf(GtkWidget* widget) {
  GtkWidget* top = widget != nullptr ? gtk_widget_get_toplevel(widget) : nullptr;
  return top != nullptr ? HandleFromData(top) : nullptr;
}

GdkEvent* LastButtonPress() {
  return lastPress;
}

void SyncWindow(HWND handle) {
  bool alive = false;
  bool visible = false;
  bool caption = false;
  HWND top = handle;
  POINT origin{};
  SIZE client{};
  std::string title;
  HWND owner = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto window = FindWindowLocked(handle);
    // A child is drawn by its top-level's GTK window.
    for (int depth = 0; window && window->parent != nullptr && depth < 1000; ++depth) {
      window = FindWindowLocked(window->parent);
    }
    if (window) {
      alive = true;
      top = window->handle;
      visible = window->visible && !window->destroying;
      caption = (window->style & WS_CAPTION) == WS_CAPTION;
      origin = ClientOrigin(*window);
      client = ClientSize(*window);
      title = window->title;
      owner = window->owner;
    }
  }
  if (!alive) {
    // A top-level that is gone takes its GTK window along; a child that is
    // gone leaves a hole that its top-level (unknown now) must redraw.
    if (ShownWindows().count(handle) != 0) {
      Forget(handle);
    } else {
      for (auto& [each, shown] : ShownWindows()) gtk_widget_queue_draw(shown.area);
    }
    return;
  }
  if (!visible) {
    // A hidden window gives its GTK window up; showing it again makes a new one.
    Forget(top);
    return;
  }
  auto found = ShownWindows().find(top);
  const bool made = found == ShownWindows().end();
  if (made) found = ShownWindows().emplace(top, Make(top)).first;
  Shown& shown = found->second;
  GtkWindow* window = GTK_WINDOW(shown.window);
  // The GTK window is the client area, at the client area's place on the
  // screen (static gravity: a window manager puts its frame around it), so
  // that screen coordinates are the same for the window layer and X.
  const RECT placed{origin.x, origin.y, std::max<LONG>(client.cx, 1), std::max<LONG>(client.cy, 1)};
  if (made || shown.title != title) {
    gtk_window_set_title(window, title.c_str());
    shown.title = title;
  }
  if (made) {
    gtk_window_set_gravity(window, GDK_GRAVITY_STATIC);
    gtk_window_set_decorated(window, caption ? TRUE : FALSE);
    gtk_window_set_default_size(window, placed.right, placed.bottom);
  }
  if (made || placed.left != shown.placed.left || placed.top != shown.placed.top) {
    gtk_window_move(window, placed.left, placed.top);
  }
  if (made || placed.right != shown.placed.right || placed.bottom != shown.placed.bottom) {
    gtk_window_resize(window, placed.right, placed.bottom);
    shown.resizeAsked = g_get_monotonic_time();
  }
  shown.placed = placed;
  if (made) {
    // An owned window stays above its owner (for a window manager).
    if (GtkWidget* above = owner != nullptr ? ToplevelOf(owner) : nullptr) {
      gtk_window_set_transient_for(window, GTK_WINDOW(above));
    }
    gtk_widget_show_all(shown.window);
  }
  gtk_widget_queue_draw(shown.area);
}

void ShowWaitCursor(bool wait) {
  waitCursor = wait;
  for (auto& [handle, shown] : ShownWindows()) ApplyCursor(shown.window);
}

void GrabPointer(HWND capture) {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
  if (seat == nullptr) return;
  if (grabbed != nullptr) {
    gdk_seat_ungrab(seat);
    grabbed = nullptr;
  }
  if (capture == nullptr) return;
  HWND top = capture;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto window = FindWindowLocked(capture);
    for (int depth = 0; window && window->parent != nullptr && depth < 1000; ++depth) {
      window = FindWindowLocked(window->parent);
    }
    if (!window) return;
    top = window->handle;
  }
  auto found = ShownWindows().find(top);
  if (found == ShownWindows().end()) return;
  GdkWindow* shown = gtk_widget_get_window(found->second.area);
  if (shown == nullptr) return;
  // Owner events: presses over the window itself arrive as usual; the rest
  // come to it too, in its coordinates, and the window layer routes them to
  // the capturing window.
  if (gdk_seat_grab(seat, shown, GDK_SEAT_CAPABILITY_ALL_POINTING, TRUE, nullptr, nullptr, nullptr,
                    nullptr) == GDK_GRAB_SUCCESS) {
    grabbed = top;
  }
}

}  // namespace kvp::detail::gtk
