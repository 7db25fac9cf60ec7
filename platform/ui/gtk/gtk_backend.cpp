// The GTK backend: what the window layer tells it goes to the GTK thread;
// menus and dialogs wait for the user's answer there.
#include "platform/ui/gtk/gtk_backend.h"

#include <future>

#include "platform/ui/window.h"

namespace kvp::detail {

namespace gtk {
bool StartGtkThread();
}  // namespace gtk

namespace {

class GtkBackend final : public Backend {
 public:
  GtkBackend(int width, int height) : width_(width), height_(height) {}
  const char* Name() const override { return "gtk"; }
  int ScreenWidth() const override { return width_; }
  int ScreenHeight() const override { return height_; }
  UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) override {
    return gtk::ChooseFromMenu(owner, at, items);
  }
  void WindowChanged(HWND window) override {
    gtk::RunOnGtk([window] { gtk::SyncWindow(window); });
  }
  void CursorChanged(HCURSOR cursor) override {
    const bool wait = cursor != nullptr && cursor == LoadCursorA(nullptr, IDC_WAIT);
    gtk::RunOnGtk([wait] { gtk::ShowWaitCursor(wait); });
  }
  void CaptureChanged(HWND capture) override {
    gtk::RunOnGtk([capture] { gtk::GrabPointer(capture); });
  }
  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    return gtk::ShowMessageBox(owner, text, caption, type);
  }
  BOOL ShowChooseFont(CHOOSEFONTA* choice) override { return gtk::ShowChooseFont(choice); }
  BOOL ShowPrintDlg(PRINTDLGA* choice) override { return gtk::ShowPrintDlg(choice); }
  void Flush() override {
    if (gtk::OnGtkThread()) return;
    // Redraws run at a priority above G_PRIORITY_LOW: once this idle runs,
    // what was queued before it is drawn, and the sync gets it to the server.
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    gtk::RunOnGtk([&done] {
      g_idle_add_full(
          G_PRIORITY_LOW,
          [](gpointer data) -> gboolean {
            gdk_display_sync(gdk_display_get_default());
            static_cast<std::promise<void>*>(data)->set_value();
            return G_SOURCE_REMOVE;
          },
          &done, nullptr);
    });
    gtk::AwaitGtk(finished);
  }
  size_t LiveObjects() override { return gtk::TrackedObjects(); }

 private:
  int width_;
  int height_;
};

}  // namespace

Backend* StartGtkBackend() {
  if (!gtk::StartGtkThread()) return nullptr;
  GdkRectangle screen{0, 0, 1024, 768};
  gtk::RunOnGtkAndWait([&screen] {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display != nullptr ? gdk_display_get_primary_monitor(display) : nullptr;
    if (monitor == nullptr && display != nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &screen);
  });
  static auto* backend = new GtkBackend(screen.width, screen.height);  // lives with the process
  return backend;
}

}  // namespace kvp::detail

kvp::detail::Backend* KvpStartGtkBackend() {
  return kvp::detail::StartGtkBackend();
}
