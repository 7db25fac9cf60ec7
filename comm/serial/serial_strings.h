// kvcomm's message texts: number n in French, n + 10000 in English.
#pragma once
#include <cstdint>
#include <string>

#include "chart/ext/string_table.h"

namespace kv::comm {

// Message 1: no line settings for a port in the profile; "%s" is the port's
// device name.
inline constexpr uint32_t kMessageNoPortConfiguration = 1;

const kv::ext::StringTable& CommStrings();

// The text numbered `number` with its one "%s" replaced by `argument`.
std::string FormatMessage(uint32_t number, const std::string& argument);

}  // namespace kv::comm
