// The character collating order of index keys when "asciisort" is 0: the
// blank, the digits, the upper-case letters each followed by its accented
// forms, the lower-case letters likewise, then punctuation and signs
// (Windows-1252 bytes). Bytes outside the table sort after every byte in it
// and compare equal among themselves.
#pragma once
#include <cstdint>

namespace kv::xb::index {

inline constexpr int kCollatingSize = 130;

// Position of `byte` in the collating order; kCollatingSize when absent.
int CollatingRank(uint8_t byte);

// The table itself, in order (for tests and tools).
const uint8_t* CollatingOrder();

}  // namespace kv::xb::index
