// Address texts: '@' and '*' forms, scan ranges, last-byte steps, retry
// plans.
#include "comm/net/address_text.h"

#include <cstring>

namespace kvnet {

TranslateResult TranslateAddressText(std::string& text, const ResolveFirstAddress& resolve) {
  const size_t at = text.find('@');
  if (at != std::string::npos) {
    const std::string part = text.substr(0, at);
    const std::optional<std::string> address = resolve(text.substr(at + 1));
    if (!address) return TranslateResult::UnknownHost;
    const size_t dot = address->rfind('.');
    if (dot == std::string::npos) return TranslateResult::Malformed;
    std::string translated = address->substr(0, dot + 1) + part;
    if (translated.size() > kMaxAddressText) return TranslateResult::Malformed;
    text = std::move(translated);
    return TranslateResult::Translated;
  }
  if (text.find('*') != std::string::npos) {
    const size_t dot = text.rfind('.');
    if (dot == std::string::npos) return TranslateResult::Malformed;
    std::string translated = text.substr(0, dot) + ".[1-254]";
    // A refused text stays as it was.
    if (translated.size() > kMaxAddressText) return TranslateResult::Malformed;
    text = std::move(translated);
    return TranslateResult::Translated;
  }
  return TranslateResult::Unchanged;
}

namespace {

// Reads a decimal byte value at `pos` (0 to 255; a longer number fails as
// soon as it passes 255, so no digit string can overflow).
bool ReadByteValue(std::string_view text, size_t& pos, int& value) {
  size_t digits = 0;
  value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    if (value > 255) return false;
    ++digits;
    ++pos;
  }
  return digits > 0;
}

}  // namespace

std::optional<ScanPlan> ParseScanText(std::string_view text) {
  const size_t dot = text.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  ScanPlan plan;
  plan.prefix = std::string(text.substr(0, dot));
  const std::string_view ranges = text.substr(dot + 1);
  size_t pos = 0;
  while (pos < ranges.size() && ranges[pos] == '[') {
    ++pos;
    ByteRange range{};
    if (!ReadByteValue(ranges, pos, range.first) || pos >= ranges.size() || ranges[pos] != '-') {
      plan.malformedTail = true;
      break;
    }
    ++pos;
    if (!ReadByteValue(ranges, pos, range.last) || pos >= ranges.size() || ranges[pos] != ']') {
      plan.malformedTail = true;
      break;
    }
    ++pos;
    plan.ranges.push_back(range);
  }
  if (plan.ranges.empty()) return std::nullopt;
  return plan;
}

uint8_t LastByte(uint32_t networkOrderAddress) {
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrderAddress, 4);
  return bytes[3];
}

uint32_t StepLastByte(uint32_t networkOrderAddress, int step) {
  unsigned char bytes[4];
  std::memcpy(bytes, &networkOrderAddress, 4);
  bytes[3] = static_cast<unsigned char>(bytes[3] + (step >= 0 ? 1 : 255));
  uint32_t result;
  std::memcpy(&result, bytes, 4);
  return result;
}

std::string WithLastByte(std::string_view text, uint8_t lastByte) {
  const size_t dot = text.rfind('.');
  std::string prefix =
      dot == std::string_view::npos ? std::string() : std::string(text.substr(0, dot + 1));
  return prefix + std::to_string(lastByte);
}

std::vector<long> RetryPlan(long timeout, bool scanning) {
  if (timeout == 0) return {1, 5, 20};
  if (timeout < 0)
    return scanning ? std::vector<long>{10, 350, 1000} : std::vector<long>{10, 2000, 20000};
  return {timeout};
}

}  // namespace kvnet
