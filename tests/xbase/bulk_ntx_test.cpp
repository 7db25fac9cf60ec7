// XBDCINDEX over data files: the bulk-built NTX index and the one built key
// by key hold the same (key, record) sequence and both pass the invariant
// checker (every page but the root at least half full, fresh offset tables);
// finds work on the bulk-built index, and keys added and deleted afterwards
// (into full bulk-built pages) keep the tree sound. Page counts of one, M
// and M + 1 items, three levels, all keys equal (the build of 1,000,000
// records is with the IDX ones in bulk_idx_test.cpp).
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/bulk_idx_support.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

bool Less(const NtxEntry& a, const NtxEntry& b) {
  return a.key != b.key ? a.key < b.key : a.record < b.record;
}

bool Same(const std::vector<NtxEntry>& a, const std::vector<NtxEntry>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].key != b[i].key || a[i].record != b[i].record) return false;
  }
  return true;
}

class BulkNtx : public BulkTest {
 protected:
  void Equivalent(XBHANDLE data, const BulkKey& k, uint32_t records) {
    SCOPED_TRACE(k.name);
    const std::string bulkPath = File("bulk.ntx");
    const std::string keysPath = File("keys.ntx");
    ASSERT_EQ(XBDCINDEX(data, bulkPath.c_str(), static_cast<uint16_t>(k.type), k.expression,
                        k.length, k.decimals),
              0);
    BuildNtxByKeys(data, keysPath, k);
    const NtxCheckResult bulk = CheckNtxFile(bulkPath);
    const NtxCheckResult keys = CheckNtxFile(keysPath);
    ASSERT_EQ(bulk.error, "");
    ASSERT_EQ(keys.error, "");
    ASSERT_EQ(keys.entries.size(), records);
    ASSERT_EQ(bulk.entries.size(), keys.entries.size());
    for (size_t i = 0; i < bulk.entries.size(); ++i) {
      ASSERT_EQ(bulk.entries[i].key, keys.entries[i].key) << "entry " << i;
      ASSERT_EQ(bulk.entries[i].record, keys.entries[i].record) << "entry " << i;
    }
    EXPECT_LE(bulk.treePages, keys.treePages);
    FindAndUpdate(bulkPath, k, bulk.entries, records + 1, records);
  }

  void FindAndUpdate(const std::string& path, const BulkKey& k, std::vector<NtxEntry> entries,
                     uint32_t nextRecord, uint32_t seed) {
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    std::mt19937 rng(seed);
    const size_t L = k.length;
    std::vector<char> key(L + 1);
    std::map<std::string, uint32_t> firstRecord;
    for (const NtxEntry& e : entries) {
      auto it = firstRecord.find(e.key);
      if (it == firstRecord.end() || e.record < it->second) firstRecord[e.key] = e.record;
    }
    auto put = [&](const std::string& text) {
      std::memcpy(key.data(), text.data(), L);
      key[L] = 0;
    };
    for (int i = 0; i < 300; ++i) {
      const NtxEntry& e = entries[rng() % entries.size()];
      put(e.key);
      uint32_t r = e.record;
      ASSERT_EQ(XBDCKFIND(h, key.data(), &r, 2), 0) << "exact find " << i;
      ASSERT_EQ(r, e.record);
      put(e.key);
      r = 0;
      ASSERT_EQ(XBDCKFIND(h, key.data(), &r, 0), 0) << "key find " << i;
      ASSERT_EQ(r, firstRecord[e.key]);
    }
    std::vector<NtxEntry> expected = entries;
    for (int i = 0; i < 1500; ++i) {
      if (i % 2 == 0 && expected.size() > 1) {
        const size_t at = rng() % expected.size();
        put(expected[at].key);
        ASSERT_EQ(XBDCKDEL(h, key.data(), expected[at].record), 0) << "delete " << i;
        expected.erase(expected.begin() + static_cast<long>(at));
      } else {
        NtxEntry e = expected[rng() % expected.size()];
        e.record = nextRecord++;
        put(e.key);
        ASSERT_EQ(XBDCKADD(h, key.data(), e.record), 0) << "add " << i;
        expected.push_back(e);
      }
    }
    ASSERT_EQ(XBDCCLOSE(h), 0);
    NtxCheckResult after = CheckNtxFile(path);
    ASSERT_EQ(after.error, "");
    std::sort(expected.begin(), expected.end(), Less);
    std::sort(after.entries.begin(), after.entries.end(), Less);
    ASSERT_TRUE(Same(after.entries, expected));
  }

  XBHANDLE NameData(uint32_t records, bool allEqual) {
    const std::string path = File("names" + std::to_string(records) + ".dbf");
    WriteNameDataFile(path, records, allEqual);
    return OpenData(path);
  }

  NtxCheckResult BuildNames(XBHANDLE data, const std::string& name) {
    const std::string path = File(name);
    EXPECT_EQ(XBDCINDEX(data, path.c_str(), 'C', "NAME", 10, 0), 0);
    return CheckNtxFile(path);
  }
};

TEST_F(BulkNtx, SameSequenceAsKeyByKeyOn200000Records) {
  const std::string path = File("data.dbf");
  WriteBulkDataFile(path, 200000, 21);
  const XBHANDLE data = OpenData(path);
  // The numeric key (negative numbers become shorter texts) over the large
  // file; every key over 20,000 below.
  Equivalent(data, NtxBulkKeys()[1], 200000);
}

TEST_F(BulkNtx, SameSequenceAsKeyByKeyForEveryKey) {
  const std::string path = File("data.dbf");
  WriteBulkDataFile(path, 20000, 22);
  const XBHANDLE data = OpenData(path);
  for (const BulkKey& k : NtxBulkKeys()) Equivalent(data, k, 20000);
}

TEST_F(BulkNtx, PageCountsOfOneMAndMPlusOne) {
  const uint32_t M = 50;  // key length 10: (1020 / 20 - 1) rounded down to even
  // M * M + 1 keys fit two levels; (M + 1) * M + M (M + 1 full leaves and a
  // full root) is the most two levels hold.
  for (const uint32_t n : {1u, M, M + 1, M * M + 1, (M + 1) * M + M, (M + 1) * M + M + 1}) {
    SCOPED_TRACE(n);
    const XBHANDLE data = NameData(n, false);
    const NtxCheckResult r = BuildNames(data, "sized.ntx");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.maxItems, static_cast<int>(M));
    ASSERT_EQ(r.entries.size(), n);
    EXPECT_EQ(r.depth, n <= M ? 0 : (n <= (M + 1) * M + M ? 1 : 2));
    if (n == M + 1) {
      EXPECT_EQ(r.treePages, 3u);  // root of one key over two half leaves
    }
    if (n == (M + 1) * M + M) {
      EXPECT_EQ(r.treePages, M + 2);
    }
    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(r.entries[i].record, i + 1);
    FindAndUpdate(File("sized.ntx"), {"character", "NAME", 'C', 10, 0}, r.entries, n + 1, n);
    ASSERT_EQ(XBDDCLOSE(data), 0);
    openData_.clear();
  }
}

TEST_F(BulkNtx, AllKeysEqualInRecordOrder) {
  const uint32_t n = 50 * 50 + 1;
  const XBHANDLE data = NameData(n, true);
  const NtxCheckResult r = BuildNames(data, "equal.ntx");
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.entries.size(), n);
  for (uint32_t i = 0; i < n; ++i) {
    ASSERT_EQ(r.entries[i].record, i + 1);
    ASSERT_EQ(r.entries[i].key, NtxPadded("SAME", 10));
  }
  const BulkKey k{"character", "NAME", 'C', 10, 0};
  BuildNtxByKeys(data, File("equal-keys.ntx"), k);
  ASSERT_TRUE(Same(CheckNtxFile(File("equal-keys.ntx")).entries, r.entries));
  FindAndUpdate(File("equal.ntx"), k, r.entries, n + 1, 9);
}

TEST_F(BulkNtx, EmptyDataFileGivesAnEmptyIndex) {
  const XBHANDLE data = NameData(0, false);
  const NtxCheckResult r = BuildNames(data, "empty.ntx");
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.entries.empty());
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, File("empty.ntx").c_str(), 0), 0);
  char key[16] = {};
  uint32_t rec = 0;
  EXPECT_EQ(XBDCKTOP(h, key, &rec), 2);
  ASSERT_EQ(XBDCCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
