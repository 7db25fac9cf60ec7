// The common dialogs, answered by the host's hooks or else by the backend
// (headless: cancelled).
#include "platform/ui/dialogs.h"

#include <mutex>

#include "platform/ui/backend.h"

namespace kvp {

namespace {

struct Hooks {
  std::mutex mutex;
  ChooseFontHook font = nullptr;
  void* fontContext = nullptr;
  PrintDlgHook print = nullptr;
  void* printContext = nullptr;
};

Hooks& DialogHooks() {
  static auto* hooks = new Hooks;
  return *hooks;
}

thread_local DWORD dialogError = 0;

}  // namespace

ChooseFontHook SetChooseFontHook(ChooseFontHook hook, void* context) {
  std::lock_guard<std::mutex> hold(DialogHooks().mutex);
  ChooseFontHook previous = DialogHooks().font;
  DialogHooks().font = hook;
  DialogHooks().fontContext = context;
  return previous;
}

PrintDlgHook SetPrintDlgHook(PrintDlgHook hook, void* context) {
  std::lock_guard<std::mutex> hold(DialogHooks().mutex);
  PrintDlgHook previous = DialogHooks().print;
  DialogHooks().print = hook;
  DialogHooks().printContext = context;
  return previous;
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
  ChooseFontHook hook;
  void* context;
  {
    std::lock_guard<std::mutex> hold(DialogHooks().mutex);
    hook = DialogHooks().font;
    context = DialogHooks().fontContext;
  }
  if (hook == nullptr) return detail::CurrentBackend().ShowChooseFont(choice);
  return hook(choice, context) ? TRUE_ : FALSE_;
}

BOOL PrintDlgA(PRINTDLGA* choice) {
  dialogError = 0;
  if (choice == nullptr || choice->lStructSize != sizeof(PRINTDLGA)) {
    dialogError = CDERR_STRUCTSIZE;
    return FALSE_;
  }
  PrintDlgHook hook;
  void* context;
  {
    std::lock_guard<std::mutex> hold(DialogHooks().mutex);
    hook = DialogHooks().print;
    context = DialogHooks().printContext;
  }
  choice->hDC = nullptr;
  if (hook == nullptr) return detail::CurrentBackend().ShowPrintDlg(choice);
  return hook(choice, context) ? TRUE_ : FALSE_;
}

DWORD CommDlgExtendedError() {
  return dialogError;
}

}  // namespace kvp
