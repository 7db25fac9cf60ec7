#include "host/cp1252.h"

#include <cstdint>

#include "platform/kernel/code_page.h"

namespace kvhost {

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    const uint32_t code = kvp::Cp1252CodePoint(c);
    kvp::AppendUtf8(out, code != 0 ? code : 0xFFFD);
  }
  return out;
}

}  // namespace kvhost
