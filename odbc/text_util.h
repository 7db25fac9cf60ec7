// Small text helpers shared by the listings and the row reader.
#pragma once
#include <string_view>

namespace kvodbc {

inline std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace kvodbc
