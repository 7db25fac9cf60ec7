// The address texts a client connects to, as pure functions (the client
// class strings them together with its sockets):
//   part@host   the host's first three address bytes followed by the part
//               ("[1-20]@server" -> "10.1.2.[1-20]");
//   a.b.c.*     every address 1 to 254 ("a.b.c.[1-254]");
//   a.b.c.[x-y][u-v]...  ranges of the last byte, tried in order, stepping
//               down when y < x.
#pragma once
#include <stdint.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvnet {

// Longest address text a client keeps.
inline constexpr size_t kMaxAddressText = 255;

// One range of the last address byte.
struct ByteRange {
  int first;
  int last;
  int Step() const { return last >= first ? 1 : -1; }
  int Tries() const { return (last >= first ? last - first : first - last) + 1; }
};

// Resolves a host name to its first address in dotted form, or nothing.
using ResolveFirstAddress = std::function<std::optional<std::string>(const std::string& host)>;

enum class TranslateResult { Unchanged, Translated, UnknownHost, Malformed };

// Applies the '@' and '*' forms to `text` (in place). Malformed: a '*'
// text without '.', or a translation longer than kMaxAddressText.
TranslateResult TranslateAddressText(std::string& text, const ResolveFirstAddress& resolve);

// The scan form: "prefix.[x-y][u-v]". Splits it at its last '.' into the
// prefix ("a.b.c") and the ranges; nothing when there is no '.' or no
// range, or when a range lacks its '-' or ']' or holds a value outside
// 0-255. Ranges after one that is malformed are dropped, so that a scan
// tries the well-formed ones before it and then ends without success.
struct ScanPlan {
  std::string prefix;
  std::vector<ByteRange> ranges;
  bool malformedTail = false;  // a malformed range ended the list
};
std::optional<ScanPlan> ParseScanText(std::string_view text);

// The last byte of a network-order IPv4 address stepped by +1 or -1,
// wrapping 255 <-> 0 without touching the other bytes.
uint32_t StepLastByte(uint32_t networkOrderAddress, int step);
uint8_t LastByte(uint32_t networkOrderAddress);

// `text` with everything after its last '.' replaced by `lastByte`.
std::string WithLastByte(std::string_view text, uint8_t lastByte);

// The time limits (milliseconds) of the tries of a direct connection or of
// a scan for the timeout a caller gave: 0 -> 1, 5, 20; -1 (and any value
// below it, which would otherwise make the wait fail) -> 10, 2000, 20000
// direct or 10, 350, 1000 scanning; any other value once.
std::vector<long> RetryPlan(long timeout, bool scanning);

}  // namespace kvnet
