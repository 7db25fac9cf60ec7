// The print set-up dialog shown by GTK.
#include "platform/ui/gtk/gtk_print_dialog.h"

#include <algorithm>
#include <cmath>

#include "platform/kernel/profile.h"
#include "platform/ui/gtk/gtk_backend.h"

namespace kvp::detail::gtk {

namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool IsFilePort(const std::string& port) {
  if (port.find('/') != std::string::npos) return true;
  if (port.size() < 4) return false;
  std::string tail = port.substr(port.size() - 4);
  for (char& c : tail) c = static_cast<char>(g_ascii_tolower(c));
  return tail == ".pdf";
}

// GTK names its file printer in the user's language.
const char* FilePrinterName() {
  return g_dgettext("gtk30", "Print to File");
}

std::string FileUri(const std::string& path) {
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  std::string out = uri != nullptr ? uri : "";
  g_free(uri);
  return out;
}

GtkPrintSettings* StartSettings(const StartPrinter& start) {
  GtkPrintSettings* settings = gtk_print_settings_new();
  if (start.toFile) {
    gtk_print_settings_set_printer(settings, FilePrinterName());
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, FileUri(start.file).c_str());
  } else {
    gtk_print_settings_set_printer(settings, start.queue.c_str());
  }
  return settings;
}

HDC MakeContext(GtkPrinter* printer, GtkPrintSettings* settings, GtkPageSetup* setup) {
  const bool toFile = gtk_printer_is_virtual(printer);
  const char* name = gtk_printer_get_name(printer);
  const char* uri = gtk_print_settings_get(settings, GTK_PRINT_SETTINGS_OUTPUT_URI);
  const std::string port = PortOfPrinter(toFile, name, uri);
  if (port.empty()) return nullptr;
  const DEVMODEA paper = PaperOf(setup);
  return CreateDCA(nullptr, name, port.c_str(), &paper);
}

}  // namespace

std::string PortOfPrinter(bool toFile, const char* printerName, const char* outputUri) {
  if (!toFile) return printerName != nullptr ? printerName : "";
  if (outputUri == nullptr) return "";
  gchar* path = g_filename_from_uri(outputUri, nullptr, nullptr);
  if (path == nullptr) return "";
  std::string out = path;
  g_free(path);
  return out;
}

StartPrinter DefaultPrinter() {
  char entry[512] = {};
  GetProfileStringA("windows", "device", "", entry, sizeof entry);
  std::string parts[3];
  int part = 0;
  for (const char* p = entry; *p != '\0'; ++p) {
    if (*p == ',' && part < 2) {
      ++part;
    } else {
      parts[part] += *p;
    }
  }
  const std::string port = Trimmed(parts[2]);
  StartPrinter start;
  if (port.empty()) {
    char directory[1024] = {};
    GetWindowsDirectoryA(directory, sizeof directory);
    start.file = std::string(directory) + "/kvprint.pdf";
  } else if (IsFilePort(port)) {
    start.file = port;
  } else {
    start.toFile = false;
    start.queue = port;
  }
  return start;
}

DEVMODEA PaperOf(GtkPageSetup* setup) {
  DEVMODEA mode{};
  if (setup == nullptr) return mode;
  const auto tenths = [](double mm) {
    return static_cast<short>(std::clamp(std::lround(mm * 10.0), 0L, 32767L));
  };
  mode.dmFields = DM_PAPERWIDTH | DM_PAPERLENGTH;
  mode.dmPaperWidth = tenths(gtk_page_setup_get_paper_width(setup, GTK_UNIT_MM));
  mode.dmPaperLength = tenths(gtk_page_setup_get_paper_height(setup, GTK_UNIT_MM));
  return mode;
}

DialogOutcome RunPrintDialog(GtkWindow* parent, PRINTDLGA* choice) {
  // Every dialog starts on the default printer, as on Windows when the
  // caller passes no device records.
  const StartPrinter start = DefaultPrinter();
  if (choice->Flags & PD_RETURNDEFAULT) {
    if (!(choice->Flags & PD_RETURNDC)) return DialogOutcome::kChosen;
    const std::string port = start.toFile ? start.file : start.queue;
    choice->hDC = CreateDCA(nullptr, nullptr, port.c_str(), nullptr);
    return choice->hDC != nullptr ? DialogOutcome::kChosen : DialogOutcome::kFailed;
  }
  GtkWidget* dialog = gtk_print_unix_dialog_new("Print Setup", parent);
  TrackObject(G_OBJECT(dialog));
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  GtkPrintUnixDialog* print = GTK_PRINT_UNIX_DIALOG(dialog);
  // The printer context writes PDF: the file printer offers that alone.
  gtk_print_unix_dialog_set_manual_capabilities(
      print, static_cast<GtkPrintCapabilities>(GTK_PRINT_CAPABILITY_GENERATE_PDF |
                                               GTK_PRINT_CAPABILITY_COPIES));
  gtk_print_unix_dialog_set_embed_page_setup(print, TRUE);
  GtkPrintSettings* settings = StartSettings(start);
  gtk_print_unix_dialog_set_settings(print, settings);
  g_object_unref(settings);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  GtkWidget* alive = dialog;
  g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
  const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  DialogOutcome outcome = DialogOutcome::kCancelled;
  if (alive != nullptr && response == GTK_RESPONSE_OK) {
    GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(print);
    GtkPrintSettings* picked = gtk_print_unix_dialog_get_settings(print);
    GtkPageSetup* setup = gtk_print_unix_dialog_get_page_setup(print);
    HDC dc = nullptr;
    if (printer != nullptr && picked != nullptr) dc = MakeContext(printer, picked, setup);
    const int copies = picked != nullptr ? gtk_print_settings_get_n_copies(picked) : 1;
    if (picked != nullptr) g_object_unref(picked);
    if (dc == nullptr) {
      outcome = DialogOutcome::kFailed;
    } else {
      choice->nCopies = static_cast<WORD>(std::clamp(copies, 1, 9999));
      if (choice->Flags & PD_RETURNDC) {
        choice->hDC = dc;
      } else {
        DeleteDC(dc);
      }
      outcome = DialogOutcome::kChosen;
    }
  }
  if (alive != nullptr) {
    g_object_remove_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer*>(&alive));
    gtk_widget_destroy(dialog);
  }
  return outcome;
}

}  // namespace kvp::detail::gtk
