// The fonts a program made with grCréePolice, by the number it chose. The
// charts take copies of them, so an entry can be replaced while charts use
// its look.
#pragma once
#include <cstdint>
#include <vector>

#include "chart/model/owned_font.h"
#include "chart/model/palette.h"

namespace kv::chart {

struct FontEntry {
  int32_t number = 0;
  OwnedFont font;
  Rgb colour = 0;
};

}  // namespace kv::chart

struct KvFontList {
  std::vector<kv::chart::FontEntry> entries;
};

namespace kv::chart {

// The entry with that number, or null.
const FontEntry* FindFont(const KvFontList& list, int32_t number);

// Deletes any entry with the entry's number (and its font object), then
// appends the entry.
void PutFont(KvFontList& list, FontEntry entry);

}  // namespace kv::chart
