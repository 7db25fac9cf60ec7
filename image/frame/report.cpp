#include "image/frame/report.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/frame/library_state.h"
#include "image/frame/message_table.h"
#include "image/read/decoder.h"
#include "platform/ui/message_box.h"

namespace kvimg {

namespace {

BeforeMessageHook g_beforeMessage = nullptr;

// Without the buffers of bIMG_InitInstance (a report before it, or after a
// failed one) the text still reaches pszIMG_GetMessage.
char g_fallbackRaw[kRawMessageBytes];
char g_fallbackFormatted[kFormattedMessageBytes];

char* RawBuffer() {
  return State().rawText != nullptr ? State().rawText : g_fallbackRaw;
}
char* FormattedBuffer() {
  return State().formattedText != nullptr ? State().formattedText : g_fallbackFormatted;
}

[[noreturn]] void EndProcess(const char* text) {
  ReleaseLibraryBlocks();
  // The process ends as the platform's fatal exit does: one last box with
  // the exit text, then no clean-up of the host's state.
  (void)text;
  kvp::MessageBoxA(nullptr,
                   "Fin d'ex\xe9"
                   "cution. Retour au syst\xe8me",
                   "erreur", kvp::MB_OK | kvp::MB_ICONSTOP);
  std::_Exit(3);
}

}  // namespace

void SetBeforeMessageHook(BeforeMessageHook hook) {
  g_beforeMessage = hook;
}

void ReportRawMessage(unsigned number, const char* raw, va_list arguments) {
  State().lastMessage = number;
  char* formatted = FormattedBuffer();
  int kind = 0;
  if (raw == nullptr || raw[0] < '0' || raw[0] > '9') {
    std::snprintf(formatted, kFormattedMessageBytes, "Erreur %u", number);
  } else {
    // The raw text is cut to 242 characters as the string table's loader
    // would, then formatted into the bounded buffer.
    char* copy = RawBuffer();
    std::snprintf(copy, kRawMessageBytes, "%s", raw);
    kind = copy[0] - '0';
    std::vsnprintf(formatted, kFormattedMessageBytes, copy + 1, arguments);
  }
  if (g_beforeMessage != nullptr) g_beforeMessage();
  if (!State().silent)
    kvp::MessageBoxA(nullptr, formatted, "erreur", kvp::MB_OK | kvp::MB_ICONEXCLAMATION);
  if (kind == 2) EndProcess(formatted);
}

void ReportMessage(unsigned number, ...) {
  va_list arguments;
  va_start(arguments, number);
  ReportRawMessage(number, MessageText(number), arguments);
  va_end(arguments);
}

const char* LastMessageText() {
  return State().lastMessage == 0 ? "" : FormattedBuffer();
}

}  // namespace kvimg
