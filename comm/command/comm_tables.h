// The tables of kvcomm's language functions, constants and variables that
// command 3 hands to the host; static, valid while the library is loaded.
#pragma once
#include <cstdint>
#include <span>

#include "kv/ext_protocol.h"

namespace kv::comm {

inline constexpr uint16_t kFunctionCount = 29;
inline constexpr uint16_t kConstantCount = 10;
inline constexpr uint16_t kVariableCount = 11;

std::span<const FunctionEntry> FunctionTable();
std::span<const ConstantEntry> ConstantTable();
std::span<const VariableEntry> VariableTable();

// True when `call` chose a syntax that `function`'s entry declares (false
// for a function the table does not name).
bool DeclaresSyntax(KvLanguageFunction function, const CallBlock& call);

}  // namespace kv::comm
