// The library's string table: every text starts with its kind digit
// (1 warning, 2 fatal), the rest is a printf-style format.
#pragma once

namespace kvimg {

// The raw text of message `number`, null when the table has none.
const char* MessageText(unsigned number);

}  // namespace kvimg
