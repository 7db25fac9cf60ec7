// A library's numbered texts (messages, menu texts), Windows-1252 bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <unordered_map>

namespace kv::ext {

struct StringEntry {
  uint32_t number;
  const char* text;
};

class StringTable {
 public:
  // Built from several arrays, so that each part of a library keeps its own
  // texts; a number given twice keeps its first text.
  StringTable(std::initializer_list<std::span<const StringEntry>> parts);

  // The text of `number`; the empty text for an unknown number.
  std::string_view Find(uint32_t number) const;

  // As the platform's string loader: copies at most size - 1 characters and
  // a terminating zero into `buffer`; returns the copied length, 0 for an
  // unknown number.
  size_t Load(uint32_t number, char* buffer, size_t size) const;

  size_t size() const { return texts_.size(); }

 private:
  std::unordered_map<uint32_t, std::string_view> texts_;
};

}  // namespace kv::ext
