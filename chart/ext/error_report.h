// Error reports of language functions: an ErrorRecord with the French and
// English texts of a message, released by the host with command 9.
#pragma once
#include <cstdint>

#include "chart/ext/string_table.h"
#include "kv/ext_protocol.h"

namespace kv::ext {

// Distance between a message's French and English text numbers.
inline constexpr uint32_t kEnglishTextOffset = 10000;

// Each text is a 351-byte block holding at most 250 characters.
inline constexpr size_t kErrorTextBlockSize = 351;
inline constexpr size_t kErrorTextLoadSize = 251;

// Fills call.error (kind, 2 texts: French = message, English = message +
// 10000, from `strings`) and call.errorMessage; returns 0, the result of a
// failing language function. A text that cannot be allocated stays null; a
// missing text is empty.
int32_t ReportError(CallBlock& call, uint16_t kind, uint32_t message, const StringTable& strings);

// Frees every text and the text array, then zero-fills the record, so a
// second release frees nothing. A null record does nothing.
void ReleaseErrorRecord(ErrorRecord* record);

}  // namespace kv::ext
