// kvchart's numbered texts: error messages (French n, English n + 10000) and
// the popup menu texts, which the chart model keeps in
// chart/model/menu_strings.cpp as
//   std::span<const kv::ext::StringEntry> kv::chart::MenuStrings();
#pragma once
#include <cstdint>

#include "chart/ext/string_table.h"

namespace kv::chart {

// Error messages of the language functions.
inline constexpr uint32_t kMessageNoDestination = 1;
inline constexpr uint32_t kMessageIncorrectData = 2;
inline constexpr uint32_t kMessageIncorrectParameter = 3;
inline constexpr uint32_t kMessageDataOverflow = 4;
inline constexpr uint32_t kMessageChartNotCreated = 50;
inline constexpr uint32_t kMessageFontNotCreated = 51;

// Kinds of error reports.
inline constexpr uint16_t kErrorKind1 = 1;
inline constexpr uint16_t kErrorKind2 = 2;

// The messages alone.
std::span<const kv::ext::StringEntry> MessageStrings();

// Every text of the library: the messages and the menu texts.
const kv::ext::StringTable& ChartStrings();

}  // namespace kv::chart
