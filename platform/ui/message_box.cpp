// Message boxes: a hook the host may set, or else the backend shows them
// (headless: stderr and the default button).
#include "platform/ui/message_box.h"

#include "platform/ui/backend.h"
#include "platform/ui/hook_slots.h"

namespace kvp {

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook, void* context) {
  // A null hook keeps no context.
  const detail::HookEntry previous = detail::ExchangeHook(
      detail::HookSlot::MessageBox,
      {reinterpret_cast<detail::AnyHook>(hook), hook != nullptr ? context : nullptr});
  return reinterpret_cast<MessageBoxHook>(previous.hook);
}

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  const detail::HookEntry entry = detail::CurrentHook(detail::HookSlot::MessageBox);
  // The hook runs outside the slots' lock: it may show a box itself or reset hooks.
  if (entry.hook != nullptr) {
    return reinterpret_cast<MessageBoxHook>(entry.hook)(owner, text, caption, type, entry.context);
  }
  return detail::CurrentBackend().ShowMessageBox(owner, text, caption, type);
}

}  // namespace kvp
