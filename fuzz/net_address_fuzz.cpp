// Address texts as a language program may hand them to a client: the '@'
// and '*' forms and scan ranges must never read or write out of bounds,
// loop without end or allocate without bound, and what they accept must
// hold together (ranges within 0-255, translations within 255 characters).
#include <stddef.h>
#include <stdint.h>

#include <cstdlib>
#include <string>

#include "comm/net/address_text.h"
#include "comm/net/scramble.h"

namespace {

std::optional<std::string> FakeResolve(const std::string& host) {
  if (host.empty()) return std::nullopt;
  // A few answers of different lengths, one without a dot.
  switch (host.size() % 4) {
    case 0:
      return std::string("10.1.2.3");
    case 1:
      return std::string("255.255.255.255");
    case 2:
      return std::string("nodots");
    default:
      return std::nullopt;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::string original = text;
  const kvnet::TranslateResult result = kvnet::TranslateAddressText(text, FakeResolve);
  if (result == kvnet::TranslateResult::Translated && text.size() > kvnet::kMaxAddressText) abort();
  if (result != kvnet::TranslateResult::Translated && text != original) abort();

  if (auto plan = kvnet::ParseScanText(text)) {
    long tries = 0;
    for (const kvnet::ByteRange& range : plan->ranges) {
      if (range.first < 0 || range.first > 255 || range.last < 0 || range.last > 255) abort();
      if (range.Tries() < 1 || range.Tries() > 256) abort();
      tries += range.Tries();
    }
    if (plan->ranges.empty()) abort();
    const std::string answered = kvnet::WithLastByte(text, static_cast<uint8_t>(tries & 0xFF));
    if (answered.size() > text.size() + 3) abort();
  }

  // Scrambling is its own inverse from any counter.
  int32_t counterA =
      size > 4 ? static_cast<int32_t>(data[0] | (data[1] << 8) | (data[2] << 16)) : 0;
  int32_t counterB = counterA;
  std::string scrambled(size, '\0');
  kvnet::Scramble(scrambled.data(), original.data(), size, counterA);
  kvnet::Scramble(scrambled.data(), scrambled.data(), size, counterB);
  if (scrambled != original || counterA != counterB) abort();
  return 0;
}
