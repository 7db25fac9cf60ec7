// Popup menus as GTK menus: check marks and greyed items as the menu has
// them, the chosen command handed back to the window's thread.
#include <future>
#include <memory>
#include <string>

#include "platform/ui/gtk/gtk_backend.h"

namespace kvp::detail::gtk {

namespace {

struct Tracking {
  std::promise<UINT> answer;
  UINT chosen = 0;
  GtkWidget* menu = nullptr;
  bool finished = false;
};

// "&Print..." becomes "_Print..." (GTK's mnemonic), "&&" a plain "&", and
// a '_' of the text stays one.
std::string Mnemonic(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&' && i + 1 < text.size() && text[i + 1] == '&') {
      out += '&';
      ++i;
    } else if (c == '&') {
      out += '_';
    } else if (c == '_') {
      out += "__";
    } else if (c == '\t') {
      break;  // the accelerator text after a tab is not shown
    } else {
      out += c;
    }
  }
  return out;
}

void Activated(GtkMenuItem* item, gpointer data) {
  auto* tracking = static_cast<Tracking*>(data);
  tracking->chosen = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "kv-command"));
}

gboolean Finish(gpointer data) {
  auto* tracking = static_cast<Tracking*>(data);
  if (tracking->finished) return G_SOURCE_REMOVE;
  tracking->finished = true;
  g_signal_handlers_disconnect_by_data(tracking->menu, tracking);
  gtk_widget_destroy(tracking->menu);
  tracking->answer.set_value(tracking->chosen);
  return G_SOURCE_REMOVE;
}

void Deactivated(GtkMenuShell*, gpointer data) {
  // GTK deactivates the menu before it activates the chosen item: the
  // answer waits until that has run.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, Finish, data, nullptr);
}

// Fills `menu` with items[at ..] of depth `depth`; answers the index after.
size_t Fill(GtkWidget* menu, const std::vector<TrackedMenuItem>& items, size_t at, int depth,
            Tracking* tracking) {
  while (at < items.size() && items[at].depth >= depth) {
    const TrackedMenuItem& item = items[at];
    if (item.depth > depth) {  // a submenu without its item: skipped
      ++at;
      continue;
    }
    GtkWidget* entry = nullptr;
    const std::string label = Mnemonic(item.text);
    if ((item.flags & MF_SEPARATOR) != 0) {
      entry = gtk_separator_menu_item_new();
    } else if ((item.flags & MF_CHECKED) != 0) {
      entry = gtk_check_menu_item_new_with_mnemonic(label.c_str());
      gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(entry), TRUE);
    } else {
      entry = gtk_menu_item_new_with_mnemonic(label.c_str());
    }
    if ((item.flags & (MF_GRAYED | MF_DISABLED)) != 0) gtk_widget_set_sensitive(entry, FALSE);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), entry);
    ++at;
    if ((item.flags & MF_POPUP) != 0) {
      GtkWidget* submenu = gtk_menu_new();
      at = Fill(submenu, items, at, depth + 1, tracking);
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(entry), submenu);
    } else if ((item.flags & MF_SEPARATOR) == 0) {
      g_object_set_data(G_OBJECT(entry), "kv-command", GUINT_TO_POINTER(item.id));
      // A check item's "activate" comes after it toggled; the command is
      // what counts, the window's code sets the new check state itself.
      g_signal_connect(entry, "activate", G_CALLBACK(Activated), tracking);
    }
  }
  return at;
}

// A press to start the menu's grab from: the last real one, or else one
// made now (GTK takes the device and the time from it).
GdkEvent* TriggerEvent(GdkWindow* root) {
  if (GdkEvent* last = LastButtonPress()) return gdk_event_copy(last);
  GdkEvent* made = gdk_event_new(GDK_BUTTON_PRESS);
  made->button.window = GDK_WINDOW(g_object_ref(root));
  made->button.send_event = TRUE;
  made->button.time = GDK_CURRENT_TIME;
  made->button.button = GDK_BUTTON_SECONDARY;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(root));
  gdk_event_set_device(made, gdk_seat_get_pointer(seat));
  return made;
}

GtkWidget* EntryOf(GtkWidget* menu, UINT command) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
  GtkWidget* found = nullptr;
  for (GList* at = children; at != nullptr && found == nullptr; at = at->next) {
    auto* entry = static_cast<GtkWidget*>(at->data);
    if (GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(entry), "kv-command")) == command) {
      found = entry;
    } else if (GtkWidget* submenu = gtk_menu_item_get_submenu(GTK_MENU_ITEM(entry))) {
      found = EntryOf(submenu, command);
    }
  }
  g_list_free(children);
  return found;
}

struct Queued {
  Tracking* tracking;
  UINT command;
};

// A choice queued by a test or the host: made in the menu on the screen,
// as a click on the item would (a greyed item cannot be activated).
gboolean ChooseQueued(gpointer data) {
  auto* queued = static_cast<Queued*>(data);
  Tracking* tracking = queued->tracking;
  if (!tracking->finished) {
    GtkWidget* entry = queued->command != 0 ? EntryOf(tracking->menu, queued->command) : nullptr;
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(tracking->menu));
    if (entry != nullptr && gtk_widget_is_sensitive(entry)) gtk_widget_activate(entry);
  }
  delete queued;
  return G_SOURCE_REMOVE;
}

void Popup(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items, bool hasQueued,
           UINT queued, Tracking* tracking) {
  GtkWidget* menu = gtk_menu_new();
  TrackObject(G_OBJECT(menu));
  tracking->menu = menu;
  Fill(menu, items, 0, 0, tracking);
  gtk_widget_show_all(menu);
  g_signal_connect(menu, "deactivate", G_CALLBACK(Deactivated), tracking);
  if (GtkWidget* top = ToplevelOf(owner)) gtk_menu_attach_to_widget(GTK_MENU(menu), top, nullptr);
  // The point is in screen coordinates: the menu is placed on the root
  // window, so that an owner not on the screen still gets its menu.
  GdkWindow* root = gdk_get_default_root_window();
  const GdkRectangle rect{at.x, at.y, 1, 1};
  GdkEvent* trigger = TriggerEvent(root);
  gtk_menu_popup_at_rect(GTK_MENU(menu), root, &rect, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, trigger);
  gdk_event_free(trigger);
  if (!gtk_widget_get_visible(menu)) {
    // No grab (another client holds the pointer): a queued choice is still
    // made, as the headless screen makes it.
    if (hasQueued) tracking->chosen = queued;
    Finish(tracking);
    return;
  }
  if (hasQueued) {
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, ChooseQueued, new Queued{tracking, queued}, nullptr);
  }
}

}  // namespace

UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) {
  if (OnGtkThread()) return 0;  // no window code runs there
  // Choices queued for the headless screen are made in the real menu.
  const bool hasQueued = PendingMenuChoices() > 0;
  const UINT queued = hasQueued ? HeadlessBackend().ChooseFromMenu(owner, at, items) : 0;
  auto tracking = std::make_shared<Tracking>();
  std::future<UINT> answer = tracking->answer.get_future();
  RunOnGtk([owner, at, items, hasQueued, queued, tracking] {
    Popup(owner, at, items, hasQueued, queued, tracking.get());
  });
  if (!AwaitGtk(answer)) return 0;  // the process is ending
  const UINT chosen = answer.get();
  // The menu is gone; the tracking record may go once GTK no longer names it.
  RunOnGtkAndWait([tracking] {});
  return chosen;
}

}  // namespace kvp::detail::gtk
