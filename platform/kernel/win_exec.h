// Starting a program (used by kvcomm's remote services).
#pragma once
#include "platform/kernel/win_types.h"

namespace kvp {

// Starts the program of `commandLine` as a process of its own and returns
// at once: above 31 on success, 2 when the program is not found, 5 when it
// may not be run, 0 when no process can be made or the line is empty. The
// line is split at blanks (a double-quoted part keeps its blanks); the first
// word is looked up in PATH. No shell reads the line. `show` is ignored: a
// Linux program opens its windows as it likes. Ended children are reaped by
// later calls and at the latest when the process ends.
KVP_API UINT WinExec(const char* commandLine, UINT show);

// Processes WinExec started that have not been reaped yet.
KVP_API unsigned WinExecChildren();

}  // namespace kvp
