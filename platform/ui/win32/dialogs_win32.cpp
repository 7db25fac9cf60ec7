// The common font and print dialogs on Windows: the system's own dialogs
// answer what no hook does (win32/backend_win32.cpp), so that a test or a
// host that sets a hook of its own still answers in their place (a real
// dialog would wait for a user who is not there) and gets the system's back
// when it restores the hook it replaced.
#include <cstddef>

#include "platform/ui/dialogs.h"
#include "platform/ui/win32/system_dialogs.h"
#include "platform/ui/win32/user32.h"

namespace kvp {

namespace win32 {

// The system's print dialog record is packed on the 32-bit system (66
// bytes); ours keeps natural alignment, so the fields are copied across.
#pragma pack(push, 1)
struct SystemPrintDlg {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  void* lpfnPrintHook;
  void* lpfnSetupHook;
  const char* lpPrintTemplateName;
  const char* lpSetupTemplateName;
  HGLOBAL hPrintTemplate;
  HGLOBAL hSetupTemplate;
};
#pragma pack(pop)
static_assert(sizeof(SystemPrintDlg) == 66, "PRINTDLGA of the 32-bit system");
static_assert(offsetof(SystemPrintDlg, hInstance) == 34, "PRINTDLGA of the 32-bit system");
// The font dialog record has the same layout on both sides.
static_assert(sizeof(CHOOSEFONTA) == 60, "CHOOSEFONTA of the 32-bit system");

KVW_IMPORT BOOL KVW_CALL ChooseFontA(CHOOSEFONTA* choice);
KVW_IMPORT BOOL KVW_CALL PrintDlgA(SystemPrintDlg* choice);

}  // namespace win32

namespace win32 {

BOOL ShowSystemChooseFont(CHOOSEFONTA* choice) {
  return win32::ChooseFontA(choice);
}

BOOL ShowSystemPrintDlg(PRINTDLGA* choice) {
  win32::SystemPrintDlg system{};
  system.lStructSize = sizeof system;
  system.hwndOwner = choice->hwndOwner;
  system.hDevMode = choice->hDevMode;
  system.hDevNames = choice->hDevNames;
  system.hDC = choice->hDC;
  system.Flags = choice->Flags;
  system.nFromPage = choice->nFromPage;
  system.nToPage = choice->nToPage;
  system.nMinPage = choice->nMinPage;
  system.nMaxPage = choice->nMaxPage;
  system.nCopies = choice->nCopies;
  system.hInstance = choice->hInstance;
  system.lCustData = choice->lCustData;
  // Hooks and templates are the caller's and never set by the libraries.
  const BOOL chosen = win32::PrintDlgA(&system);
  choice->hDevMode = system.hDevMode;
  choice->hDevNames = system.hDevNames;
  choice->hDC = system.hDC;
  choice->Flags = system.Flags;
  choice->nFromPage = system.nFromPage;
  choice->nToPage = system.nToPage;
  choice->nCopies = system.nCopies;
  return chosen;
}

}  // namespace win32

}  // namespace kvp
