#include "host/index_check/ndx_invariants.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace kvcheck {
namespace {

// The collating order written out once more, from the published table, so
// that the check does not share the engine's copy.
const char kCollating[] =
    "\x20\x30\x31\x32\x33\x34\x35\x36\x37\x38\x39\x41\xC4\xC5\x42\x43\xC7\x44\x45\xC9\x46\x47"
    "\x48\x49\x4A\x4B\x4C\x4D\x4E\xD1\x4F\xD6\x50\x51\x52\x53\x54\x55\xDC\x56\x57\x58\x59\x5A"
    "\x61\xE1\xE0\xE2\xE4\xE5\x62\x63\xE7\x64\x65\xE9\xE8\xEA\xEB\x66\x67\x68\x69\xED\xEC\xEE"
    "\xEF\x6A\x6B\x6C\x6D\x6E\xF1\x6F\xF3\xF2\xF4\xF6\x70\x71\x72\x73\x74\x75\xFA\xF9\xFB\xFC"
    "\x76\x77\x78\x79\xFF\x7A\x28\x29\x5B\x5D\x7B\x7D\x3C\x3E\x3D\x2B\x2D\x25\x2A\x2E\x2C\x3B"
    "\x3A\x3F\x21\x2F\x5C\x7C\x40\x26\x23\x24\xA3\x22\x60\x27\x5E\x7E\x5F\xB5\xB0\xA8";

int Rank(uint8_t c) {
  const void* p = std::memchr(kCollating, c, sizeof kCollating - 1);
  return p == nullptr ? 1000 : static_cast<int>(static_cast<const char*>(p) - kCollating);
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

double AsDouble(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= uint64_t{static_cast<uint8_t>(key[i])} << (8 * i);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

class Checker {
 public:
  Checker(const std::vector<uint8_t>& file, const NdxCheckOptions& options, NdxCheckResult& out)
      : file_(file), options_(options), out_(out) {}

  std::string Run() {
    if (file_.size() < 512) return "file shorter than its header";
    const uint8_t* h = file_.data();
    out_.root = Le32(h);
    out_.endPage = Le32(h + 4);
    out_.keyLength = Le16(h + 12);
    out_.keysPerPage = Le16(h + 14);
    out_.keyType = Le16(h + 16);
    E_ = Le16(h + 18);
    out_.unique = h[23] == 1;
    L_ = out_.keyLength;
    K_ = out_.keysPerPage;
    if (L_ < 1 || L_ > 100) return "key length out of range";
    if (E_ < L_ + 8 || K_ < 2 || K_ * E_ > 508) return "entry size or K out of range";
    if (uint64_t{out_.endPage} * 512 > file_.size()) return "end page beyond the file";
    if (options_.compacted && uint64_t{out_.endPage} * 512 != file_.size())
      return "file size is not end page x 512";
    if (out_.root < 1 || out_.root >= out_.endPage) return "root outside the file";
    std::string e = Walk(out_.root, 0, nullptr);
    if (!e.empty()) return e;
    if (options_.keyOrder) e = CheckOrder();
    if (!e.empty()) return e;
    e = CheckFreeChain();
    if (!e.empty()) return e;
    if (options_.compacted && seen_.size() != out_.endPage - 1)
      return "pages outside the tree after close: " +
             std::to_string(out_.endPage - 1 - seen_.size());
    return {};
  }

 private:
  const uint8_t* Page(uint32_t n) const { return file_.data() + size_t{n} * 512; }
  std::string Key(const uint8_t* page, int i) const {
    return std::string(reinterpret_cast<const char*>(page + 12 + i * E_), L_);
  }
  int Compare(const std::string& a, const std::string& b) const {
    return CompareStoredKeys(a, b, out_.keyType, options_.asciiSort);
  }

  // Walks the subtree of `n`; `greatest` receives its greatest key (empty
  // pointer result: no key).
  std::string Walk(uint32_t n, int depth, std::string* greatest) {
    std::ostringstream where;
    where << "page " << n << ": ";
    if (n < 1 || n >= out_.endPage) return where.str() + "outside the file";
    if (!seen_.insert(n).second) return where.str() + "reached twice";
    if (depth > 64) return where.str() + "too deep";
    const uint8_t* p = Page(n);
    const int count = p[0];
    if (p[1] != 0 || p[2] != 0 || p[3] != 0) return where.str() + "count's high bytes not 0";
    if (count > K_) return where.str() + "count above K";
    const bool leaf = Le32(p + 4) == 0;
    if (leaf) {
      if (count == 0 && n != out_.root) return where.str() + "empty leaf below the root";
      if (leafDepth_ < 0) leafDepth_ = depth;
      if (leafDepth_ != depth) return where.str() + "leaves at different depths";
      for (int i = 0; i < count; ++i) {
        if (Le32(p + 4 + i * E_) != 0) return where.str() + "child in a leaf";
        out_.entries.push_back({Key(p, i), Le32(p + 8 + i * E_)});
      }
      if (greatest != nullptr && count > 0) *greatest = Key(p, count - 1);
      return {};
    }
    if (count == 0) return where.str() + "interior page without keys";
    out_.depth = std::max(out_.depth, depth + 1);
    for (int i = 0; i <= count; ++i) {
      std::string sub;
      const size_t before = out_.entries.size();
      std::string e = Walk(Le32(p + 4 + i * E_), depth + 1, &sub);
      if (!e.empty()) return e;
      if (i < count) {
        if (Le32(p + 8 + i * E_) != 0) return where.str() + "record number in an interior page";
        if (out_.entries.size() == before) return where.str() + "empty subtree";
        if (Compare(Key(p, i), sub) != 0 || Key(p, i) != sub)
          return where.str() + "key " + std::to_string(i) + " is not its subtree's greatest";
      } else if (greatest != nullptr) {
        *greatest = sub;
      }
    }
    return {};
  }

  std::string CheckOrder() const {
    const auto& v = out_.entries;
    for (size_t i = 1; i < v.size(); ++i) {
      const int c = Compare(v[i - 1].key, v[i].key);
      if (c > 0) return "keys out of order at entry " + std::to_string(i);
      if (c == 0 && !out_.unique && v[i - 1].record > v[i].record)
        return "equal keys not in record order at entry " + std::to_string(i);
    }
    return {};
  }

  std::string CheckFreeChain() {
    std::set<uint32_t> chain;
    for (uint32_t n = options_.freeHead; n != 0;) {
      if (n < 1 || n >= out_.endPage) return "free page outside the file";
      if (seen_.count(n) != 0) return "free page in the tree";
      if (!chain.insert(n).second) return "free chain loops";
      const uint8_t* p = Page(n);
      if (p[0] != 0xFF) return "free page without its mark";
      n = Le32(p + 4);
    }
    out_.freePages = static_cast<uint32_t>(chain.size());
    return {};
  }

  const std::vector<uint8_t>& file_;
  const NdxCheckOptions& options_;
  NdxCheckResult& out_;
  int L_ = 0;
  int K_ = 0;
  int E_ = 0;
  int leafDepth_ = -1;
  std::set<uint32_t> seen_;
};

}  // namespace

int CompareStoredKeys(const std::string& a, const std::string& b, int keyType, int asciiSort) {
  if (keyType == 1) {
    const double x = AsDouble(a);
    const double y = AsDouble(b);
    return x < y ? -1 : (x > y ? 1 : 0);
  }
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint8_t x = static_cast<uint8_t>(a[i]);
    const uint8_t y = static_cast<uint8_t>(b[i]);
    if (x == y) continue;
    if (asciiSort != 0) return x < y ? -1 : 1;
    const int rx = Rank(x);
    const int ry = Rank(y);
    if (rx != ry) return rx < ry ? -1 : 1;
  }
  return 0;
}

NdxCheckResult CheckNdxFile(const std::string& path, const NdxCheckOptions& options) {
  NdxCheckResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot read " + path;
    return result;
  }
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Checker checker(file, options, result);
  result.error = checker.Run();
  return result;
}

}  // namespace kvcheck
