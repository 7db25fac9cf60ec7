// The font dialog shown by GTK.
#include "platform/ui/gtk/gtk_dialogs_font.h"

#include "platform/ui/gtk/gtk_backend.h"
#include "platform/ui/gtk/gtk_dialogs_convert.h"

namespace kvp::detail::gtk {

namespace {

// The effects row: what the Windows dialog offers beside the font.
struct Effects {
  GtkWidget* colour = nullptr;
  GtkWidget* underline = nullptr;
  GtkWidget* strikeOut = nullptr;
};

Effects AddEffects(GtkDialog* dialog, const CHOOSEFONTA& choice) {
  Effects effects;
  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 6);
  GtkWidget* label = gtk_label_new_with_mnemonic("C_olour:");
  const GdkRGBA start = ToRgba(choice.rgbColors);
  effects.colour = gtk_color_button_new_with_rgba(&start);
  gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(effects.colour), FALSE);
  gtk_widget_set_name(effects.colour, "font-colour");
  gtk_label_set_mnemonic_widget(GTK_LABEL(label), effects.colour);
  effects.underline = gtk_check_button_new_with_mnemonic("_Underline");
  effects.strikeOut = gtk_check_button_new_with_mnemonic("Stri_keout");
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(effects.underline),
                               choice.lpLogFont->lfUnderline != 0);
  gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(effects.strikeOut),
                               choice.lpLogFont->lfStrikeOut != 0);
  gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), effects.colour, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), effects.underline, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), effects.strikeOut, FALSE, FALSE, 0);
  gtk_box_pack_end(GTK_BOX(gtk_dialog_get_content_area(dialog)), row, FALSE, FALSE, 0);
  gtk_widget_show_all(row);
  return effects;
}

}  // namespace

BOOL RunFontDialog(GtkWindow* parent, CHOOSEFONTA* choice) {
  GtkWidget* dialog = gtk_font_chooser_dialog_new("Font", parent);
  TrackObject(G_OBJECT(dialog));
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  if (choice->Flags & CF_INITTOLOGFONTSTRUCT) {
    PangoFontDescription* start = DescribeLogFont(*choice->lpLogFont);
    gtk_font_chooser_set_font_desc(GTK_FONT_CHOOSER(dialog), start);
    pango_font_description_free(start);
  }
  const bool withEffects = (choice->Flags & CF_EFFECTS) != 0;
  Effects effects;
  if (withEffects) effects = AddEffects(GTK_DIALOG(dialog), *choice);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  GtkWidget* alive = dialog;
  g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  BOOL chosen = FALSE_;
  if (alive != nullptr && response == GTK_RESPONSE_OK) {
    PangoFontDescription* picked = gtk_font_chooser_get_font_desc(GTK_FONT_CHOOSER(dialog));
    if (picked != nullptr) {
      choice->iPointSize = FillLogFont(picked, choice->lpLogFont);
      pango_font_description_free(picked);
      if (withEffects) {
        GdkRGBA colour;
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(effects.colour), &colour);
        choice->rgbColors = FromRgba(colour);
        choice->lpLogFont->lfUnderline =
            gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(effects.underline)) ? 1 : 0;
        choice->lpLogFont->lfStrikeOut =
            gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(effects.strikeOut)) ? 1 : 0;
      }
      chosen = TRUE_;
    }
  }
  if (alive != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
    gtk_widget_destroy(dialog);
  }
  return chosen;
}

}  // namespace kvp::detail::gtk
