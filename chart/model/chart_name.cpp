#include "chart/model/chart_name.h"

namespace kv::chart {

namespace {

unsigned char UpperCase1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
  // à..þ map to À..Þ; the division sign 0xF7 sits where no letter is.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  switch (c) {
    case 0x9A:  // š
      return 0x8A;
    case 0x9C:  // œ
      return 0x8C;
    case 0x9E:  // ž
      return 0x8E;
    case 0xFF:  // ÿ
      return 0x9F;
    default:
      return c;
  }
}

}  // namespace

void UpperCaseInPlace(char* text) {
  if (text == nullptr) return;
  for (char* p = text; *p != '\0'; ++p) {
    *p = static_cast<char>(UpperCase1252(static_cast<unsigned char>(*p)));
  }
}

std::string UpperCased(const char* text) {
  std::string name = text == nullptr ? std::string() : std::string(text);
  UpperCaseInPlace(name.data());
  return name;
}

}  // namespace kv::chart
