// Walks over files whose stored order is not this engine's order, as files
// of another engine's collation are: each family writes an index, the test
// reverses the entries of every leaf on disk (the tree's shape and every
// interior page stay as they were) and walks it both ways. Every stored
// entry must come exactly once, in the stored order the test reads from the
// pages itself, and the walk must end with 3. A find lands where this
// engine's comparison puts it; walking on from there ends as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"
#include "tests/xbase/mdx_support.h"
#include "tests/xbase/ndx_support.h"
#include "tests/xbase/ntx_support.h"
#include "xbase/frame/engine.h"
#include "xbase/index/idx/idx_index.h"
#include "xbase/index/idx/idx_node.h"

namespace kvtest {
namespace {

using Entry = std::pair<std::string, uint32_t>;
using Entries = std::vector<Entry>;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
         uint32_t{b.at(at + 3)} << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
void PutLe16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

// Swaps entries i and count - 1 - i of `count` fixed entries of `size` bytes.
void ReverseEntries(std::vector<uint8_t>& b, size_t first, size_t size, int count) {
  for (int i = 0, j = count - 1; i < j; ++i, --j) {
    std::swap_ranges(b.begin() + static_cast<ptrdiff_t>(first + i * size),
                     b.begin() + static_cast<ptrdiff_t>(first + (i + 1) * size),
                     b.begin() + static_cast<ptrdiff_t>(first + j * size));
  }
}

// Distinct keys in mixed case over distinct records, enough for three
// levels in every family.
std::string KeyOf(uint32_t n) {
  static const char kLetters[] = "aBcDeFgHiJkLmNoPqRsTuVwXyZ";
  std::string k;
  uint32_t x = n * 2654435761u;
  for (int i = 0; i < 8; ++i) {
    k += kLetters[x % 26];
    x = x / 26 + n;
  }
  return k;
}
constexpr uint32_t kEntries = 1500;

// A walk both ways through callbacks, each bounded by twice the entries so
// that a walk going round fails instead of hanging.
struct Walker {
  std::function<XBSTATUS(char*, uint32_t*)> top, bottom, next, previous;
  std::function<XBSTATUS(char*, uint32_t*, uint16_t)> find;
  size_t keyBytes;
};

void ExpectWalks(const Walker& w, const Entries& stored) {
  ASSERT_EQ(stored.size(), kEntries);
  std::vector<char> key(w.keyBytes + 2);
  uint32_t r = 0;
  for (bool forward : {true, false}) {
    Entries seen;
    XBSTATUS s = forward ? w.top(key.data(), &r) : w.bottom(key.data(), &r);
    while (s == 0 && seen.size() < 2 * stored.size()) {
      seen.push_back({std::string(key.data(), w.keyBytes), r});
      s = forward ? w.next(key.data(), &r) : w.previous(key.data(), &r);
    }
    EXPECT_EQ(s, XB_KEY_EDGE) << (forward ? "forward" : "backward");
    if (!forward) std::reverse(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), stored.size()) << (forward ? "forward" : "backward");
    EXPECT_TRUE(seen == stored) << (forward ? "forward" : "backward");
  }
  for (size_t i = 0; i < stored.size(); i += 97) {
    std::memcpy(key.data(), stored[i].first.data(), w.keyBytes);
    key[w.keyBytes] = '\0';
    r = stored[i].second;
    // Found (0) or not (4, positioned on a neighbour): either way a current
    // key to walk on from.
    XBSTATUS s = w.find(key.data(), &r, XB_FIND_EXACT);
    ASSERT_TRUE(s == 0 || s == XB_KEY_NOT_FOUND) << s;
    size_t steps = 0;
    do {
      s = w.next(key.data(), &r);
    } while (s == 0 && ++steps <= stored.size());
    EXPECT_EQ(s, XB_KEY_EDGE) << "walk on from the find of entry " << i;
  }
}

class StoredOrder : public EngineTest {};

// NDX: pages of 512 bytes, a count in the first byte, entries from offset 4
// of (child, record, key); a leaf's first child is 0.
TEST_F(StoredOrder, NdxLeavesInAnotherOrder) {
  const std::string path = File("names.ndx");
  ASSERT_EQ(XBDNCREATE(path.c_str(), 'C', "NAME", 8), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  for (uint32_t r = 1; r <= kEntries; ++r) ASSERT_EQ(XBDNKADD(h, KeyOf(r).c_str(), r), 0);
  ASSERT_EQ(XBDNCLOSE(h), 0);
  std::vector<uint8_t> b = IdxBytes(path);
  const size_t entrySize = Le16(b, 18);
  Entries stored;
  int depth = 0;
  std::function<void(uint32_t, int)> visit = [&](uint32_t page, int level) {
    ASSERT_LT(level, 10);
    depth = std::max(depth, level);
    const size_t at = size_t{page} * 512;
    const int count = b.at(at);
    if (Le32(b, at + 4) == 0) {
      ReverseEntries(b, at + 4, entrySize, count);
      for (int i = 0; i < count; ++i) {
        const size_t e = at + 4 + i * entrySize;
        stored.push_back({std::string(b.begin() + e + 8, b.begin() + e + 16), Le32(b, e + 4)});
      }
      return;
    }
    for (int i = 0; i <= count; ++i) visit(Le32(b, at + 4 + i * entrySize), level + 1);
  };
  visit(Le32(b, 0), 0);
  ASSERT_GE(depth, 2);
  IdxWriteBytes(path, b);
  EXPECT_NE(CheckNdxFile(path, {}).error, "") << "the checker must see the order broken";
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  Walker w{[&](char* k, uint32_t* r) { return XBDNKTOP(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDNKBOT(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDNKNEXT(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDNKPREV(h, k, r); },
           [&](char* k, uint32_t* r, uint16_t f) { return XBDNKFIND(h, k, r, f); },
           8};
  ExpectWalks(w, stored);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

// NTX: pages of 1024 bytes with a table of item offsets; keys live in
// interior pages too, so the stored order is the in-order walk of the
// tree. The leaves' offset tables are reversed.
TEST_F(StoredOrder, NtxLeavesInAnotherOrder) {
  const std::string path = File("names.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "NAME", 8, 0), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  for (uint32_t r = 1; r <= kEntries; ++r) ASSERT_EQ(XBDCKADD(h, KeyOf(r).c_str(), r), 0);
  ASSERT_EQ(XBDCCLOSE(h), 0);
  std::vector<uint8_t> b = IdxBytes(path);
  Entries stored;
  int depth = 0;
  std::function<void(uint32_t, int)> visit = [&](uint32_t page, int level) {
    ASSERT_LT(level, 10);
    depth = std::max(depth, level);
    const int count = Le16(b, page);
    auto item = [&](int i) { return page + size_t{Le16(b, page + 2 + 2 * size_t(i))}; };
    const bool leaf = Le32(b, item(0)) == 0;
    if (leaf) {
      for (int i = 0, j = count - 1; i < j; ++i, --j) {
        const uint16_t a = Le16(b, page + 2 + 2 * size_t(i));
        PutLe16(b, page + 2 + 2 * size_t(i), Le16(b, page + 2 + 2 * size_t(j)));
        PutLe16(b, page + 2 + 2 * size_t(j), a);
      }
    }
    for (int i = 0; i < count; ++i) {
      if (!leaf) visit(Le32(b, item(i)), level + 1);
      const size_t e = item(i);
      stored.push_back({std::string(b.begin() + e + 8, b.begin() + e + 16), Le32(b, e + 4)});
    }
    if (!leaf) visit(Le32(b, item(count)), level + 1);
  };
  visit(Le32(b, 4), 0);
  ASSERT_GE(depth, 1);
  IdxWriteBytes(path, b);
  EXPECT_NE(CheckNtxFile(path, {}).error, "") << "the checker must see the order broken";
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  Walker w{[&](char* k, uint32_t* r) { return XBDCKTOP(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDCKBOT(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDCKNEXT(h, k, r); },
           [&](char* k, uint32_t* r) { return XBDCKPREV(h, k, r); },
           [&](char* k, uint32_t* r, uint16_t f) { return XBDCKFIND(h, k, r, f); },
           8};
  ExpectWalks(w, stored);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

// MDX: blocks of 512 bytes per unit, a count at 0 and entries from 8 of
// (pointer, key), E bytes each; a leaf's pointer after its last key is 0.
// Both block sizes and both orders of a tag.
TEST_F(StoredOrder, MdxLeavesInAnotherOrder) {
  for (uint16_t units : {1, 2}) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE("units " + std::to_string(units) + (descending ? ", descending" : ""));
      const std::string path =
          File("names" + std::to_string(units) + (descending ? "d" : "") + ".mdx");
      ASSERT_EQ(XBDMCREATE(path.c_str(), units), 0);
      XBHANDLE h = XB_NO_HANDLE;
      ASSERT_EQ(XBDMOPENX(&h, path.c_str(), 0), 0);
      ASSERT_EQ(XBDMTNEW(h, "NAME", descending ? 'C' | XB_MDX_DESCENDING : 'C', "NAME", 8), 0);
      XBTAGHANDLE t = 0;
      ASSERT_EQ(XBDMTUSE(&t, h, "NAME"), 0);
      for (uint32_t r = 1; r <= kEntries; ++r) ASSERT_EQ(XBDMKADD(t, KeyOf(r).c_str(), r), 0);
      ASSERT_EQ(XBDMCLOSE(h), 0);
      const MdxCheckResult before = CheckMdxFile(path);
      ASSERT_EQ(before.error, "");
      ASSERT_EQ(before.tags.size(), 1u);
      std::vector<uint8_t> b = IdxBytes(path);
      const size_t entrySize = Le16(b, size_t{before.tags[0].headerBlock} * 512 + 18);
      Entries stored;
      int depth = 0;
      std::function<void(uint32_t, int)> visit = [&](uint32_t block, int level) {
        ASSERT_LT(level, 10);
        depth = std::max(depth, level);
        const size_t at = size_t{block} * 512;
        const int count = Le16(b, at);
        auto pointer = [&](int i) { return Le32(b, at + 8 + i * entrySize); };
        if (pointer(count) == 0) {
          ReverseEntries(b, at + 8, entrySize, count);
          for (int i = 0; i < count; ++i) {
            const size_t e = at + 8 + i * entrySize;
            stored.push_back({std::string(b.begin() + e + 4, b.begin() + e + 12), pointer(i)});
          }
          return;
        }
        for (int i = 0; i <= count; ++i) visit(pointer(i), level + 1);
      };
      visit(before.tags[0].root, 0);
      ASSERT_GE(depth, units == 1 ? 2 : 1);
      IdxWriteBytes(path, b);
      EXPECT_NE(CheckMdxFile(path).error, "") << "the checker must see the order broken";
      ASSERT_EQ(XBDMOPENX(&h, path.c_str(), 0), 0);
      ASSERT_EQ(XBDMTUSE(&t, h, "NAME"), 0);
      Walker w{[&](char* k, uint32_t* r) { return XBDMKTOP(t, k, r); },
               [&](char* k, uint32_t* r) { return XBDMKBOT(t, k, r); },
               [&](char* k, uint32_t* r) { return XBDMKNEXT(t, k, r); },
               [&](char* k, uint32_t* r) { return XBDMKPREV(t, k, r); },
               [&](char* k, uint32_t* r, uint16_t f) { return XBDMKFIND(t, k, r, f); },
               8};
      ExpectWalks(w, stored);
      EXPECT_EQ(XBDMCLOSE(h), 0);
    }
  }
}

// IDX, both forms: the compact form's leaves hold compressed keys and
// bit-packed record numbers, so the leaves are rewritten through the
// engine's node codec; the stored order is then read from the decoded
// nodes.
TEST_F(StoredOrder, IdxLeavesInAnotherOrder) {
  for (uint16_t form : {uint16_t{0}, uint16_t{XB_IDX_COMPACT}}) {
    SCOPED_TRACE(form ? "compact" : "standard");
    const std::string path = File(form ? "compact.idx" : "standard.idx");
    ASSERT_EQ(XBDICREATE(path.c_str(), static_cast<uint16_t>('C' | form), "NAME", 8), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, 'C'), 0);
    for (uint32_t r = 1; r <= kEntries; ++r) ASSERT_EQ(XBDIKADD(h, KeyOf(r).c_str(), r), 0);
    ASSERT_EQ(XBDICLOSE(h), 0);
    // A handle on the file gives the codec the index's key length and form.
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), XB_OPEN_READONLY), 0);
    kv::xb::Slot* slot = kv::xb::FindContext()->handles.Get(h);
    ASSERT_NE(slot, nullptr);
    ASSERT_EQ(slot->type, kv::xb::SlotType::Idx);
    const auto& ix = *static_cast<kv::xb::idx::IdxIndex*>(slot->block.get());
    std::vector<uint8_t> b = IdxBytes(path);
    auto node = std::make_unique<kv::xb::idx::Node>();
    Entries stored;
    int depth = 0;
    std::function<void(uint32_t, int)> visit = [&](uint32_t offset, int level) {
      ASSERT_LT(level, 10);
      depth = std::max(depth, level);
      ASSERT_LE(size_t{offset} + 512, b.size());
      ASSERT_TRUE(kv::xb::idx::DecodeNode(ix, b.data() + offset, node.get()));
      const int count = node->count;
      if (!node->leaf()) {
        const std::vector<uint32_t> children(node->children, node->children + count);
        for (uint32_t child : children) visit(child, level + 1);
        return;
      }
      for (int i = 0, j = count - 1; i < j; ++i, --j) {
        std::swap_ranges(node->keys + i * 8, node->keys + i * 8 + 8, node->keys + j * 8);
        std::swap(node->records[i], node->records[j]);
      }
      ASSERT_TRUE(kv::xb::idx::NodeFits(ix, node.get()));
      kv::xb::idx::EncodeNode(ix, *node, b.data() + offset);
      for (int i = 0; i < count; ++i) {
        stored.push_back(
            {std::string(node->keys + i * 8, node->keys + i * 8 + 8), node->records[i]});
      }
    };
    visit(Le32(b, 0), 0);
    ASSERT_EQ(XBDICLOSE(h), 0);
    ASSERT_GE(depth, 2);
    IdxWriteBytes(path, b);
    EXPECT_NE(CheckIdxFile(path, {}).error, "") << "the checker must see the order broken";
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, 'C'), 0);
    Walker w{[&](char* k, uint32_t* r) { return XBDIKTOP(h, k, r); },
             [&](char* k, uint32_t* r) { return XBDIKBOT(h, k, r); },
             [&](char* k, uint32_t* r) { return XBDIKNEXT(h, k, r); },
             [&](char* k, uint32_t* r) { return XBDIKPREV(h, k, r); },
             [&](char* k, uint32_t* r, uint16_t f) { return XBDIKFIND(h, k, r, f); },
             8};
    ExpectWalks(w, stored);
    EXPECT_EQ(XBDICLOSE(h), 0);
  }
}

}  // namespace
}  // namespace kvtest
