// On Windows the system shows the windows and menus itself; the backend is
// asked only for a message box or dialog no hook answers. A message box is
// answered as the headless one answers it (stderr and the default button):
// a box of the system would wait for a click no test or server can give.
// The font and print dialogs are the system's own.
#include "platform/ui/backend.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/win32/system_dialogs.h"

namespace kvp::detail {

namespace {

class Win32 final : public Backend {
 public:
  const char* Name() const override { return "win32"; }
  int ScreenWidth() const override { return Headless().ScreenWidth(); }
  int ScreenHeight() const override { return Headless().ScreenHeight(); }
  UINT ChooseFromMenu(HWND owner, POINT at, const std::vector<TrackedMenuItem>& items) override {
    return Headless().ChooseFromMenu(owner, at, items);
  }
  void WindowChanged(HWND) override {}
  void CursorChanged(HCURSOR) override {}
  void CaptureChanged(HWND) override {}
  int ShowMessageBox(HWND owner, const char* text, const char* caption, UINT type) override {
    return Headless().ShowMessageBox(owner, text, caption, type);
  }
  BOOL ShowChooseFont(CHOOSEFONTA* choice) override { return win32::ShowSystemChooseFont(choice); }
  BOOL ShowPrintDlg(PRINTDLGA* choice) override { return win32::ShowSystemPrintDlg(choice); }
  void Flush() override {}
  size_t LiveObjects() override { return 0; }

 private:
  static Backend& Headless() { return HeadlessBackend(); }
};

}  // namespace

Backend& CurrentBackend() {
  static auto* backend = new Win32;  // never destroyed: boxes may come at exit
  return *backend;
}

}  // namespace kvp::detail

namespace kvp {

const char* UiBackendName() {
  return detail::CurrentBackend().Name();
}

// The system holds what the windows, menus and dialogs need itself.
size_t UiBackendLiveObjects() {
  return 0;
}

}  // namespace kvp
