#include "host/index_check/key_order.h"

#include <cstdint>

namespace kvcheck {
namespace {

// Upper case in Windows-1252: ASCII letters and the accented letters of the
// upper half (0xE0..0xFE without the division sign; 0xFF to 0x9F).
std::string FoldCase(const std::string& key) {
  std::string out = key;
  for (char& c : out) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 'a' && b <= 'z') {
      c = static_cast<char>(b - 0x20);
    } else if (b >= 0xE0 && b <= 0xFE && b != 0xF7) {
      c = static_cast<char>(b - 0x20);
    } else if (b == 0xFF) {
      c = static_cast<char>(0x9F);
    } else if (b == 0x9A || b == 0x9C || b == 0x9E) {
      c = static_cast<char>(b - 0x10);
    }
  }
  return out;
}

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Every neighbouring pair in order under `compare`, reversed when `down`.
bool Keeps(const std::vector<std::string>& keys, const KeyComparison& compare, bool down) {
  for (size_t i = 1; i < keys.size(); ++i) {
    const int c = compare(keys[i - 1], keys[i]);
    if (down ? c < 0 : c > 0) return false;
  }
  return true;
}

}  // namespace

std::string GuessKeyOrder(const std::vector<std::string>& keys, const KeyComparison& engine,
                          bool text) {
  if (Keeps(keys, engine, false)) return "ascending";
  if (Keeps(keys, engine, true)) return "descending";
  if (text) {
    const KeyComparison folded = [](const std::string& a, const std::string& b) {
      return CompareBytes(FoldCase(a), FoldCase(b));
    };
    if (Keeps(keys, folded, false)) return "ascending, case-insensitive";
    if (Keeps(keys, folded, true)) return "descending, case-insensitive";
  }
  return "unknown";
}

}  // namespace kvcheck
