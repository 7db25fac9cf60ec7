#include "chart/model/font_list.h"

#include <algorithm>

namespace kv::chart {

const FontEntry* FindFont(const KvFontList& list, int32_t number) {
  for (const FontEntry& entry : list.entries) {
    if (entry.number == number) return &entry;
  }
  return nullptr;
}

void PutFont(KvFontList& list, FontEntry entry) {
  // Room first, so that running out of memory leaves the old entry in place.
  list.entries.reserve(list.entries.size() + 1);
  std::erase_if(list.entries, [&](const FontEntry& old) { return old.number == entry.number; });
  list.entries.push_back(std::move(entry));
}

}  // namespace kv::chart
