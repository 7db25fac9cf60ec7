// The page writers of the IDX and NTX bulk builds on their own, fed entries
// in index order without a data file: every count of entries from 1 to 150
// with the longest keys (4 entries per IDX node, 8 items per NTX page, so
// that every way a level can end is met, several levels deep), record
// numbers too wide for a new compact leaf's descriptors, and keys added and
// deleted afterwards through the exported calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"
#include "tests/xbase/ntx_support.h"
#include "xbase/build/idx_build_pages.h"
#include "xbase/build/ntx_build_pages.h"

namespace kvtest {
namespace {

namespace bulk = kv::xb::bulk;

constexpr size_t kLong = 100;

struct Entry {
  std::string key;
  uint32_t record;
};

// `count` entries of 100-byte blank-padded keys (some equal, lengths
// varied) in ascending or descending key order, equal keys by record.
std::vector<Entry> Entries(size_t count, uint32_t seed, bool descending, uint32_t highest) {
  std::mt19937 rng(seed);
  std::vector<Entry> out;
  for (size_t i = 0; i < count; ++i) {
    std::string key = "E" + std::to_string(rng() % (count / 2 + 1));
    key.append(rng() % 60, static_cast<char>('a' + rng() % 3));
    key.resize(kLong, ' ');
    out.push_back({key, 1 + static_cast<uint32_t>(rng() % highest)});
  }
  std::sort(out.begin(), out.end(), [descending](const Entry& a, const Entry& b) {
    if (a.key != b.key) return descending ? a.key > b.key : a.key < b.key;
    return a.record < b.record;
  });
  // Key and record together are unique, as in any index built from records.
  out.erase(std::unique(out.begin(), out.end(),
                        [](const Entry& a, const Entry& b) {
                          return a.key == b.key && a.record == b.record;
                        }),
            out.end());
  return out;
}

class BulkPages : public EngineTest {
 protected:
  void IdxWriter(uint16_t flags, size_t count, uint32_t highest, bool update) {
    SCOPED_TRACE("flags " + std::to_string(flags) + ", " + std::to_string(count) + " entries");
    const std::string path = File("pages.idx");
    std::remove(path.c_str());
    ASSERT_EQ(XBDICREATE(path.c_str(), static_cast<uint16_t>('C' | flags), "NAME", kLong), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, 'C'), 0);
    const bool descending = (flags & XB_IDX_DESCENDING) != 0;
    std::vector<Entry> entries = Entries(count, static_cast<uint32_t>(count), descending, highest);
    {
      kv::xb::idx::IdxIndex* ix = kv::xb::idx::SelectIndex(h);
      ASSERT_NE(ix, nullptr);
      bulk::IdxPageWriter writer(*ix);
      for (const Entry& e : entries) {
        ASSERT_EQ(writer.Add(reinterpret_cast<const uint8_t*>(e.key.data()), e.record), 0);
      }
      ASSERT_EQ(writer.Finish(), 0);
    }
    ASSERT_EQ(XBDICLOSE(h), 0);
    const IdxCheckResult r = CheckIdxFile(path);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(r.entries[i].key, entries[i].key) << i;
      ASSERT_EQ(r.entries[i].record, entries[i].record) << i;
    }
    if (!update) return;
    // Adds into the full nodes, deletes until a few are left.
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, 'C'), 0);
    std::mt19937 rng(7);
    const size_t built = entries.size();
    for (size_t i = 0; i < built; ++i) {
      Entry e = entries[rng() % built];
      e.record = highest + 1 + static_cast<uint32_t>(i);
      ASSERT_EQ(XBDIKADD(h, e.key.c_str(), e.record), 0);
      entries.push_back(e);
    }
    std::shuffle(entries.begin(), entries.end(), rng);
    while (entries.size() > 3) {
      ASSERT_EQ(XBDIKDEL(h, entries.back().key.c_str(), entries.back().record), 0);
      entries.pop_back();
    }
    ASSERT_EQ(XBDICLOSE(h), 0);
    const IdxCheckResult after = CheckIdxFile(path);
    ASSERT_EQ(after.error, "");
    ASSERT_EQ(after.entries.size(), 3u);
  }

  void NtxWriter(size_t count, bool update) {
    SCOPED_TRACE(std::to_string(count) + " entries");
    const std::string path = File("pages.ntx");
    std::remove(path.c_str());
    ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "NAME", kLong, 0), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    std::vector<Entry> entries = Entries(count, static_cast<uint32_t>(count), false, 1000000);
    {
      kv::xb::ntx::NtxIndex* ix = kv::xb::ntx::SelectIndex(h);
      ASSERT_NE(ix, nullptr);
      ASSERT_EQ(ix->maxItems, 8);
      bulk::NtxPageWriter writer(*ix);
      for (const Entry& e : entries) {
        ASSERT_EQ(writer.Add(reinterpret_cast<const uint8_t*>(e.key.data()), e.record), 0);
      }
      ASSERT_EQ(writer.Finish(), 0);
    }
    ASSERT_EQ(XBDCCLOSE(h), 0);
    const NtxCheckResult r = CheckNtxFile(path);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(r.entries[i].key, entries[i].key) << i;
      ASSERT_EQ(r.entries[i].record, entries[i].record) << i;
    }
    if (!update) return;
    ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    std::mt19937 rng(8);
    const size_t built = entries.size();
    for (size_t i = 0; i < built; ++i) {
      Entry e = entries[rng() % built];
      e.record = 2000000 + static_cast<uint32_t>(i);
      ASSERT_EQ(XBDCKADD(h, e.key.c_str(), e.record), 0);
      entries.push_back(e);
    }
    std::shuffle(entries.begin(), entries.end(), rng);
    while (entries.size() > 3) {
      ASSERT_EQ(XBDCKDEL(h, entries.back().key.c_str(), entries.back().record), 0);
      entries.pop_back();
    }
    ASSERT_EQ(XBDCCLOSE(h), 0);
    const NtxCheckResult after = CheckNtxFile(path);
    ASSERT_EQ(after.error, "");
    ASSERT_EQ(after.entries.size(), std::min<size_t>(3, 2 * built));
  }
};

TEST_F(BulkPages, IdxEveryCountUpTo150InEachForm) {
  for (const uint16_t flags : {0, XB_IDX_COMPACT, XB_IDX_COMPACT | XB_IDX_DESCENDING}) {
    for (size_t n = 1; n <= 150; ++n) IdxWriter(static_cast<uint16_t>(flags), n, 1000, n % 10 == 0);
    if (HasFatalFailure()) return;
  }
}

// A new compact leaf for a key of 100 bytes keeps 10 bits for record numbers
// (3-byte descriptors): larger ones widen the descriptors of the leaf.
TEST_F(BulkPages, CompactLeavesWidenForLargeRecordNumbers) {
  IdxWriter(XB_IDX_COMPACT, 3000, 0x7FFFFFFF, true);
  IdxWriter(XB_IDX_COMPACT | XB_IDX_DESCENDING, 3000, 1u << 20, true);
}

TEST_F(BulkPages, NtxEveryCountUpTo150) {
  for (size_t n = 1; n <= 150; ++n) {
    NtxWriter(n, n % 10 == 0 || n < 20);
    if (HasFatalFailure()) return;
  }
  NtxWriter(3000, true);
}

}  // namespace
}  // namespace kvtest
