#include "host/index_check/ntx_invariants.h"

#include <cstring>
#include <fstream>
#include <set>

namespace kvcheck {
namespace {

constexpr uint32_t kPage = 1024;

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

class Checker {
 public:
  Checker(const std::vector<uint8_t>& bytes, const NtxCheckOptions& options, NtxCheckResult& out)
      : b_(bytes), options_(options), out_(out) {}

  bool Run() {
    if (b_.size() < 2 * kPage) return Fail("file shorter than two pages");
    if (b_.size() % kPage != 0) return Fail("file size not a multiple of 1024");
    L_ = U16(b_, 14);
    if (L_ < 1 || L_ > 100) return Fail("key length " + std::to_string(L_));
    if (U16(b_, 12) != L_ + 8) return Fail("item size is not L + 8");
    M_ = U16(b_, 18);
    const int expectM = (1020 / (L_ + 10) - 1) & ~1;
    if (M_ != expectM) return Fail("M " + std::to_string(M_) + ", want " + std::to_string(expectM));
    if (U16(b_, 20) != M_ / 2) return Fail("half page is not M / 2");
    out_.keyLength = L_;
    out_.maxItems = M_;
    out_.decimals = U16(b_, 16);
    out_.unique = b_[278] == 1;
    size_t e = 0;
    while (e < 256 && b_[22 + e] != 0) ++e;
    out_.expression.assign(reinterpret_cast<const char*>(&b_[22]), e);
    if (e == 0) return Fail("empty expression");
    const uint32_t root = U32(b_, 4);
    out_.root = root;
    if (!Valid(root)) return Fail("root offset " + std::to_string(root));
    leafDepth_ = -1;
    inTree_.assign(b_.size() / kPage, false);
    if (!Visit(root, 0, true)) return false;
    out_.depth = leafDepth_;
    if (!CheckFreeChain()) return false;
    if (options_.checkAccounting && out_.treePages + out_.freePages != b_.size() / kPage - 1) {
      return Fail("pages neither in the tree nor free: " +
                  std::to_string(b_.size() / kPage - 1 - out_.treePages - out_.freePages));
    }
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    if (out_.error.empty()) out_.error = why;
    return false;
  }
  bool Valid(uint32_t offset) const {
    return offset % kPage == 0 && offset >= kPage && offset < b_.size();
  }
  uint16_t Slot(uint32_t page, int i) const { return U16(b_, page + 2 + 2 * i); }

  bool CheckLayout(uint32_t page, int n) {
    bool places[kPage] = {};
    for (int i = 0; i <= M_; ++i) {
      const uint16_t at = Slot(page, i);
      if (at + L_ + 8 > static_cast<int>(kPage) || at < 2 * M_ + 4) {
        if (i <= n) return Fail(Where(page) + "item " + std::to_string(i) + " outside the page");
        if (options_.checkLayout) return Fail(Where(page) + "unused slot outside the page");
      }
      if (at < kPage) {
        if (places[at]) return Fail(Where(page) + "two slots share an item");
        places[at] = true;
      }
      if (options_.checkLayout && (at - (2 * M_ + 4)) % (L_ + 8) != 0) {
        return Fail(Where(page) + "slot " + std::to_string(i) + " between item places");
      }
    }
    return true;
  }
  static std::string Where(uint32_t page) { return "page " + std::to_string(page) + ": "; }

  bool Append(const NtxEntry& entry) {
    if (options_.checkOrder && !out_.entries.empty()) {
      const NtxEntry& before = out_.entries.back();
      const int c = std::memcmp(before.key.data(), entry.key.data(), L_);
      // Keys of a unique index are strictly increasing (unless duplicates
      // are allowed there); equal keys of any other index come by ascending
      // record number (unless the file is from a writer that does not keep
      // them so).
      bool inOrder = c < 0;
      if (c == 0 && !out_.unique) {
        inOrder = !options_.equalKeysByRecord || before.record < entry.record;
      } else if (c == 0) {
        inOrder = !options_.uniqueKeysDistinct;
      }
      if (!inOrder) {
        return Fail("keys out of order at entry " + std::to_string(out_.entries.size()));
      }
    }
    out_.entries.push_back(entry);
    return true;
  }

  bool Visit(uint32_t page, int depth, bool isRoot) {
    if (depth > 40) return Fail("tree deeper than 40 levels");
    if (!Valid(page)) return Fail("child offset " + std::to_string(page) + " outside the file");
    if (inTree_[page / kPage]) return Fail(Where(page) + "reached twice");
    inTree_[page / kPage] = true;
    ++out_.treePages;
    const int n = U16(b_, page);
    if (n > M_) return Fail(Where(page) + "count above M");
    if (!CheckLayout(page, n)) return false;
    const bool leaf = U32(b_, page + Slot(page, 0)) == 0;
    if (!isRoot && options_.checkFill && n < M_ / 2) {
      return Fail(Where(page) + "count " + std::to_string(n) + " below half a page");
    }
    if (isRoot && !leaf && n == 0) return Fail("interior root without keys");
    if (!isRoot && n == 0) return Fail(Where(page) + "empty page below the root");
    for (int i = 0; i <= n; ++i) {
      const uint32_t child = U32(b_, page + Slot(page, i));
      if (leaf != (child == 0)) return Fail(Where(page) + "leaf and interior items mixed");
    }
    if (leaf) {
      if (leafDepth_ < 0) leafDepth_ = depth;
      if (leafDepth_ != depth) return Fail(Where(page) + "leaves at different depths");
    }
    for (int i = 0; i <= n; ++i) {
      const size_t item = page + Slot(page, i);
      if (!leaf && !Visit(U32(b_, item), depth + 1, false)) return false;
      if (i == n) break;
      NtxEntry entry{std::string(reinterpret_cast<const char*>(&b_[item + 8]), L_),
                     U32(b_, item + 4)};
      // The subtree just walked ends right before this key in the list, so
      // checking the order of the list also checks that the key separates
      // its two subtrees.
      if (!Append(entry)) return false;
    }
    return true;
  }

  bool CheckFreeChain() {
    std::set<uint32_t> seen;
    for (uint32_t at = U32(b_, 8); at != 0; at = U32(b_, at)) {
      if (!Valid(at)) return Fail("free page offset " + std::to_string(at) + " outside the file");
      if (inTree_[at / kPage]) return Fail("free page " + std::to_string(at) + " is in the tree");
      if (!seen.insert(at).second) return Fail("free chain loops at " + std::to_string(at));
    }
    out_.freePages = static_cast<uint32_t>(seen.size());
    return true;
  }

  const std::vector<uint8_t>& b_;
  const NtxCheckOptions& options_;
  NtxCheckResult& out_;
  int L_ = 0;
  int M_ = 0;
  int leafDepth_ = -1;
  std::vector<bool> inTree_;  // by page number
};

}  // namespace

NtxCheckResult CheckNtxFile(const std::string& path, const NtxCheckOptions& options) {
  NtxCheckResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot open " + path;
    return result;
  }
  in.seekg(0, std::ios::end);
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Checker checker(bytes, options, result);
  checker.Run();
  return result;
}

}  // namespace kvcheck
