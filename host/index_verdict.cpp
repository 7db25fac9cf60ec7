#include "host/index_verdict.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host/cp1252.h"
#include "host/index_check/idx_invariants.h"
#include "host/index_check/key_order.h"
#include "host/index_check/mdx_invariants.h"
#include "host/index_check/ndx_invariants.h"
#include "host/index_check/ntx_invariants.h"

namespace kvhost {
namespace {

std::string Number(long double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15Lg", value);
  return text;
}

// Number keys of NDX and MDX files; a blank date is stored as 1E100, after
// every real day.
std::string NumberOrBlankDate(double value) {
  return value == 1.0E100 ? "(blank date)" : Number(value);
}

// Character keys as text, blanks (and the NULs some writers pad with) at the
// end left out; keys holding other control bytes in hexadecimal, so that the
// terminal shows what is stored.
std::string TextKey(std::string key) {
  while (!key.empty() && (key.back() == ' ' || key.back() == '\0')) key.pop_back();
  bool printable = true;
  for (const char c : key) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x20 || b == 0x7F) printable = false;
  }
  if (printable) return "\"" + Cp1252ToUtf8(key) + "\"";
  std::string hex = "hex";
  for (const char c : key) {
    char two[4];
    std::snprintf(two, sizeof two, " %02x", static_cast<uint8_t>(c));
    hex += two;
  }
  return hex;
}

// Tag names are stored in upper case; people type them in either.
bool SameName(std::string a, std::string b) {
  auto upper = [](std::string& s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  };
  upper(a);
  upper(b);
  return a == b;
}

double LittleEndianDouble(const std::string& key) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8 && i < key.size(); ++i)
    bits |= uint64_t{static_cast<uint8_t>(key[i])} << (8 * i);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// IDX numbers and dates: big-endian doubles, the sign bit set on positive
// values and every bit inverted on negative ones.
double OrderedDouble(const std::string& key) {
  uint8_t b[8] = {};
  for (size_t i = 0; i < 8 && i < key.size(); ++i) b[i] = static_cast<uint8_t>(key[i]);
  if (b[0] & 0x80) {
    b[0] &= 0x7F;
  } else {
    for (uint8_t& x : b) x = static_cast<uint8_t>(~x);
  }
  uint64_t bits = 0;
  for (const uint8_t x : b) bits = bits << 8 | x;
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

// NTX numbers are texts of a fixed width; a negative one drops its minus
// sign and turns each digit c into 0x5C - c (the point stays a point).
std::string NtxNumber(const std::string& key) {
  std::string text;
  bool negative = false;
  for (const char c : key) {
    if (c == '\0') break;
    if (c >= 0x5C - '9' && c <= 0x5C - '0') {
      negative = true;
      text += static_cast<char>(0x5C - c);
    } else {
      text += c;
    }
  }
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return TextKey(key);  // not a number after all
  return Number(negative ? -value : value);
}

// --lenient: a file whose tree is sound but whose keys break this engine's
// order is checked again without the order, so that its parts and the order
// its keys do follow can be shown; the verdict keeps the first error.
template <typename Result, typename Check>
Result CheckLeniently(const CheckRequest& request, Check check) {
  Result r = check(true);
  if (!request.lenient || r.error.empty()) return r;
  Result shape = check(false);
  if (!shape.error.empty()) return r;
  shape.error = r.error;
  return shape;
}

template <typename Entry>
std::string OrderOf(const std::vector<Entry>& entries, const kvcheck::KeyComparison& compare,
                    bool text) {
  std::vector<std::string> keys;
  keys.reserve(entries.size());
  for (const Entry& e : entries) keys.push_back(e.key);
  return kvcheck::GuessKeyOrder(keys, compare, text);
}

int CompareBytes(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

template <typename Entry, typename Show>
void Ends(const std::vector<Entry>& entries, IndexPartVerdict& part, Show show) {
  part.keys = entries.size();
  if (entries.empty()) return;
  part.first = ShownKey{show(entries.front().key), entries.front().record};
  part.last = ShownKey{show(entries.back().key), entries.back().record};
}

std::string KeyWords(const char* type, int length, bool unique, bool descending) {
  std::string s = std::string(type) + " key of " + std::to_string(length) + " bytes";
  if (descending) s += ", descending";
  if (unique) s += ", unique";
  return s;
}

void CheckNdx(const std::string& path, const CheckRequest& request, IndexVerdict& verdict) {
  kvcheck::NdxCheckOptions options;
  options.compacted = request.freshBuild;
  const auto r = CheckLeniently<kvcheck::NdxCheckResult>(request, [&](bool order) {
    options.keyOrder = order;
    return kvcheck::CheckNdxFile(path, options);
  });
  verdict.format = "NDX";
  verdict.error = r.error;
  if (!r.error.empty() && r.entries.empty()) return;
  const bool numeric = r.keyType == 1;
  IndexPartVerdict part;
  part.layout = KeyWords(numeric ? "numeric" : "character", r.keyLength, r.unique, false) + ", " +
                std::to_string(r.keysPerPage) + " keys a page";
  part.levels = r.depth + 1;
  Ends(r.entries, part, [&](const std::string& key) {
    return numeric ? NumberOrBlankDate(LittleEndianDouble(key)) : TextKey(key);
  });
  if (request.lenient) {
    part.order = OrderOf(
        r.entries,
        [&](const std::string& a, const std::string& b) {
          return kvcheck::CompareStoredKeys(a, b, r.keyType, 1);
        },
        !numeric);
  }
  verdict.parts.push_back(part);
}

void CheckIdx(const std::string& path, const CheckRequest& request, IndexVerdict& verdict) {
  // The pad byte of compact trailing counts follows the key type, which the
  // file does not record: blank for text, NUL for numbers and dates. With
  // the type unknown, a file that fails with blanks is tried with NULs.
  const bool binary = request.keyType == 'N' || request.keyType == 'D';
  auto check = [&](char pad) {
    return CheckLeniently<kvcheck::IdxCheckResult>(request, [&](bool order) {
      return kvcheck::CheckIdxFile(path, {pad, order});
    });
  };
  kvcheck::IdxCheckResult r = check(binary ? '\0' : ' ');
  bool nulPadded = binary;
  if (!r.error.empty() && r.entries.empty() && request.keyType == 0) {
    kvcheck::IdxCheckResult again = check('\0');
    if (again.error.empty()) {
      r = std::move(again);
      nulPadded = true;
    }
  }
  verdict.format = r.compact ? "IDX (compact form)" : "IDX (standard form)";
  verdict.error = r.error;
  if (!r.error.empty() && r.entries.empty()) return;
  const char* type = binary                   ? (request.keyType == 'N' ? "numeric" : "date")
                     : request.keyType == 'C' ? "character"
                     : nulPadded              ? "binary"
                                              : "character or undeclared";
  IndexPartVerdict part;
  part.layout = KeyWords(type, r.keyLength, r.unique, r.descending) + ", " +
                std::to_string(r.nodes) + " nodes";
  part.levels = r.depth + 1;
  Ends(r.entries, part,
       [&](const std::string& key) { return binary ? Number(OrderedDouble(key)) : TextKey(key); });
  // IDX keys of every type compare as bytes.
  if (request.lenient) part.order = OrderOf(r.entries, CompareBytes, !binary);
  verdict.parts.push_back(part);
}

void CheckNtx(const std::string& path, const CheckRequest& request, IndexVerdict& verdict) {
  kvcheck::NtxCheckOptions options;
  options.uniqueKeysDistinct = false;  // the engine's adds keep duplicates
  if (request.lenient) {
    options.equalKeysByRecord = false;
    options.checkFill = false;
    options.checkLayout = false;
    options.checkAccounting = false;
  }
  const auto r = CheckLeniently<kvcheck::NtxCheckResult>(request, [&](bool order) {
    options.checkOrder = order;
    return kvcheck::CheckNtxFile(path, options);
  });
  verdict.format = "NTX";
  verdict.error = r.error;
  if (!r.error.empty() && r.entries.empty()) return;
  IndexPartVerdict part;
  part.layout = KeyWords("text", r.keyLength, r.unique, false) + ", " + std::to_string(r.decimals) +
                " decimals, " + std::to_string(r.maxItems) + " items a page, expression " +
                r.expression;
  part.levels = r.depth + 1;
  Ends(r.entries, part, [&](const std::string& key) {
    return request.keyType == 'N' ? NtxNumber(key) : TextKey(key);
  });
  // NTX keys are texts, numbers too, compared as bytes.
  if (request.lenient) part.order = OrderOf(r.entries, CompareBytes, request.keyType != 'N');
  verdict.parts.push_back(part);
}

void CheckMdx(const std::string& path, const CheckRequest& request, IndexVerdict& verdict) {
  kvcheck::MdxCheckOptions options;
  if (request.lenient) {
    options.minimumFill = false;
    options.everyBlockKnown = false;
  }
  const auto r = CheckLeniently<kvcheck::MdxCheckResult>(request, [&](bool order) {
    options.keyOrder = order;
    return kvcheck::CheckMdxFile(path, options);
  });
  verdict.format = "MDX";
  verdict.error = r.error;
  if (!r.error.empty() && r.tags.empty()) return;
  verdict.format +=
      " (" + std::to_string(r.tags.size()) + (r.tags.size() == 1 ? " tag)" : " tags)");
  for (const kvcheck::MdxTagReport& tag : r.tags) {
    if (!request.tag.empty() && !SameName(tag.name, request.tag)) continue;
    const char* type = tag.type == 'N' ? "numeric" : tag.type == 'D' ? "date" : "character";
    IndexPartVerdict part;
    part.name = tag.name;
    part.layout = KeyWords(type, tag.keyLength, tag.unique, tag.descending) + ", expression " +
                  tag.expression;
    part.levels = tag.depth + 1;
    Ends(tag.entries, part, [&](const std::string& key) {
      if (tag.type == 'N') return Number(kvcheck::DecodeMdxNumber(key));
      if (tag.type == 'D') return NumberOrBlankDate(LittleEndianDouble(key));
      return TextKey(key);
    });
    if (request.lenient) {
      part.order = OrderOf(
          tag.entries,
          [&](const std::string& a, const std::string& b) {
            return kvcheck::CompareMdxKeys(a, b, tag.type, false);
          },
          tag.type != 'N' && tag.type != 'D');
    }
    verdict.parts.push_back(part);
  }
  if (!request.tag.empty() && verdict.parts.empty() && verdict.error.empty())
    verdict.error = "no tag " + request.tag + " in the file";
}

}  // namespace

IndexVerdict CheckIndex(const std::string& path, const CheckRequest& request) {
  IndexVerdict verdict;
  verdict.path = path;
  verdict.format = IndexKindName(request.kind);
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    verdict.error = std::filesystem::exists(path, error) ? "not a regular file" : "no such file";
    return verdict;
  }
  switch (request.kind) {
    case IndexKind::Ndx:
      CheckNdx(path, request, verdict);
      break;
    case IndexKind::Idx:
    case IndexKind::CompactIdx:
      CheckIdx(path, request, verdict);
      break;
    case IndexKind::Ntx:
      CheckNtx(path, request, verdict);
      break;
    case IndexKind::Mdx:
      CheckMdx(path, request, verdict);
      break;
  }
  return verdict;
}

void PrintVerdict(const IndexVerdict& verdict, std::FILE* out) {
  std::fprintf(out, "index      %s (%s)\n", verdict.path.c_str(), verdict.format.c_str());
  if (!verdict.error.empty()) {
    std::fprintf(out, "verdict    DAMAGED: %s\n", verdict.error.c_str());
    if (verdict.parts.empty()) return;
  } else {
    std::fprintf(out, "verdict    sound: every invariant holds\n");
  }
  for (const IndexPartVerdict& part : verdict.parts) {
    if (!part.name.empty()) std::fprintf(out, "tag        %s\n", part.name.c_str());
    std::fprintf(out, "  layout   %s\n", part.layout.c_str());
    std::fprintf(out, "  depth    %d level%s\n", part.levels, part.levels == 1 ? "" : "s");
    std::fprintf(out, "  keys     %zu\n", part.keys);
    if (!part.order.empty()) std::fprintf(out, "  order    %s\n", part.order.c_str());
    if (part.first)
      std::fprintf(out, "  first    %s  record %u\n", part.first->text.c_str(), part.first->record);
    if (part.last)
      std::fprintf(out, "  last     %s  record %u\n", part.last->text.c_str(), part.last->record);
  }
}

}  // namespace kvhost
