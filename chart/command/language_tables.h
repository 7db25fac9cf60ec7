// The tables of language functions and constants that command 3 hands to the
// host; static, valid while the library is loaded.
#pragma once
#include <cstdint>
#include <span>

#include "kv/ext_protocol.h"

namespace kv::chart {

inline constexpr uint16_t kFunctionCount = 35;
inline constexpr uint16_t kConstantCount = 16;

std::span<const FunctionEntry> FunctionTable();
std::span<const ConstantEntry> ConstantTable();

// The entry that names `function`, null when the table has none: language
// functions use it to refuse a syntax index they do not declare.
const FunctionEntry* FindFunctionEntry(KvLanguageFunction function);

// True when `call` chose a syntax that `function`'s entry declares.
bool DeclaresSyntax(KvLanguageFunction function, const CallBlock& call);

}  // namespace kv::chart
