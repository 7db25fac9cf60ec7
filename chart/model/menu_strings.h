// The popup menu texts: French 101..120, English 10101..10120, in the order
// of the menu tree.
#pragma once
#include <span>

#include "chart/ext/string_table.h"

namespace kv::chart {

inline constexpr uint32_t kFirstMenuText = 101;
inline constexpr uint32_t kMenuTextCount = 20;

std::span<const kv::ext::StringEntry> MenuStrings();

}  // namespace kv::chart
