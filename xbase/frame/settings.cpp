#include "xbase/frame/settings.h"

#include "xbase/frame/text.h"

#include "platform/kernel/profile.h"

namespace kv::xb {
namespace {

constexpr const char* kSettingsFile = "KVDB4XX.INI";
constexpr const char* kSortSection = "sort";

int asciiSort = 1;

struct StyleWord {
  const char* word;
  int style;
};

constexpr StyleWord kStyleWords[] = {
    {"GREGOR", 1},    {"GREGORL", 2},    {"JULIAN", 3},   {"YMD", 4},       {"DMY", 5},
    {"GERMAN", 6},    {"EURODATE", 6},   {"GERMANL", 7},  {"EURODATEL", 7}, {"BRITISH", 8},
    {"BRITISHL", 9},  {"FRENCH", 10},    {"FRENCHL", 11}, {"ITALIAN", 12},  {"ITALIANL", 13},
    {"ENSI", 14},     {"ENSIL", 15},
};

}  // namespace

int AsciiSort() { return asciiSort; }

void ReadAsciiSort() {
  // Any value other than 0 counts as byte order.
  asciiSort = kvp::GetPrivateProfileIntA(kSortSection, "asciisort", 1, kSettingsFile) == 0 ? 0 : 1;
}

int DateStyleFromWord(const char* word) {
  for (const auto& w : kStyleWords) {
    if (EqualNoCase(word, w.word)) return w.style;
  }
  return 1;
}

int DateStyleFromSettings() {
  char word[10] = {};  // up to 9 characters
  kvp::GetPrivateProfileStringA(kSortSection, "datesort", "", word, sizeof word, kSettingsFile);
  return DateStyleFromWord(word);
}

}  // namespace kv::xb
