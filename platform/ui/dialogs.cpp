// The common dialogs, answered by the host's hooks or else by the backend
// (headless: cancelled).
#include "platform/ui/dialogs.h"

#include "platform/ui/backend.h"
#include "platform/ui/hook_slots.h"

namespace kvp {

namespace {

thread_local DWORD dialogError = 0;

}  // namespace

ChooseFontHook SetChooseFontHook(ChooseFontHook hook, void* context) {
  const detail::HookEntry previous = detail::ExchangeHook(
      detail::HookSlot::ChooseFont, {reinterpret_cast<detail::AnyHook>(hook), context});
  return reinterpret_cast<ChooseFontHook>(previous.hook);
}

PrintDlgHook SetPrintDlgHook(PrintDlgHook hook, void* context) {
  const detail::HookEntry previous = detail::ExchangeHook(
      detail::HookSlot::PrintDlg, {reinterpret_cast<detail::AnyHook>(hook), context});
  return reinterpret_cast<PrintDlgHook>(previous.hook);
}

BOOL ChooseFontA(CHOOSEFONTA* choice) {
  dialogError = 0;
  if (choice == nullptr || choice->lStructSize != sizeof(CHOOSEFONTA)) {
    dialogError = CDERR_STRUCTSIZE;
    return FALSE_;
  }
  if (choice->lpLogFont == nullptr) {
    dialogError = CDERR_INITIALIZATION;
    return FALSE_;
  }
  const detail::HookEntry entry = detail::CurrentHook(detail::HookSlot::ChooseFont);
  if (entry.hook == nullptr) return detail::CurrentBackend().ShowChooseFont(choice);
  return reinterpret_cast<ChooseFontHook>(entry.hook)(choice, entry.context) ? TRUE_ : FALSE_;
}

BOOL PrintDlgA(PRINTDLGA* choice) {
  dialogError = 0;
  if (choice == nullptr || choice->lStructSize != sizeof(PRINTDLGA)) {
    dialogError = CDERR_STRUCTSIZE;
    return FALSE_;
  }
  const detail::HookEntry entry = detail::CurrentHook(detail::HookSlot::PrintDlg);
  choice->hDC = nullptr;
  if (entry.hook == nullptr) return detail::CurrentBackend().ShowPrintDlg(choice);
  return reinterpret_cast<PrintDlgHook>(entry.hook)(choice, entry.context) ? TRUE_ : FALSE_;
}

DWORD CommDlgExtendedError() {
  return dialogError;
}

}  // namespace kvp
