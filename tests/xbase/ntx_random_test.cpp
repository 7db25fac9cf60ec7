// Randomized differential test of the NTX B-tree: random adds and deletes of
// character, numeric and date keys, compared with an in-memory model of the
// ordered keys, with the file's invariants checked after every step. Phases
// of growth and shrinking keep the trees small enough for that (a few
// hundred keys) while long keys (M = 8 for 100-byte keys) make them deep.
// One larger run adds and removes 20,000 long keys with checks per batch.
// Seeds are fixed and printed on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

struct Variant {
  const char* name;
  char type;  // 'C', 'N' or 'D'
  uint16_t keyLength;
  uint16_t decimals;
  bool unique;
  int operations;
  int pool;  // distinct keys to draw from
  uint32_t seed;
};

void PrintTo(const Variant& v, std::ostream* os) {
  *os << v.name;
}

// The keys in index order: bytes, then record numbers unless unique.
class Model {
 public:
  explicit Model(bool unique) : unique_(unique) {}

  static int Cmp(const std::string& a, const std::string& b) { return a.compare(b); }
  size_t LowerByKey(const std::string& key) const {
    return static_cast<size_t>(
        std::lower_bound(v_.begin(), v_.end(), key,
                         [](const NtxEntry& e, const std::string& k) { return e.key < k; }) -
        v_.begin());
  }
  size_t LowerByEntry(const std::string& key, uint32_t rec) const {
    size_t i = LowerByKey(key);
    while (i < v_.size() && v_[i].key == key && v_[i].record < rec) ++i;
    return i;
  }
  bool HasKey(const std::string& key) const {
    const size_t i = LowerByKey(key);
    return i < v_.size() && v_[i].key == key;
  }
  bool HasEntry(const std::string& key, uint32_t rec) const {
    const size_t i = LowerByEntry(key, rec);
    return i < v_.size() && v_[i].key == key && v_[i].record == rec;
  }
  void Add(const std::string& key, uint32_t rec) {
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    v_.insert(v_.begin() + static_cast<long>(at), NtxEntry{key, rec});
  }
  XBSTATUS Delete(const std::string& key, uint32_t rec) {
    if (v_.empty()) return 2;
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    if (at >= v_.size() || v_[at].key != key || (!unique_ && v_[at].record != rec)) return 4;
    v_.erase(v_.begin() + static_cast<long>(at));
    return 0;
  }
  // What XBDCKFIND answers for a key of `length` bytes (a prefix when
  // shorter than L): code and index of the key returned.
  XBSTATUS Find(const std::string& key, size_t length, bool exact, uint32_t rec,
                size_t* index) const {
    if (v_.empty()) return 2;
    auto less = [&](const NtxEntry& e) {
      const int c = e.key.compare(0, length, key, 0, length);
      return c < 0 || (c == 0 && exact && e.record < rec);
    };
    size_t at = 0;
    while (at < v_.size() && less(v_[at])) ++at;
    if (at < v_.size() && v_[at].key.compare(0, length, key, 0, length) == 0 &&
        (!exact || v_[at].record == rec)) {
      *index = at;
      return 0;
    }
    *index = at == 0 ? 0 : at - 1;
    return at == 0 ? 0 : 4;
  }
  const std::vector<NtxEntry>& entries() const { return v_; }

 private:
  bool unique_;
  std::vector<NtxEntry> v_;
};

class NtxRandom : public EngineTest, public ::testing::WithParamInterface<Variant> {
 protected:
  // A key as the index stores it: the key text padded with blanks to L.
  std::string MakeKey(XBHANDLE h, std::mt19937& rng, const Variant& v) {
    char text[128] = {};
    if (v.type == 'N') {
      const int n = static_cast<int>(rng() % 4001) - 2000;
      EXPECT_EQ(XBDCKNUM(h, text, n / 8.0), 0);
    } else if (v.type == 'D') {
      char date[16];
      if (rng() % 20 == 0) {
        std::snprintf(date, sizeof date, "        ");
      } else {
        std::snprintf(date, sizeof date, "%04u%02u%02u", static_cast<unsigned>(1800 + rng() % 300),
                      static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
      }
      EXPECT_EQ(XBDCKDATE(text, date, 4), 0) << date;
    } else {
      static const std::string alphabet = "ABCDEFGHIJabcdefghij0123456789 -.\xE9\xC4";
      const size_t length = 1 + rng() % std::min<size_t>(v.keyLength, 8);
      for (size_t i = 0; i < length; ++i) text[i] = alphabet[rng() % alphabet.size()];
    }
    return NtxPadded(text, v.keyLength);
  }

  void CheckAll(XBHANDLE h, const std::string& path, const Model& model, const Variant& v,
                std::mt19937& rng, const std::vector<std::string>& pool, bool deep,
                NtxCheckResult* out = nullptr) {
    const NtxCheckResult check = CheckNtxFile(path);
    ASSERT_EQ(check.error, "");
    ASSERT_EQ(check.entries.size(), model.entries().size());
    for (size_t i = 0; i < check.entries.size(); ++i) {
      ASSERT_EQ(check.entries[i].key, model.entries()[i].key) << "entry " << i;
      ASSERT_EQ(check.entries[i].record, model.entries()[i].record) << "entry " << i;
    }
    if (out != nullptr) *out = check;
    if (!deep) return;
    const size_t L = v.keyLength;
    XBSTATUS last = 0;
    const auto forward = NtxWalkForward(h, L, &last);
    ASSERT_EQ(last, model.entries().empty() ? 2 : 3);
    ASSERT_EQ(forward.size(), model.entries().size());
    for (size_t i = 0; i < forward.size(); ++i) {
      ASSERT_EQ(forward[i].key, model.entries()[i].key) << "next walk, entry " << i;
      ASSERT_EQ(forward[i].record, model.entries()[i].record) << "next walk, entry " << i;
    }
    const auto backward = NtxWalkBackward(h, L, &last);
    ASSERT_EQ(backward.size(), model.entries().size());
    for (size_t i = 0; i < backward.size(); ++i) {
      const auto& expected = model.entries()[model.entries().size() - 1 - i];
      ASSERT_EQ(backward[i].key, expected.key) << "previous walk, entry " << i;
      ASSERT_EQ(backward[i].record, expected.record) << "previous walk, entry " << i;
    }
    for (int probe = 0; probe < 40; ++probe) {
      const std::string key = pool[rng() % pool.size()];
      const bool exact = !v.unique && probe % 3 == 1;
      // Whole keys, and prefixes of character keys.
      size_t length = L;
      if (!exact && v.type == 'C' && probe % 3 == 2) length = 1 + rng() % 3;
      const uint32_t rec = 1 + rng() % 3000;
      size_t at = 0;
      const XBSTATUS want = model.Find(key, length, exact, rec, &at);
      std::string buffer = key.substr(0, length);
      buffer.resize(L + 1, '\0');
      uint32_t r = rec;
      const XBSTATUS got = XBDCKFIND(h, buffer.data(), &r, exact ? 2 : 0);
      ASSERT_EQ(got, want) << "find, probe " << probe;
      if (want == 2) continue;
      ASSERT_EQ(buffer.substr(0, L), model.entries()[at].key) << "find, probe " << probe;
      ASSERT_EQ(r, model.entries()[at].record) << "find, probe " << probe;
      // The found key is the current key: the next one follows it.
      const XBSTATUS next = XBDCKNEXT(h, buffer.data(), &r);
      if (at + 1 < model.entries().size()) {
        ASSERT_EQ(next, 0);
        ASSERT_EQ(buffer.substr(0, L), model.entries()[at + 1].key);
        ASSERT_EQ(r, model.entries()[at + 1].record);
      } else {
        ASSERT_EQ(next, 3);
      }
    }
  }
};

TEST_P(NtxRandom, MatchesTheModel) {
  const Variant& v = GetParam();
  SCOPED_TRACE("variant " + std::string(v.name) + ", seed " + std::to_string(v.seed));
  const std::string path = File("random.ntx");
  const uint16_t letter = static_cast<uint16_t>(v.type | (v.unique ? XB_NTX_UNIQUE : 0));
  ASSERT_EQ(XBDCCREATE(path.c_str(), letter, "KEY", v.keyLength, v.decimals), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  std::mt19937 rng(v.seed);
  std::vector<std::string> pool;
  for (int i = 0; i < v.pool; ++i) pool.push_back(MakeKey(h, rng, v));
  Model model(v.unique);
  size_t largest = 0;
  int deepest = 0;
  uint32_t mostFree = 0;
  for (int op = 0; op < v.operations; ++op) {
    // Phases of growth and of shrinking, so that splits, merges,
    // redistributions and root changes all happen.
    const bool growing = (op / 1500) % 2 == 0;
    const bool add = static_cast<int>(rng() % 100) < (growing ? 68 : 30);
    if (add) {
      const std::string key = pool[rng() % pool.size()];
      const uint32_t rec = 1 + rng() % 3000;
      if (v.unique ? model.HasKey(key) : model.HasEntry(key, rec)) continue;
      model.Add(key, rec);
      ASSERT_EQ(XBDCKADD(h, key.data(), rec), 0) << "op " << op;
    } else {
      std::string key;
      uint32_t rec = 0;
      if (!model.entries().empty() && rng() % 4 != 0) {
        const auto& e = model.entries()[rng() % model.entries().size()];
        key = e.key;
        rec = e.record;
      } else {
        key = pool[rng() % pool.size()];
        rec = 1 + rng() % 3000;
      }
      const XBSTATUS want = model.Delete(key, rec);
      ASSERT_EQ(XBDCKDEL(h, key.data(), rec), want) << "op " << op;
    }
    NtxCheckResult check;
    ASSERT_NO_FATAL_FAILURE(CheckAll(h, path, model, v, rng, pool, op % 1000 == 999, &check))
        << "op " << op;
    largest = std::max(largest, check.entries.size());
    deepest = std::max(deepest, check.depth);
    mostFree = std::max(mostFree, check.freePages);
    if (op % 5000 == 4999) {
      ASSERT_EQ(XBDCCLOSE(h), 0);
      ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    }
  }
  ASSERT_EQ(XBDCCLOSE(h), 0);
  // The run built trees of some size and depth and freed pages on the way.
  EXPECT_GE(largest, 300u);
  EXPECT_GE(deepest, v.keyLength >= 100 ? 3 : 1);
  EXPECT_GE(mostFree, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, NtxRandom,
    ::testing::Values(Variant{"char10", 'C', 10, 0, false, 18000, 1500, 21},
                      Variant{"char100", 'C', 100, 0, false, 16000, 400, 22},
                      Variant{"char100_unique", 'C', 100, 0, true, 12000, 2000, 23},
                      Variant{"char1", 'C', 1, 0, false, 8000, 40, 24},
                      Variant{"char60_unique", 'C', 60, 0, true, 10000, 3000, 25},
                      Variant{"numeric", 'N', 8, 2, false, 14000, 1200, 26},
                      Variant{"numeric_unique", 'N', 12, 3, true, 10000, 4000, 27},
                      Variant{"date", 'D', 8, 0, false, 12000, 3000, 28}),
    [](const ::testing::TestParamInfo<Variant>& p) { return std::string(p.param.name); });

// Depth: 20,000 keys of 100 bytes (eight per page) added in random order,
// then removed in another; the file is checked after every batch.
class NtxRandomDeep : public EngineTest {};

TEST_F(NtxRandomDeep, CheckedPerBatch) {
  const uint32_t seed = 31;
  SCOPED_TRACE("seed " + std::to_string(seed));
  const std::string path = File("deep.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "KEY", 100, 0), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  std::mt19937 rng(seed);
  std::vector<NtxEntry> keys;
  for (uint32_t i = 0; i < 20000; ++i) {
    char text[32];
    std::snprintf(text, sizeof text, "%08u", static_cast<unsigned>(rng() % 100000000));
    keys.push_back({NtxPadded(text, 100), i + 1});
  }
  Model model(false);
  int deepest = 0;
  auto check = [&](const char* phase, size_t step) {
    const NtxCheckResult c = CheckNtxFile(path);
    ASSERT_EQ(c.error, "") << phase << " " << step;
    ASSERT_EQ(c.entries.size(), model.entries().size()) << phase << " " << step;
    for (size_t i = 0; i < c.entries.size(); ++i) {
      ASSERT_EQ(c.entries[i].key, model.entries()[i].key) << phase << " " << step;
      ASSERT_EQ(c.entries[i].record, model.entries()[i].record) << phase << " " << step;
    }
    deepest = std::max(deepest, c.depth);
  };
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(XBDCKADD(h, keys[i].key.data(), keys[i].record), 0) << i;
    model.Add(keys[i].key, keys[i].record);
    if (i % 2000 == 1999) {
      ASSERT_NO_FATAL_FAILURE(check("adding", i));
    }
  }
  EXPECT_GE(deepest, 5);
  XBSTATUS last = 0;
  EXPECT_EQ(NtxWalkForward(h, 100, &last).size(), keys.size());
  EXPECT_EQ(last, 3);
  std::shuffle(keys.begin(), keys.end(), rng);
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(XBDCKDEL(h, keys[i].key.data(), keys[i].record), 0) << i;
    ASSERT_EQ(model.Delete(keys[i].key, keys[i].record), 0);
    if (i % 2000 == 1999) {
      ASSERT_NO_FATAL_FAILURE(check("deleting", i));
    }
  }
  // Every page but the root went back to the free chain, and is reused.
  const NtxCheckResult empty = CheckNtxFile(path);
  ASSERT_EQ(empty.error, "");
  EXPECT_EQ(empty.entries.size(), 0u);
  EXPECT_EQ(empty.treePages, 1u);
  const auto size = ReadBytes(path).size();
  for (int i = 0; i < 500; ++i) ASSERT_EQ(XBDCKADD(h, keys[i].key.data(), keys[i].record), 0);
  EXPECT_EQ(ReadBytes(path).size(), size);
  EXPECT_EQ(CheckNtxFile(path).error, "");
  ASSERT_EQ(XBDCCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
