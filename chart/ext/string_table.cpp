#include "chart/ext/string_table.h"

#include <algorithm>
#include <cstring>

namespace kv::ext {

StringTable::StringTable(std::initializer_list<std::span<const StringEntry>> parts) {
  for (std::span<const StringEntry> part : parts) {
    for (const StringEntry& entry : part) {
      texts_.emplace(entry.number, entry.text != nullptr ? entry.text : "");
    }
  }
}

std::string_view StringTable::Find(uint32_t number) const {
  auto found = texts_.find(number);
  return found != texts_.end() ? found->second : std::string_view();
}

size_t StringTable::Load(uint32_t number, char* buffer, size_t size) const {
  if (buffer == nullptr || size == 0) return 0;
  std::string_view text = Find(number);
  size_t length = std::min(text.size(), size - 1);
  if (length > 0) std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return length;
}

}  // namespace kv::ext
