// Internal (Windows build): the system's font and print dialogs, for what
// no hook answers.
#pragma once
#include "platform/ui/dialogs.h"

namespace kvp::win32 {

BOOL ShowSystemChooseFont(CHOOSEFONTA* choice);
BOOL ShowSystemPrintDlg(PRINTDLGA* choice);

}  // namespace kvp::win32
