#include "comm/serial/line_profile.h"

#include <cstdint>

namespace kv::comm {

namespace {

// A field made only of decimal digits (and not absurdly long); false
// otherwise, so that the setting stays.
bool Decimal(std::string_view field, uint32_t& value) {
  if (field.empty() || field.size() > 9) return false;
  uint32_t v = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint32_t>(c - '0');
  }
  value = v;
  return true;
}

std::string_view NextField(std::string_view& rest) {
  const size_t comma = rest.find(',');
  std::string_view field = rest.substr(0, comma);
  rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  return field;
}

}  // namespace

void ApplyPortEntry(std::string_view entry, kvp::DCB& dcb) {
  std::string_view rest = entry;
  uint32_t number = 0;
  if (Decimal(NextField(rest), number)) dcb.BaudRate = number;
  const std::string_view parity = NextField(rest);
  if (parity == "n") dcb.Parity = kvp::NOPARITY;
  if (parity == "e") dcb.Parity = kvp::EVENPARITY;
  if (parity == "o") dcb.Parity = kvp::ODDPARITY;
  if (Decimal(NextField(rest), number) && number <= 255)
    dcb.ByteSize = static_cast<uint8_t>(number);
  const std::string_view stop = NextField(rest);
  if (stop == "1") dcb.StopBits = kvp::ONESTOPBIT;
  if (stop == "1.5") dcb.StopBits = kvp::ONE5STOPBITS;
  if (stop == "2") dcb.StopBits = kvp::TWOSTOPBITS;
}

}  // namespace kv::comm
