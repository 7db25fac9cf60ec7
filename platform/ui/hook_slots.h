// Internal: where the hooks a host sets for message boxes and the common
// dialogs are kept. A hook is the process's one: the host sets it once and
// every library's boxes and dialogs go to it. On Linux the layer is one
// shared library and keeps them itself (hook_slots.cpp); the Windows build
// links a copy of the layer into each DLL, so there they live in memory the
// copies share (win32/hook_slots_win32.cpp).
#pragma once

namespace kvp::detail {

enum class HookSlot { MessageBox = 0, ChooseFont = 1, PrintDlg = 2 };
inline constexpr int kHookSlots = 3;

// Any hook's function, cast back to its own type by the slot's owner.
using AnyHook = void (*)();
struct HookEntry {
  AnyHook hook = nullptr;
  void* context = nullptr;
};

// Puts `entry` in the slot and answers what was there. Thread-safe.
HookEntry ExchangeHook(HookSlot slot, HookEntry entry);
HookEntry CurrentHook(HookSlot slot);

}  // namespace kvp::detail
