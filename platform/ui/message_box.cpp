// Message boxes: a hook the host may set, or else the backend shows them
// (headless: stderr and the default button).
#include "platform/ui/message_box.h"

#include <mutex>

#include "platform/ui/backend.h"

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
  return detail::CurrentBackend().ShowMessageBox(owner, text, caption, type);
}

}  // namespace kvp
