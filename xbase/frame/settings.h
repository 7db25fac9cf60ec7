// Settings read from "KVDB4XX.INI", section "sort".
#pragma once

namespace kv::xb {

// 1: index keys compare byte by byte; 0: by the collating table.
int AsciiSort();
// Reads "asciisort" again (at every XBDINIT).
void ReadAsciiSort();
// The date style named by "datesort" (1 when empty or unknown).
int DateStyleFromSettings();
// The style number of a "datesort" word, 1 when unknown.
int DateStyleFromWord(const char* word);

}  // namespace kv::xb
