// The headless backend: a 1024 x 768 screen nobody looks at; menu choices
// come from the queue tests and the host fill, message boxes go to stderr
// and answer their default button, the font and print dialogs are
// cancelled.
#include <cstdio>

#include "platform/ui/backend.h"
#include "platform/ui/message_box.h"

namespace kvp {

namespace {

// The buttons of each button set, in order (MB_OK .. MB_RETRYCANCEL).
constexpr int kButtons[][3] = {
    {IDOK, 0, 0},                  // MB_OK
    {IDOK, IDCANCEL, 0},           // MB_OKCANCEL
    {IDABORT, IDRETRY, IDIGNORE},  // MB_ABORTRETRYIGNORE
    {IDYES, IDNO, IDCANCEL},       // MB_YESNOCANCEL
    {IDYES, IDNO, 0},              // MB_YESNO
    {IDRETRY, IDCANCEL, 0},        // MB_RETRYCANCEL
};

class Headless final : public detail::Backend {
 public:
  const char* Name() const override { return "headless"; }
  int ScreenWidth() const override { return 1024; }
  int ScreenHeight() const override { return 768; }
  UINT ChooseFromMenu(HWND, POINT, const std::vector<TrackedMenuItem>&) override {
    UINT chosen = 0;  // nobody there: dismissed
    detail::TakeMenuChoice(&chosen);
    return chosen;
  }
  void WindowChanged(HWND) override {}
  void CursorChanged(HCURSOR) override {}
  void CaptureChanged(HWND) override {}
  int ShowMessageBox(HWND, const char* text, const char* caption, UINT type) override {
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
                 text != nullptr ? text : "");
    return detail::DefaultMessageBoxButton(type);
  }
  BOOL ShowChooseFont(CHOOSEFONTA*) override { return FALSE_; }
  BOOL ShowPrintDlg(PRINTDLGA*) override { return FALSE_; }
  void Flush() override {}
  size_t LiveObjects() override { return 0; }
};

}  // namespace

namespace detail {

Backend& HeadlessBackend() {
  static auto* backend = new Headless;  // never destroyed: windows may change at exit
  return *backend;
}

int DefaultMessageBoxButton(UINT type) {
  const UINT set = type & MB_TYPEMASK;
  if (set >= sizeof kButtons / sizeof kButtons[0]) return IDOK;
  const int* buttons = kButtons[set];
  const UINT chosen = (type & MB_DEFMASK) >> 8;  // 0 = first, 1 = second, 2 = third
  // Windows falls back to the first button when the chosen one does not exist.
  return chosen < 3 && buttons[chosen] != 0 ? buttons[chosen] : buttons[0];
}

}  // namespace detail

}  // namespace kvp
