// XBDIINDEX over data files: the bulk-built index and the one built key by
// key hold the same (key, record) sequence and both pass the invariant
// checker, in the standard form and the compact form ascending and
// descending; finds work on the bulk-built index, and keys added and deleted
// afterwards (into full bulk-built nodes) keep the tree sound. Node counts
// of one, K and K + 1 entries, three levels, all keys equal, and one build
// of 1,000,000 records (with the NTX one).
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/bulk_idx_support.h"
#include "tests/xbase/idx_support.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

struct IdxForm {
  const char* name;
  uint16_t flags;
};

const IdxForm kStandard{"standard", 0};
const IdxForm kCompact{"compact", XB_IDX_COMPACT};
const IdxForm kDescending{"compact descending", XB_IDX_COMPACT | XB_IDX_DESCENDING};

uint16_t Word(const IdxForm& form, const BulkKey& k) {
  return static_cast<uint16_t>(k.type | form.flags);
}

IdxCheckOptions OptionsFor(const BulkKey& k) {
  IdxCheckOptions o;
  o.pad = k.type == 'C' ? ' ' : '\0';
  return o;
}

bool Less(const IdxEntry& a, const IdxEntry& b) {
  return a.key != b.key ? a.key < b.key : a.record < b.record;
}

class BulkIdx : public BulkTest {
 protected:
  // The bulk-built index against the key-by-key one over the data file.
  void Equivalent(XBHANDLE data, const IdxForm& form, const BulkKey& k, uint32_t records) {
    SCOPED_TRACE(std::string(form.name) + " " + k.name);
    const std::string bulkPath = File("bulk.idx");
    const std::string keysPath = File("keys.idx");
    ASSERT_EQ(XBDIINDEX(data, bulkPath.c_str(), Word(form, k), k.expression, k.length), 0);
    BuildIdxByKeys(data, keysPath, Word(form, k), k);
    const IdxCheckResult bulk = CheckIdxFile(bulkPath, OptionsFor(k));
    const IdxCheckResult keys = CheckIdxFile(keysPath, OptionsFor(k));
    ASSERT_EQ(bulk.error, "");
    ASSERT_EQ(keys.error, "");
    ASSERT_EQ(bulk.compact, (form.flags & XB_IDX_COMPACT) != 0);
    ASSERT_EQ(bulk.descending, (form.flags & XB_IDX_DESCENDING) != 0);
    ASSERT_EQ(keys.entries.size(), records);
    ASSERT_EQ(bulk.entries.size(), keys.entries.size());
    for (size_t i = 0; i < bulk.entries.size(); ++i) {
      ASSERT_TRUE(bulk.entries[i] == keys.entries[i]) << "entry " << i;
    }
    // Full nodes: the bulk-built tree has no more nodes than the other.
    EXPECT_LE(bulk.nodes, keys.nodes);
    FindAndUpdate(bulkPath, k, bulk.entries, records + 1, records);
  }

  // Exact and key-only finds of sampled entries, then deletes and adds that
  // land in full nodes; the tree must stay sound and hold what is expected.
  void FindAndUpdate(const std::string& path, const BulkKey& k, std::vector<IdxEntry> entries,
                     uint32_t nextRecord, uint32_t seed) {
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, static_cast<uint16_t>(k.type)), 0);
    std::mt19937 rng(seed);
    const size_t L = k.length;
    std::vector<char> key(L + 1);
    std::map<std::string, uint32_t> firstRecord;
    for (const IdxEntry& e : entries) {
      auto it = firstRecord.find(e.key);
      if (it == firstRecord.end() || e.record < it->second) firstRecord[e.key] = e.record;
    }
    for (int i = 0; i < 300; ++i) {
      const IdxEntry& e = entries[rng() % entries.size()];
      std::memcpy(key.data(), e.key.data(), L);
      key[L] = 0;
      uint32_t r = e.record;
      ASSERT_EQ(XBDIKFIND(h, key.data(), &r, 2), 0) << "exact find " << i;
      ASSERT_EQ(r, e.record);
      std::memcpy(key.data(), e.key.data(), L);
      r = 0;
      ASSERT_EQ(XBDIKFIND(h, key.data(), &r, 0), 0) << "key find " << i;
      ASSERT_EQ(r, firstRecord[e.key]);
    }
    std::vector<IdxEntry> expected = entries;
    for (int i = 0; i < 1500; ++i) {
      if (i % 2 == 0 && expected.size() > 1) {
        const size_t at = rng() % expected.size();
        std::memcpy(key.data(), expected[at].key.data(), L);
        key[L] = 0;
        ASSERT_EQ(XBDIKDEL(h, key.data(), expected[at].record), 0) << "delete " << i;
        expected.erase(expected.begin() + static_cast<long>(at));
      } else {
        // A key that is already there: its node is a full bulk-built one.
        IdxEntry e = expected[rng() % expected.size()];
        e.record = nextRecord++;
        std::memcpy(key.data(), e.key.data(), L);
        key[L] = 0;
        ASSERT_EQ(XBDIKADD(h, key.data(), e.record), 0) << "add " << i;
        expected.push_back(e);
      }
    }
    ASSERT_EQ(XBDICLOSE(h), 0);
    IdxCheckResult after = CheckIdxFile(path, OptionsFor(k));
    ASSERT_EQ(after.error, "");
    std::sort(expected.begin(), expected.end(), Less);
    std::sort(after.entries.begin(), after.entries.end(), Less);
    ASSERT_EQ(after.entries.size(), expected.size());
    ASSERT_TRUE(after.entries == expected);
  }

  XBHANDLE NameData(uint32_t records, bool allEqual) {
    const std::string path = File("names" + std::to_string(records) + ".dbf");
    WriteNameDataFile(path, records, allEqual);
    return OpenData(path);
  }

  // Builds over NAME (key length 10) and returns the checked file.
  IdxCheckResult BuildNames(XBHANDLE data, const IdxForm& form, const std::string& name) {
    const BulkKey k{"character", "NAME", 'C', 10, 0};
    const std::string path = File(name);
    EXPECT_EQ(XBDIINDEX(data, path.c_str(), Word(form, k), k.expression, k.length), 0);
    return CheckIdxFile(path, OptionsFor(k));
  }

  // Entries of the first leaf: the root, then the first child down.
  uint32_t FirstLeafCount(const std::string& path, bool compact) {
    const std::vector<uint8_t> b = IdxBytes(path);
    uint32_t node = IdxLe32(b, 0);
    for (int guard = 0; guard < 16; ++guard) {
      if (IdxLe16(b, node) & 2) return IdxLe16(b, node + 2);
      const size_t entry = node + 12;
      const size_t child = entry + 10 + (compact ? 4 : 0);
      node = uint32_t{b[child]} << 24 | uint32_t{b[child + 1]} << 16 | uint32_t{b[child + 2]} << 8 |
             b[child + 3];
    }
    return 0;
  }
};

// The 200,000-record file in the standard form (character key) and the
// compact descending form (date key): the key-by-key reference is what
// costs; every pairing of key and form is compared over 20,000 below.
TEST_F(BulkIdx, SameSequenceAsKeyByKeyOn200000Records) {
  const std::string path = File("data.dbf");
  WriteBulkDataFile(path, 200000, 11);
  const XBHANDLE data = OpenData(path);
  const auto& keys = IdxBulkKeys();
  Equivalent(data, kStandard, keys[0], 200000);
  Equivalent(data, kDescending, keys[2], 200000);
}

TEST_F(BulkIdx, SameSequenceAsKeyByKeyForEveryKeyAndForm) {
  const std::string path = File("data.dbf");
  WriteBulkDataFile(path, 20000, 12);
  const XBHANDLE data = OpenData(path);
  for (const IdxForm& form : {kStandard, kCompact, kDescending}) {
    for (const BulkKey& k : IdxBulkKeys()) Equivalent(data, form, k, 20000);
  }
}

TEST_F(BulkIdx, StandardNodeCountsOfOneKAndKPlusOne) {
  const uint32_t K = 500 / (10 + 4);  // 35
  for (const uint32_t n : {1u, K, K + 1, K * K, K * K + 1}) {
    SCOPED_TRACE(n);
    const XBHANDLE data = NameData(n, false);
    const IdxCheckResult r = BuildNames(data, kStandard, "sized.idx");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), n);
    const int depth = n <= K ? 0 : (n <= K * K ? 1 : 2);
    EXPECT_EQ(r.depth, depth);
    if (n == K + 1) {
      EXPECT_EQ(r.nodes, 3);  // two leaves under a root of two entries
    }
    if (n == K) {
      EXPECT_EQ(r.nodes, 1);
    }
    // Leaves filled to K: the fewest leaves the keys can take.
    if (n == K * K) {
      EXPECT_EQ(r.nodes, static_cast<int>(K + 1));
    }
    ASSERT_EQ(XBDDCLOSE(data), 0);
    openData_.clear();
  }
}

TEST_F(BulkIdx, CompactNodeCountsOfOneKAndKPlusOne) {
  // The leaf capacity depends on the compression: take it from a build.
  const XBHANDLE probe = NameData(3000, false);
  const IdxCheckResult big = BuildNames(probe, kCompact, "probe.idx");
  ASSERT_EQ(big.error, "");
  const uint32_t K = FirstLeafCount(File("probe.idx"), true);
  const uint32_t interior = 500 / (10 + 8);  // 27
  ASSERT_GT(K, 20u);
  for (const uint32_t n : {1u, K, K + 1, K * interior + 1}) {
    SCOPED_TRACE(n);
    const XBHANDLE data = NameData(n, false);
    const IdxCheckResult r = BuildNames(data, kCompact, "sized.idx");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), n);
    EXPECT_EQ(r.depth, n <= K ? 0 : (n == K + 1 ? 1 : 2));
    if (n == K + 1) {
      EXPECT_EQ(r.nodes, 3);
    }
    ASSERT_EQ(XBDDCLOSE(data), 0);
    openData_.clear();
  }
}

TEST_F(BulkIdx, AllKeysEqualInRecordOrder) {
  const uint32_t n = 35 * 35 + 1;
  const XBHANDLE data = NameData(n, true);
  const BulkKey k{"character", "NAME", 'C', 10, 0};
  for (const IdxForm& form : {kStandard, kCompact, kDescending}) {
    SCOPED_TRACE(form.name);
    const IdxCheckResult r = BuildNames(data, form, "equal.idx");
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), n);
    for (uint32_t i = 0; i < n; ++i) {
      ASSERT_EQ(r.entries[i].record, i + 1);
      ASSERT_EQ(r.entries[i].key, IdxPadded("SAME", 10));
    }
    BuildIdxByKeys(data, File("equal-keys.idx"), Word(form, k), k);
    const IdxCheckResult keys = CheckIdxFile(File("equal-keys.idx"), OptionsFor(k));
    ASSERT_TRUE(keys.entries == r.entries);
    FindAndUpdate(File("equal.idx"), k, r.entries, n + 1, 5);
  }
}

TEST_F(BulkIdx, EmptyDataFileGivesAnEmptyIndex) {
  const XBHANDLE data = NameData(0, false);
  for (const IdxForm& form : {kStandard, kCompact}) {
    const IdxCheckResult r = BuildNames(data, form, "empty.idx");
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(r.entries.empty());
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, File("empty.idx").c_str(), 0), 0);
    char key[16] = {};
    uint32_t rec = 0;
    EXPECT_EQ(XBDIKTOP(h, key, &rec), 2);
    ASSERT_EQ(XBDICLOSE(h), 0);
  }
}

// One build per form, and one NTX build, over a million records (numeric
// key: no compression to speak of, so the most leaves).
TEST_F(BulkIdx, MillionRecords) {
  const std::string path = File("million.dbf");
  WriteBulkDataFile(path, 1000000, 13);
  const XBHANDLE data = OpenData(path);
  const BulkKey k = IdxBulkKeys()[1];
  for (const IdxForm& form : {kStandard, kCompact, kDescending}) {
    SCOPED_TRACE(form.name);
    const std::string idx = File("million.idx");
    ASSERT_EQ(XBDIINDEX(data, idx.c_str(), Word(form, k), k.expression, k.length), 0);
    const IdxCheckResult r = CheckIdxFile(idx, OptionsFor(k));
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(r.entries.size(), 1000000u);
    ASSERT_GE(r.depth, 2);
  }
  const BulkKey n = NtxBulkKeys()[1];
  const std::string ntx = File("million.ntx");
  ASSERT_EQ(XBDCINDEX(data, ntx.c_str(), 'N', n.expression, n.length, n.decimals), 0);
  const NtxCheckResult r = CheckNtxFile(ntx);
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.entries.size(), 1000000u);
  ASSERT_GE(r.depth, 2);
}

}  // namespace
}  // namespace kvtest
