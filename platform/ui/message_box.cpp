// Headless message boxes: a hook the host may set, or stderr and the
// default button.
#include "platform/ui/message_box.h"

#include <cstdio>
#include <mutex>

namespace kvp {

namespace {

struct HookState {
  std::mutex mutex;
  MessageBoxHook hook = nullptr;
  void* context = nullptr;
};

HookState& State() {
  static HookState* state = new HookState;  // never destroyed: boxes may come at exit
  return *state;
}

// The buttons of each button set, in order (MB_OK .. MB_RETRYCANCEL).
constexpr int kButtons[][3] = {
    {IDOK, 0, 0},                  // MB_OK
    {IDOK, IDCANCEL, 0},           // MB_OKCANCEL
    {IDABORT, IDRETRY, IDIGNORE},  // MB_ABORTRETRYIGNORE
    {IDYES, IDNO, IDCANCEL},       // MB_YESNOCANCEL
    {IDYES, IDNO, 0},              // MB_YESNO
    {IDRETRY, IDCANCEL, 0},        // MB_RETRYCANCEL
};

int DefaultButton(UINT type) {
  const UINT set = type & MB_TYPEMASK;
  if (set >= sizeof kButtons / sizeof kButtons[0]) return IDOK;
  const int* buttons = kButtons[set];
  const UINT chosen = (type & MB_DEFMASK) >> 8;  // 0 = first, 1 = second, 2 = third
  // Windows falls back to the first button when the chosen one does not exist.
  return chosen < 3 && buttons[chosen] != 0 ? buttons[chosen] : buttons[0];
}

}  // namespace

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook, void* context) {
  HookState& state = State();
  std::lock_guard<std::mutex> guard(state.mutex);
  MessageBoxHook previous = state.hook;
  state.hook = hook;
  state.context = hook != nullptr ? context : nullptr;
  return previous;
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  MessageBoxHook hook = nullptr;
  void* context = nullptr;
  {
    HookState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    hook = state.hook;
    context = state.context;
  }
  // The hook runs outside the lock: it may show a box itself or reset hooks.
  if (hook != nullptr) return hook(owner, text, caption, type, context);
  std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "Error",
               text != nullptr ? text : "");
  return DefaultButton(type);
}

}  // namespace kvp
