#include "platform/ui/hook_slots.h"

#include <mutex>

namespace kvp::detail {

namespace {

struct Slots {
  std::mutex mutex;
  HookEntry entries[kHookSlots];
};

Slots& HookSlots() {
  static auto* slots = new Slots;  // never destroyed: boxes may come at exit
  return *slots;
}

}  // namespace

HookEntry ExchangeHook(HookSlot slot, HookEntry entry) {
  std::lock_guard<std::mutex> hold(HookSlots().mutex);
  HookEntry previous = HookSlots().entries[static_cast<int>(slot)];
  HookSlots().entries[static_cast<int>(slot)] = entry;
  return previous;
}

HookEntry CurrentHook(HookSlot slot) {
  std::lock_guard<std::mutex> hold(HookSlots().mutex);
  return HookSlots().entries[static_cast<int>(slot)];
}

}  // namespace kvp::detail
