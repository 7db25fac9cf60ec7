// Reporting a message: the one road every failure of the library takes.
#pragma once
#include <cstdarg>

namespace kvimg {

// ReportMessage with the raw text given (kind digit first, or null for a
// number the table lacks): the frame's work, reachable by tests.
void ReportRawMessage(unsigned number, const char* raw, va_list arguments);

// Called first when a message is reported: the wait window goes away before
// the message box comes up. Set by the wait window while it is shown.
using BeforeMessageHook = void (*)();
void SetBeforeMessageHook(BeforeMessageHook hook);

// The formatted text of the last message since the read began ("" for none).
const char* LastMessageText();

}  // namespace kvimg
