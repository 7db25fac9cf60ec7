// The NTX tree at work: keys in interior items with their record numbers,
// searches that end on an interior key, deletion by predecessor, offset
// slots that move while items stay, the free-page chain, equal keys across
// pages, and walks through files whose keys are not in byte order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxTree : public EngineTest {
 protected:
  // A character index of key size 10 holding "K0000", "K0002", ... (even
  // numbers only) with record number = number + 1, added in random order.
  void Build(int count, uint16_t L = 10) {
    path_ = File("tree.ntx");
    ASSERT_EQ(XBDCCREATE(path_.c_str(), 'C', "name", L, 0), 0);
    ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), 0), 0);
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) order[static_cast<size_t>(i)] = 2 * i;
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    for (int n : order) ASSERT_EQ(XBDCKADD(h_, Name(n).c_str(), static_cast<uint32_t>(n + 1)), 0);
    L_ = L;
  }
  void TearDown() override {
    if (h_ != XB_NO_HANDLE) {
      EXPECT_EQ(XBDCCLOSE(h_), 0);
    }
    EngineTest::TearDown();
  }
  static std::string Name(int n) {
    char key[16];
    std::snprintf(key, sizeof key, "K%04d", n);
    return key;
  }
  // Finds `text` with `flags`: the code, and the key and record returned.
  XBSTATUS Find(const std::string& text, uint16_t flags, std::string* key, uint32_t* record) {
    std::vector<char> buffer(L_ + 1, '\0');
    std::memcpy(buffer.data(), text.data(), std::min<size_t>(text.size(), L_));
    const XBSTATUS s = XBDCKFIND(h_, buffer.data(), record, flags);
    *key = std::string(buffer.data(), L_);
    return s;
  }
  // The keys of the root page as stored (key, record, child).
  struct RootItem {
    std::string key;
    uint32_t record, child;
  };
  std::vector<RootItem> RootItems() {
    const auto b = ReadBytes(path_);
    const uint32_t root = Get32(b, 4);
    const int n = Get16(b, root);
    std::vector<RootItem> out;
    for (int i = 0; i <= n; ++i) {
      const size_t item = root + Get16(b, root + 2 + 2 * i);
      out.push_back({std::string(reinterpret_cast<const char*>(&b[item + 8]), L_),
                     Get32(b, item + 4), Get32(b, item)});
    }
    return out;
  }

  std::string path_;
  XBHANDLE h_ = XB_NO_HANDLE;
  size_t L_ = 10;
};

TEST_F(NtxTree, InteriorItemsCarryRecordNumbersAndAreFound) {
  Build(300);
  const auto check = CheckNtxFile(path_);
  ASSERT_EQ(check.error, "");
  ASSERT_EQ(check.entries.size(), 300u);
  ASSERT_GE(check.depth, 1);
  const auto root = RootItems();
  ASSERT_GE(root.size(), 2u);
  // Every root key is one of the keys, with its own record number.
  for (size_t i = 0; i + 1 < root.size(); ++i) {
    const int n = std::stoi(root[i].key.substr(1, 4));
    EXPECT_EQ(root[i].record, static_cast<uint32_t>(n + 1));
    EXPECT_NE(root[i].child, 0u);
    // Found by itself: code 0 at the interior item.
    std::string key;
    uint32_t r = 0;
    ASSERT_EQ(Find(Name(n), 0, &key, &r), 0);
    EXPECT_EQ(key, NtxPadded(Name(n), 10));
    EXPECT_EQ(r, root[i].record);
    // Its neighbours lie in the leaves on either side.
    ASSERT_EQ(XBDCKNEXT(h_, key.data(), &r), 0);
    EXPECT_EQ(r, static_cast<uint32_t>(n + 3));
    ASSERT_EQ(XBDCKPREV(h_, key.data(), &r), 0);
    ASSERT_EQ(XBDCKPREV(h_, key.data(), &r), 0);
    EXPECT_EQ(r, static_cast<uint32_t>(n - 1));
    // A key just below it: the leaf runs out and the interior key is next,
    // so the answer is the leaf's last key with 4.
    ASSERT_EQ(Find(Name(n - 1), 0, &key, &r), 4);
    EXPECT_EQ(r, static_cast<uint32_t>(n - 1));
    // A prefix that only the interior key has.
    ASSERT_EQ(Find(Name(n).substr(0, 4), 0, &key, &r), 0);
    EXPECT_EQ(key.substr(0, 4), Name(n).substr(0, 4));
    // Exactly with its record number, and not with another.
    r = static_cast<uint32_t>(n + 1);
    ASSERT_EQ(Find(Name(n), 2, &key, &r), 0);
    r = 7777;
    ASSERT_EQ(Find(Name(n), 2, &key, &r), 4);
  }
  XBSTATUS last = 0;
  const auto walk = NtxWalkForward(h_, 10, &last);
  ASSERT_EQ(walk.size(), 300u);
  for (size_t i = 0; i < walk.size(); ++i) EXPECT_EQ(walk[i].record, 2 * i + 1);
}

TEST_F(NtxTree, FindAtTheEdgesAndWithWildcards) {
  Build(300);
  std::string key;
  uint32_t r = 0;
  EXPECT_EQ(Find("A", 0, &key, &r), 0);  // before every key: the first
  EXPECT_EQ(r, 1u);
  EXPECT_EQ(Find("Z", 0, &key, &r), 4);  // after every key: the last
  EXPECT_EQ(r, 599u);
  EXPECT_EQ(XBDCKNEXT(h_, key.data(), &r), 3);
  EXPECT_EQ(r, 599u);
  EXPECT_EQ(Find("K0101", 0, &key, &r), 4);
  EXPECT_EQ(key, NtxPadded("K0100", 10));
  EXPECT_EQ(Find("K02", 0, &key, &r), 0);  // prefix
  EXPECT_EQ(key, NtxPadded("K0200", 10));
  EXPECT_EQ(Find("K?2?0", 4, &key, &r), 0);  // '?' matches any byte
  EXPECT_EQ(key, NtxPadded("K0200", 10));
  EXPECT_EQ(Find("K?2?0", 0, &key, &r), 4);  // without the flag '?' is a byte
  EXPECT_EQ(key, NtxPadded("K0598", 10));    // above every digit
  EXPECT_EQ(Find("", 0, &key, &r), 0);       // the empty prefix matches the first key
  EXPECT_EQ(r, 1u);
  // The current key survives deleting its neighbours.
  ASSERT_EQ(Find("K0100", 0, &key, &r), 0);
  ASSERT_EQ(XBDCKDEL(h_, "K0102", 103), 0);
  ASSERT_EQ(XBDCKNEXT(h_, key.data(), &r), 0);
  EXPECT_EQ(r, 105u);
  // ...and its own deletion: next goes on after where it was.
  ASSERT_EQ(XBDCKDEL(h_, "K0104", 105), 0);
  ASSERT_EQ(XBDCKCUR(h_, key.data(), &r), 4);
  ASSERT_EQ(XBDCKNEXT(h_, key.data(), &r), 0);
  EXPECT_EQ(r, 107u);
}

TEST_F(NtxTree, DeletingAnInteriorKeyPutsItsPredecessorInItsPlace) {
  Build(300);
  const auto before = RootItems();
  ASSERT_GE(before.size(), 3u);
  const std::string victim = before[1].key;
  const int n = std::stoi(victim.substr(1, 4));
  ASSERT_EQ(XBDCKDEL(h_, victim.c_str(), static_cast<uint32_t>(n + 1)), 0);
  const auto after = RootItems();
  // Same child, the key before it (from the leaf below) in its place,
  // unless a merge below rearranged the root.
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[1].child, before[1].child);
  EXPECT_EQ(after[1].key, NtxPadded(Name(n - 2), 10));
  EXPECT_EQ(after[1].record, static_cast<uint32_t>(n - 1));
  const auto check = CheckNtxFile(path_);
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.entries.size(), 299u);
  std::string key;
  uint32_t r = 0;
  EXPECT_EQ(Find(victim, 0, &key, &r), 4);
  EXPECT_EQ(XBDCKDEL(h_, victim.c_str(), static_cast<uint32_t>(n + 1)), 4);
}

TEST_F(NtxTree, SlotsMoveItemsStay) {
  path_ = File("slots.ntx");
  ASSERT_EQ(XBDCCREATE(path_.c_str(), 'C', "name", 10, 0), 0);
  ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), 0), 0);
  // The first key of the empty root lands at item 0's place, offset 104.
  ASSERT_EQ(XBDCKADD(h_, "M", 1), 0);
  auto b = ReadBytes(path_);
  EXPECT_EQ(Get16(b, 1024), 1);
  EXPECT_EQ(Get16(b, 1026), 104);
  EXPECT_EQ(b[1024 + 104 + 8], 'M');
  // A smaller key takes the next free place; "M" stays where it was and
  // its slot moves up.
  ASSERT_EQ(XBDCKADD(h_, "A", 2), 0);
  ASSERT_EQ(XBDCKADD(h_, "C", 3), 0);
  b = ReadBytes(path_);
  EXPECT_EQ(Get16(b, 1024), 3);
  EXPECT_EQ(Get16(b, 1026), 122);  // A
  EXPECT_EQ(Get16(b, 1028), 140);  // C
  EXPECT_EQ(Get16(b, 1030), 104);  // M
  EXPECT_EQ(b[1024 + 104 + 8], 'M');
  EXPECT_EQ(Get32(b, 1024 + 104 + 4), 1u);
  // Removing "A" rotates its slot behind the used ones.
  ASSERT_EQ(XBDCKDEL(h_, "A", 2), 0);
  b = ReadBytes(path_);
  EXPECT_EQ(Get16(b, 1024), 2);
  EXPECT_EQ(Get16(b, 1026), 140);
  EXPECT_EQ(Get16(b, 1028), 104);
  EXPECT_EQ(Get16(b, 1030), 122);
  EXPECT_EQ(CheckNtxFile(path_).error, "");
}

TEST_F(NtxTree, FreedPagesAreChainedAndReused) {
  Build(400, 100);  // eight keys per page: many pages
  const auto full = CheckNtxFile(path_);
  ASSERT_EQ(full.error, "");
  const size_t size = ReadBytes(path_).size();
  for (int i = 0; i < 300; ++i) ASSERT_EQ(XBDCKDEL(h_, Name(2 * i).c_str(), 2 * i + 1), 0);
  const auto shrunk = CheckNtxFile(path_);
  ASSERT_EQ(shrunk.error, "");
  EXPECT_EQ(shrunk.entries.size(), 100u);
  EXPECT_GT(shrunk.freePages, 20u);
  auto b = ReadBytes(path_);
  EXPECT_EQ(b.size(), size);  // pages are chained, not cut off
  const uint32_t head = Get32(b, 8);
  ASSERT_NE(head, 0u);
  // The chain is followed through the first four bytes of each free page.
  EXPECT_EQ(Get32(b, head) % 1024, 0u);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(XBDCKADD(h_, Name(2 * i).c_str(), 2 * i + 1), 0);
  const auto again = CheckNtxFile(path_);
  ASSERT_EQ(again.error, "");
  EXPECT_EQ(again.entries.size(), 400u);
  // The file grew only once the chain was used up.
  if (ReadBytes(path_).size() > size) {
    EXPECT_EQ(again.freePages, 0u);
  }
  EXPECT_LT(again.freePages, shrunk.freePages);
  // A second handle on the same file sees the same chain.
  ASSERT_EQ(XBDCCLOSE(h_), 0);
  ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), XB_OPEN_SHARED), 0);
  XBHANDLE other = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&other, path_.c_str(), XB_OPEN_SHARED), 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(XBDCKDEL(other, Name(2 * i).c_str(), 2 * i + 1), 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(XBDCKADD(h_, Name(2 * i + 1).c_str(), 2 * i + 2), 0);
  EXPECT_EQ(XBDCCLOSE(other), 0);
  const auto shared = CheckNtxFile(path_);
  ASSERT_EQ(shared.error, "");
  EXPECT_EQ(shared.entries.size(), 400u);
}

TEST_F(NtxTree, EqualKeysAcrossPagesAreDeletedByRecordNumber) {
  // 500 equal keys: they fill leaves and interior items alike, in record
  // order; each one can be found and deleted exactly.
  path_ = File("dups.ntx");
  ASSERT_EQ(XBDCCREATE(path_.c_str(), 'C', "name", 100, 0), 0);
  ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), 0), 0);
  L_ = 100;
  std::vector<uint32_t> records(500);
  for (uint32_t i = 0; i < 500; ++i) records[i] = i + 1;
  std::mt19937 rng(9);
  std::shuffle(records.begin(), records.end(), rng);
  for (uint32_t r : records) ASSERT_EQ(XBDCKADD(h_, "SAME", r), 0);
  auto check = CheckNtxFile(path_);
  ASSERT_EQ(check.error, "");
  ASSERT_GE(check.depth, 2);
  for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(check.entries[i].record, i + 1);
  std::string key;
  uint32_t r = 0;
  ASSERT_EQ(Find("SAME", 0, &key, &r), 0);
  EXPECT_EQ(r, 1u);  // the first of the equal keys
  std::shuffle(records.begin(), records.end(), rng);
  for (size_t i = 0; i < records.size(); ++i) {
    r = records[i];
    ASSERT_EQ(Find("SAME", 2, &key, &r), 0) << records[i];
    ASSERT_EQ(r, records[i]);
    ASSERT_EQ(XBDCKDEL(h_, "SAME", records[i]), 0) << records[i];
    ASSERT_EQ(XBDCKDEL(h_, "SAME", records[i]), i + 1 == records.size() ? 2 : 4);
    if (i % 50 == 0) {
      ASSERT_EQ(CheckNtxFile(path_).error, "") << i;
    }
  }
  XBESCODE(0);
  check = CheckNtxFile(path_);
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.entries.size(), 0u);
}

TEST_F(NtxTree, UniqueIndexTakesDuplicatesWithoutComplaint) {
  path_ = File("unique.ntx");
  ASSERT_EQ(XBDCCREATE(path_.c_str(), 'C' | XB_NTX_UNIQUE, "name", 10, 0), 0);
  ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), 0), 0);
  ASSERT_EQ(XBDCKADD(h_, "B", 1), 0);
  ASSERT_EQ(XBDCKADD(h_, "A", 2), 0);
  ASSERT_EQ(XBDCKADD(h_, "B", 3), 0);  // goes before the equal key
  XBSTATUS last = 0;
  const auto walk = NtxWalkForward(h_, 10, &last);
  ASSERT_EQ(walk.size(), 3u);
  EXPECT_EQ(walk[1].record, 3u);
  EXPECT_EQ(walk[2].record, 1u);
  // Deleting by key only removes the first of them, whatever the record.
  ASSERT_EQ(XBDCKDEL(h_, "B", 99), 0);
  const auto rest = NtxWalkForward(h_, 10, &last);
  ASSERT_EQ(rest.size(), 2u);
  EXPECT_EQ(rest[1].record, 1u);
}

TEST_F(NtxTree, KeysOutOfByteOrderAreStillWalkedWhole) {
  // A file built with a national collating table: its keys are not in byte
  // order. Simulate one by rewriting every key's bytes through a shuffle
  // of the alphabet; the walks must still visit every key once, both ways.
  Build(400);
  ASSERT_EQ(XBDCCLOSE(h_), 0);
  h_ = XB_NO_HANDLE;
  auto b = ReadBytes(path_);
  std::mt19937 rng(3);
  std::vector<uint8_t> map(256);
  for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i);
  std::shuffle(map.begin() + '0', map.begin() + '9' + 1, rng);
  const auto good = CheckNtxFile(path_);
  ASSERT_EQ(good.error, "");
  for (uint32_t page = 1024; page < b.size(); page += 1024) {
    const int n = Get16(b, page);
    for (int i = 0; i < n; ++i) {
      const size_t item = page + Get16(b, page + 2 + 2 * i);
      for (size_t k = 0; k < 10; ++k) b[item + 8 + k] = map[b[item + 8 + k]];
    }
  }
  WriteBytes(path_, b);
  NtxCheckOptions options;
  options.checkOrder = false;
  const auto scrambled = CheckNtxFile(path_, options);
  ASSERT_EQ(scrambled.error, "");
  NtxCheckOptions strict;
  ASSERT_NE(CheckNtxFile(path_, strict).error, "");  // really out of order
  ASSERT_EQ(XBDCOPENX(&h_, path_.c_str(), XB_OPEN_READONLY), 0);
  XBSTATUS last = 0;
  const auto forward = NtxWalkForward(h_, 10, &last, 5000);
  EXPECT_EQ(last, 3);
  ASSERT_EQ(forward.size(), scrambled.entries.size());
  for (size_t i = 0; i < forward.size(); ++i) {
    EXPECT_EQ(forward[i].key, scrambled.entries[i].key);
    EXPECT_EQ(forward[i].record, scrambled.entries[i].record);
  }
  const auto backward = NtxWalkBackward(h_, 10, &last, 5000);
  EXPECT_EQ(last, 3);
  ASSERT_EQ(backward.size(), scrambled.entries.size());
  for (size_t i = 0; i < backward.size(); ++i) {
    EXPECT_EQ(backward[i].record, scrambled.entries[backward.size() - 1 - i].record);
  }
}

TEST_F(NtxTree, TheCheckerSeesDamage) {
  // The invariant checker is what the randomized tests trust: it must
  // notice each kind of damage.
  Build(300);
  ASSERT_EQ(XBDCCLOSE(h_), 0);
  h_ = XB_NO_HANDLE;
  const auto b = ReadBytes(path_);
  ASSERT_EQ(CheckNtxFile(path_).error, "");
  const uint32_t root = Get32(b, 4);
  const uint32_t child = Get32(b, root + Get16(b, root + 2));
  auto expectError = [&](std::vector<uint8_t> bytes, const char* what) {
    WriteBytes(path_, bytes);
    EXPECT_NE(CheckNtxFile(path_).error, "") << what;
  };
  auto v = b;
  std::swap(v[child + Get16(v, child + 2) + 8 + 4], v[child + Get16(v, child + 4) + 8 + 4]);
  expectError(v, "two keys swapped");
  v = b;
  Put16(v, child + 2, Get16(v, child + 4));
  expectError(v, "two slots on one item");
  v = b;
  Put16(v, child + 2, 1020);
  expectError(v, "an item outside the page");
  v = b;
  Put16(v, child, 24);
  expectError(v, "a page below half");
  v = b;
  Put32(v, 8, root);
  expectError(v, "a tree page on the free chain");
  v = b;
  v.resize(v.size() + 1024, 0);
  expectError(v, "a page neither in the tree nor free");
  v = b;
  Put32(v, root + Get16(v, root + 2), root);
  expectError(v, "a loop");
}

}  // namespace
}  // namespace kvtest
