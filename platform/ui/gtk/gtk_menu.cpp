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

void Popup(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items, Tracking* tracking) {
  GtkWidget* menu = gtk_menu_new();
  TrackObject(G_OBJECT(menu));
  tracking->menu = menu;
  Fill(menu, items, 0, 0, tracking);
  gtk_widget_show_all(menu);
  g_signal_connect(menu, "deactivate", G_CALLBACK(Deactivated), tracking);
  GtkWidget* top = ToplevelOf(owner);
  GdkWindow* shown = top != nullptr ? gtk_widget_get_window(top) : nullptr;
  if (shown == nullptr) {
    // Nothing of the owner on the screen: the menu is not shown.
    Finish(tracking);
    return;
  }
  gtk_menu_attach_to_widget(GTK_MENU(menu), top, nullptr);
  gint originX = 0;
  gint originY = 0;
  gdk_window_get_origin(shown, &originX, &originY);
  const GdkRectangle rect{at.x - originX, at.y - originY, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(menu), shown, &rect, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, LastButtonPress());
  if (!gtk_widget_get_visible(menu)) Finish(tracking);  // the grab failed
}

}  // namespace

UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) {
  if (OnGtkThread()) return 0;  // no window code runs there
  auto tracking = std::make_shared<Tracking>();
  std::future<UINT> answer = tracking->answer.get_future();
  RunOnGtk([owner, at, items, tracking] { Popup(owner, at, items, tracking.get()); });
  const UINT chosen = answer.get();
  // The menu is gone; the tracking record may go once GTK no longer names it.
  RunOnGtkAndWait([tracking] {});
  return chosen;
}

}  // namespace kvp::detail::gtk
