// Windows-1252 <-> UTF-8 through the platform's code-page table; a character
// the code page lacks becomes '?'.
#include <cstdint>

#include "comm/mail/provider/parsed_message.h"
#include "platform/kernel/code_page.h"

namespace kvmapi {

namespace {

char FromCodePoint(uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (int byte = 0x80; byte < 0xA0; ++byte) {
    if (kvp::Cp1252CodePoint(static_cast<unsigned char>(byte)) == cp)
      return static_cast<char>(byte);
  }
  return '?';
}

}  // namespace

std::string Utf8ToCp1252(std::string_view in) {
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const auto b = static_cast<uint8_t>(in[i]);
    int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > in.size()) {
      out += '?';  // a stray or cut byte
      ++i;
      continue;
    }
    uint32_t cp = length == 1 ? b : b & (0x7F >> length);
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto c = static_cast<uint8_t>(in[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) valid = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    out += FromCodePoint(cp);
    i += static_cast<size_t>(length);
  }
  return out;
}

std::string Cp1252ToUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size() + in.size() / 4);
  for (char c : in) {
    const auto b = static_cast<uint8_t>(c);
    const uint32_t cp = kvp::Cp1252CodePoint(b);
    kvp::AppendUtf8(out, cp != 0 ? cp : '?');
  }
  return out;
}

}  // namespace kvmapi
