#include "host/index_check/idx_invariants.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

namespace kvcheck {
namespace {

constexpr uint32_t kNode = 512;
constexpr uint32_t kNone = 0xFFFFFFFFu;

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

struct Entry {
  std::string key;
  uint32_t record = 0;
  uint32_t child = 0;
};

class Checker {
 public:
  Checker(std::vector<uint8_t> bytes, const IdxCheckOptions& options, IdxCheckResult* out)
      : file_(std::move(bytes)), options_(options), out_(*out) {}

  void Run() {
    out_.fileSize = file_.size();
    if (file_.size() < kNode) return Fail("file shorter than a header");
    const uint8_t* h = file_.data();
    out_.root = Le32(h);
    freeHead_ = Le32(h + 4);
    L_ = Le16(h + 12);
    out_.keyLength = L_;
    const uint8_t options = h[14];
    out_.compact = (options & 0xE0) != 0;
    out_.unique = (options & 1) != 0;
    headerSize_ = out_.compact ? 2 * kNode : kNode;
    if (file_.size() < headerSize_) return Fail("file shorter than its header");
    out_.descending = out_.compact && Le16(h + 502) == 1;
    if (L_ < 1 || L_ > 100) return Fail("key length " + std::to_string(L_));
    if (out_.compact) {
      bound_ = file_.size();
    } else {
      bound_ = Le32(h + 8);
      if (bound_ != file_.size()) {
        return Fail("end-of-file word " + std::to_string(bound_) + " but file size " +
                    std::to_string(file_.size()));
      }
    }
    if ((file_.size() - headerSize_) % kNode != 0) return Fail("file size not whole nodes");
    entrySize_ = L_ + (out_.compact ? 8 : 4);
    maxEntries_ = 500 / entrySize_;
    leafDepth_ = -1;
    Visit(out_.root, 0, true, nullptr);
    if (!out_.error.empty()) return;
    out_.depth = leafDepth_;
    if (options_.keyOrder) CheckOrder();
    if (!out_.error.empty()) return;
    CheckSiblings();
    if (!out_.error.empty()) return;
    CheckFreeList();
    if (!out_.error.empty()) return;
    const uint64_t total = (file_.size() - headerSize_) / kNode;
    if (total != static_cast<uint64_t>(out_.nodes + out_.freeNodes)) {
      Fail("file holds " + std::to_string(total) + " nodes; tree " + std::to_string(out_.nodes) +
           ", free " + std::to_string(out_.freeNodes));
    }
  }

 private:
  void Fail(const std::string& message) {
    if (out_.error.empty()) out_.error = message;
  }
  bool ValidNode(uint32_t offset) const {
    return offset % kNode == 0 && offset >= headerSize_ && uint64_t{offset} + kNode <= bound_;
  }

  bool Decode(uint32_t offset, bool leaf, std::vector<Entry>* entries) {
    const uint8_t* n = file_.data() + offset;
    const int count = Le16(n + 2);
    const std::string at = " in node " + std::to_string(offset);
    if (!(out_.compact && leaf)) {
      if (count > maxEntries_) {
        Fail("count " + std::to_string(count) + at);
        return false;
      }
      for (int i = 0; i < count; ++i) {
        const uint8_t* e = n + 12 + i * entrySize_;
        Entry x;
        x.key.assign(reinterpret_cast<const char*>(e), L_);
        if (out_.compact) {
          x.record = Be32(e + L_);
          x.child = Be32(e + L_ + 4);
        } else if (leaf) {
          x.record = Be32(e + L_);
        } else {
          x.child = Be32(e + L_);
        }
        entries->push_back(x);
      }
      return true;
    }
    const int recordBits = n[20];
    const int dupBits = n[21];
    const int trailBits = n[22];
    const int B = n[23];
    if (B < 1 || B > 8 || recordBits > 32 || recordBits + dupBits + trailBits > 8 * B) {
      Fail("descriptor widths" + at);
      return false;
    }
    const uint64_t recordMask = recordBits == 32 ? 0xFFFFFFFFu : (1ull << recordBits) - 1;
    if (Le32(n + 14) != recordMask || n[18] != (1u << dupBits) - 1 ||
        n[19] != (1u << trailBits) - 1) {
      Fail("masks disagree with widths" + at);
      return false;
    }
    uint32_t used = 0;
    uint32_t keyEnd = kNode;
    std::string previous;
    for (int i = 0; i < count; ++i) {
      uint64_t x = 0;
      for (int b = B - 1; b >= 0; --b) x = (x << 8) | n[24 + i * B + b];
      Entry e;
      e.record = static_cast<uint32_t>(x & recordMask);
      x >>= recordBits;
      const int d = static_cast<int>(x & ((1u << dupBits) - 1));
      x >>= dupBits;
      const int t = static_cast<int>(x & ((1u << trailBits) - 1));
      if (d + t > L_ || (i == 0 && d != 0)) {
        Fail("entry " + std::to_string(i) + " counts d " + std::to_string(d) + " t " +
             std::to_string(t) + at);
        return false;
      }
      const int stored = L_ - d - t;
      if (keyEnd < 24u + static_cast<uint32_t>(count * B) + stored) {
        Fail("keys overrun the descriptors" + at);
        return false;
      }
      keyEnd -= stored;
      e.key = previous.substr(0, d) +
              std::string(reinterpret_cast<const char*>(n + keyEnd), stored) +
              std::string(t, options_.pad);
      // The encoding is the shortest: d is the whole common prefix and t
      // every pad byte not in it.
      int common = 0;
      while (i > 0 && common < L_ && previous[common] == e.key[common]) ++common;
      int pads = 0;
      while (pads < L_ && e.key[L_ - 1 - pads] == options_.pad) ++pads;
      if (d != common || t != std::min(pads, L_ - d)) {
        Fail("entry " + std::to_string(i) + " not compressed as its neighbours allow" + at);
        return false;
      }
      used += B + stored;
      previous = e.key;
      entries->push_back(e);
    }
    if (Le16(n + 12) != 488 - used) {
      Fail("free bytes " + std::to_string(Le16(n + 12)) + " but entries use " +
           std::to_string(used) + at);
      return false;
    }
    return true;
  }

  // Visits the subtree at `offset`; `*last` receives its last entry.
  void Visit(uint32_t offset, int depth, bool isRoot, Entry* last) {
    if (!out_.error.empty()) return;
    const std::string at = " node " + std::to_string(offset);
    if (!ValidNode(offset)) return Fail("offset outside the file or not a node:" + at);
    if (!seen_.insert(offset).second) return Fail("reached twice:" + at);
    if (depth > 40) return Fail("too deep:" + at);
    ++out_.nodes;
    const uint8_t* n = file_.data() + offset;
    const uint16_t attributes = Le16(n);
    if (attributes > 3) return Fail("attributes " + std::to_string(attributes) + at);
    if (((attributes & 1) != 0) != isRoot) return Fail("root flag wrong:" + at);
    const bool leaf = (attributes & 2) != 0;
    std::vector<Entry> entries;
    if (!Decode(offset, leaf, &entries)) return;
    if (entries.empty() && !isRoot) return Fail("empty node below the root:" + at);
    if (!leaf && isRoot && entries.size() < 2) return Fail("interior root with one child:" + at);
    if (levels_.size() <= static_cast<size_t>(depth)) levels_.resize(depth + 1);
    levels_[depth].push_back(offset);
    if (leaf) {
      if (leafDepth_ < 0) leafDepth_ = depth;
      if (leafDepth_ != depth) return Fail("leaves at different depths:" + at);
      for (auto& e : entries) out_.entries.push_back({e.key, e.record});
      if (last != nullptr && !entries.empty()) *last = entries.back();
      return;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
      Entry childLast;
      Visit(entries[i].child, depth + 1, false, &childLast);
      if (!out_.error.empty()) return;
      if (childLast.key != entries[i].key) {
        return Fail("interior key " + std::to_string(i) + " is not its child's last key:" + at);
      }
      if (out_.compact && childLast.record != entries[i].record) {
        return Fail("interior record " + std::to_string(i) + " is not its child's last:" + at);
      }
    }
    if (last != nullptr) *last = entries.back();
  }

  void CheckOrder() {
    const auto& v = out_.entries;
    for (size_t i = 1; i < v.size(); ++i) {
      int c = std::memcmp(v[i - 1].key.data(), v[i].key.data(), L_);
      c = c < 0 ? -1 : (c > 0 ? 1 : 0);
      if (out_.descending) c = -c;
      if (c > 0) return Fail("keys out of order at entry " + std::to_string(i));
      if (c == 0 && !out_.unique && v[i - 1].record > v[i].record) {
        return Fail("equal keys not in record order at entry " + std::to_string(i));
      }
    }
  }

  void CheckSiblings() {
    for (size_t level = 0; level < levels_.size(); ++level) {
      const auto& nodes = levels_[level];
      for (size_t i = 0; i < nodes.size(); ++i) {
        const uint8_t* n = file_.data() + nodes[i];
        const uint32_t left = i == 0 ? kNone : nodes[i - 1];
        const uint32_t right = i + 1 == nodes.size() ? kNone : nodes[i + 1];
        if (Le32(n + 4) != left || Le32(n + 8) != right) {
          return Fail("sibling links of node " + std::to_string(nodes[i]) + " at level " +
                      std::to_string(level));
        }
      }
    }
  }

  void CheckFreeList() {
    uint32_t at = freeHead_;
    std::set<uint32_t> free;
    while (at != kNone && at != 0) {
      if (!ValidNode(at)) return Fail("free list names " + std::to_string(at));
      if (seen_.count(at) != 0) return Fail("free node in the tree: " + std::to_string(at));
      if (!free.insert(at).second) return Fail("free list loops at " + std::to_string(at));
      at = Le32(file_.data() + at);
    }
    out_.freeNodes = static_cast<int>(free.size());
  }

  std::vector<uint8_t> file_;
  IdxCheckOptions options_;
  IdxCheckResult& out_;
  uint32_t freeHead_ = kNone;
  int L_ = 0;
  uint32_t headerSize_ = kNode;
  uint64_t bound_ = 0;
  int entrySize_ = 0;
  int maxEntries_ = 0;
  int leafDepth_ = -1;
  std::set<uint32_t> seen_;
  std::vector<std::vector<uint32_t>> levels_;
};

}  // namespace

IdxCheckResult CheckIdxFile(const std::string& path, const IdxCheckOptions& options) {
  IdxCheckResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open " + path;
    return result;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  Checker(std::move(bytes), options, &result).Run();
  return result;
}

}  // namespace kvcheck
