// Message boxes shown by GTK.
#include "platform/ui/gtk/gtk_message_box.h"

#include <string>

#include "platform/ui/gtk/gtk_backend.h"
#include "platform/ui/gtk/gtk_dialogs_convert.h"

namespace kvp::detail::gtk {

namespace {

struct Button {
  int answer;
  const char* label;  // GTK's mnemonic: the underlined letter of Windows' button
};

// The buttons of each set in order (MB_OK .. MB_RETRYCANCEL), as the
// headless boxes count them.
constexpr Button kSets[][3] = {
    {{IDOK, "_OK"}, {0, nullptr}, {0, nullptr}},
    {{IDOK, "_OK"}, {IDCANCEL, "_Cancel"}, {0, nullptr}},
    {{IDABORT, "_Abort"}, {IDRETRY, "_Retry"}, {IDIGNORE, "_Ignore"}},
    {{IDYES, "_Yes"}, {IDNO, "_No"}, {IDCANCEL, "_Cancel"}},
    {{IDYES, "_Yes"}, {IDNO, "_No"}, {0, nullptr}},
    {{IDRETRY, "_Retry"}, {IDCANCEL, "_Cancel"}, {0, nullptr}},
};
constexpr UINT kSetCount = sizeof kSets / sizeof kSets[0];

constexpr UINT kIconMask = 0xF0;
constexpr UINT kIconQuestion = 0x20;
constexpr UINT kIconInformation = 0x40;

const Button* ButtonsOf(UINT type) {
  const UINT set = type & MB_TYPEMASK;
  return kSets[set < kSetCount ? set : 0];  // an unknown set shows OK, as Windows does
}

GtkMessageType IconOf(UINT type) {
  switch (type & kIconMask) {
    case MB_ICONSTOP:
      return GTK_MESSAGE_ERROR;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case kIconQuestion:
      return GTK_MESSAGE_QUESTION;
    case kIconInformation:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

// GTK's message dialogs carry no picture of their own: the icon goes to
// the left of the text, as Windows puts it.
void AddIcon(GtkMessageDialog* dialog, UINT type) {
  const char* name = nullptr;
  switch (IconOf(type)) {
    case GTK_MESSAGE_ERROR:
      name = "dialog-error";
      break;
    case GTK_MESSAGE_WARNING:
      name = "dialog-warning";
      break;
    case GTK_MESSAGE_QUESTION:
      name = "dialog-question";
      break;
    case GTK_MESSAGE_INFO:
      name = "dialog-information";
      break;
    default:
      return;
  }
  GtkWidget* row = gtk_widget_get_parent(gtk_message_dialog_get_message_area(dialog));
  if (!GTK_IS_BOX(row)) return;
  GtkWidget* icon = gtk_image_new_from_icon_name(name, GTK_ICON_SIZE_DIALOG);
  gtk_widget_set_valign(icon, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(row), icon, FALSE, FALSE, 0);
  gtk_box_reorder_child(GTK_BOX(row), icon, 0);
  gtk_widget_show(icon);
}

int DefaultAnswer(UINT type) {
  const Button* buttons = ButtonsOf(type);
  const UINT chosen = (type & MB_DEFMASK) >> 8;
  // Windows falls back to the first button when the chosen one does not exist.
  return chosen < 3 && buttons[chosen].answer != 0 ? buttons[chosen].answer : buttons[0].answer;
}

}  // namespace

int CloseAnswer(UINT type) {
  const Button* buttons = ButtonsOf(type);
  for (int i = 0; i < 3; ++i) {
    if (buttons[i].answer == IDCANCEL) return IDCANCEL;
  }
  return buttons[1].answer == 0 ? buttons[0].answer : 0;
}

int RunMessageBox(GtkWindow* parent, const char* text, const char* caption, UINT type) {
  const std::string body = ToUtf8(text != nullptr ? text : "");
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, IconOf(type),
                                             GTK_BUTTONS_NONE, "%s", body.c_str());
  TrackObject(G_OBJECT(dialog));
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption != nullptr ? caption : "Error").c_str());
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  const Button* buttons = ButtonsOf(type);
  for (int i = 0; i < 3 && buttons[i].answer != 0; ++i)
    gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].label, buttons[i].answer);
  const int preset = DefaultAnswer(type);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), preset);
  GtkWidget* focus = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), preset);
  if (focus != nullptr) gtk_widget_grab_focus(focus);
  AddIcon(GTK_MESSAGE_DIALOG(dialog), type);
  const int closed = CloseAnswer(type);
  if (closed == 0) gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
  // Whoever destroys the box while it runs (the owner going away) clears this.
  GtkWidget* alive = dialog;
  g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
  int answer = 0;
  while (answer == 0 && alive != nullptr) {
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response > 0) {
      answer = response;
    } else if (response == GTK_RESPONSE_DELETE_EVENT && closed != 0) {
      answer = closed;
    }
    // Closing a box that offers no way out by closing leaves it up, as on
    // Windows.
  }
  if (alive != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
    gtk_widget_destroy(dialog);
  }
  // Destroyed from outside before an answer: what closing would answer.
  if (answer == 0) answer = closed != 0 ? closed : preset;
  return answer;
}

}  // namespace kvp::detail::gtk
