// Randomized differential test of the NDX B+-tree: random adds and deletes
// of character, numeric and date keys, compared with an in-memory model of
// the ordered entries, with the file's invariants checked after every step.
// Growing and shrinking phases keep the trees small enough for that (a few
// hundred to a thousand keys, up to four levels with 100-byte keys). Seeds
// are fixed and printed on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

struct Variant {
  const char* name;
  char type;  // 'C', 'N' or 'D'
  uint16_t keyLength;
  bool unique;
  int asciiSort;
  int operations;
  int pool;  // distinct keys to draw from
  uint32_t seed;
};

void PrintTo(const Variant& v, std::ostream* os) {
  *os << v.name;
}

class Model {
 public:
  Model(int keyType, int asciiSort, bool unique)
      : keyType_(keyType), asciiSort_(asciiSort), unique_(unique) {}

  int Cmp(const std::string& a, const std::string& b) const {
    return CompareStoredKeys(a, b, keyType_, asciiSort_);
  }
  size_t LowerByKey(const std::string& key) const {
    size_t i = 0;
    while (i < v_.size() && Cmp(v_[i].key, key) < 0) ++i;
    return i;
  }
  size_t LowerByEntry(const std::string& key, uint32_t rec) const {
    size_t i = LowerByKey(key);
    while (i < v_.size() && Cmp(v_[i].key, key) == 0 && v_[i].record < rec) ++i;
    return i;
  }
  bool HasKey(const std::string& key) const {
    const size_t i = LowerByKey(key);
    return i < v_.size() && Cmp(v_[i].key, key) == 0;
  }
  bool HasEntry(const std::string& key, uint32_t rec) const {
    const size_t i = LowerByEntry(key, rec);
    return i < v_.size() && Cmp(v_[i].key, key) == 0 && v_[i].record == rec;
  }
  void Add(const std::string& key, uint32_t rec) {
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    v_.insert(v_.begin() + static_cast<long>(at), NdxEntry{key, rec});
  }
  XBSTATUS Delete(const std::string& key, uint32_t rec) {
    if (v_.empty()) return 2;
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    if (at >= v_.size() || Cmp(v_[at].key, key) != 0 || (!unique_ && v_[at].record != rec))
      return 4;
    v_.erase(v_.begin() + static_cast<long>(at));
    return 0;
  }
  // What XBDNKFIND answers for a whole key: code and entry index.
  XBSTATUS Find(const std::string& key, bool exact, uint32_t rec, size_t* index) const {
    if (v_.empty()) return 2;
    const size_t at = exact ? LowerByEntry(key, rec) : LowerByKey(key);
    if (at < v_.size() && Cmp(v_[at].key, key) == 0 && (!exact || v_[at].record == rec)) {
      *index = at;
      return 0;
    }
    if (at == 0) {
      *index = 0;
      return 0;
    }
    *index = at - 1;
    return 4;
  }
  const std::vector<NdxEntry>& entries() const { return v_; }

 private:
  int keyType_;
  int asciiSort_;
  bool unique_;
  std::vector<NdxEntry> v_;
};

class NdxRandom : public EngineTest, public ::testing::WithParamInterface<Variant> {
 protected:
  void SetUp() override {
    const Variant& v = GetParam();
    EngineTest::SetUp();
    if (v.asciiSort == 0) {
      // The setting is read when the engine starts.
      XBDTERM();
      std::ofstream ini(profileDir_.File("KVDB4XX.INI"));
      ini << "[sort]\nasciisort=0\n";
      ini.close();
      ASSERT_EQ(XBDINIT(100, 4), 0);
    }
  }

  std::string MakeKey(std::mt19937& rng, const Variant& v) {
    if (v.type == 'N') {
      const int n = static_cast<int>(rng() % 2001) - 1000;
      return NumericKey(n / 4.0);
    }
    if (v.type == 'D') {
      char text[16];
      if (rng() % 20 == 0) {
        std::snprintf(text, sizeof text, "        ");
      } else {
        std::snprintf(text, sizeof text, "%04u%02u%02u", static_cast<unsigned>(1800 + rng() % 300),
                      static_cast<unsigned>(1 + rng() % 12), static_cast<unsigned>(1 + rng() % 28));
      }
      std::string key(8, '\0');
      EXPECT_EQ(XBDNKDATE(key.data(), text, 4), 0) << text;
      return key;
    }
    static const std::string ascii = "ABCDEFGHIJabcdefghij0123456789 -.";
    static const std::string accented = "AaEe\xC9\xE9\xC4\xE4\xD1\xF1Zz09 ,;";
    const std::string& alphabet = v.asciiSort == 0 ? accented : ascii;
    const size_t length = 1 + rng() % std::min<size_t>(v.keyLength, 8);
    std::string s;
    for (size_t i = 0; i < length; ++i) s += alphabet[rng() % alphabet.size()];
    return Padded(s, v.keyLength);
  }

  void CheckAll(XBHANDLE h, const std::string& path, const Model& model, const Variant& v,
                std::mt19937& rng, const std::vector<std::string>& pool, bool deep) {
    kv::xb::ndx::NdxIndex* ix = OpenIndex(h);
    ASSERT_NE(ix, nullptr);
    const NdxCheckResult check = CheckNdxFile(path, {v.asciiSort, ix->freePages.head(), false});
    ASSERT_EQ(check.error, "");
    ASSERT_EQ(check.entries.size(), model.entries().size());
    for (size_t i = 0; i < check.entries.size(); ++i) {
      ASSERT_EQ(check.entries[i].key, model.entries()[i].key) << "entry " << i;
      ASSERT_EQ(check.entries[i].record, model.entries()[i].record) << "entry " << i;
    }
    if (!deep) return;
    const size_t keyBytes = v.type == 'C' ? v.keyLength : 8;
    XBSTATUS last = 0;
    const auto forward = WalkForward(h, keyBytes, &last);
    ASSERT_EQ(last, model.entries().empty() ? 2 : 3);
    ASSERT_EQ(forward.size(), model.entries().size());
    for (size_t i = 0; i < forward.size(); ++i) {
      ASSERT_EQ(forward[i].key, model.entries()[i].key) << "next walk, entry " << i;
      ASSERT_EQ(forward[i].record, model.entries()[i].record) << "next walk, entry " << i;
    }
    const auto backward = WalkBackward(h, keyBytes, &last);
    ASSERT_EQ(backward.size(), model.entries().size());
    for (size_t i = 0; i < backward.size(); ++i) {
      const auto& expected = model.entries()[model.entries().size() - 1 - i];
      ASSERT_EQ(backward[i].key, expected.key) << "previous walk, entry " << i;
      ASSERT_EQ(backward[i].record, expected.record) << "previous walk, entry " << i;
    }
    for (int probe = 0; probe < 40; ++probe) {
      const std::string key = pool[rng() % pool.size()];
      const bool exact = !v.unique && probe % 2 == 1;
      const uint32_t rec = 1 + rng() % 3000;
      size_t at = 0;
      const XBSTATUS want = model.Find(key, exact, rec, &at);
      std::string buffer = key;
      buffer.resize(keyBytes + 1, '\0');
      uint32_t r = rec;
      const XBSTATUS got = XBDNKFIND(h, buffer.data(), &r, exact ? 2 : 0);
      ASSERT_EQ(got, want) << "find, probe " << probe;
      if (want == 2) continue;
      ASSERT_EQ(buffer.substr(0, keyBytes), model.entries()[at].key) << "find, probe " << probe;
      ASSERT_EQ(r, model.entries()[at].record) << "find, probe " << probe;
      // The found entry is the current key: the next one follows it.
      const XBSTATUS next = XBDNKNEXT(h, buffer.data(), &r);
      if (at + 1 < model.entries().size()) {
        ASSERT_EQ(next, 0);
        ASSERT_EQ(buffer.substr(0, keyBytes), model.entries()[at + 1].key);
        ASSERT_EQ(r, model.entries()[at + 1].record);
      } else {
        ASSERT_EQ(next, 3);
      }
    }
  }
};

TEST_P(NdxRandom, MatchesTheModel) {
  const Variant& v = GetParam();
  SCOPED_TRACE("variant " + std::string(v.name) + ", seed " + std::to_string(v.seed));
  const std::string path = File("random.ndx");
  const uint16_t letter = static_cast<uint16_t>(v.type | (v.unique ? XB_NDX_UNIQUE : 0));
  ASSERT_EQ(XBDNCREATE(path.c_str(), letter, "KEY", v.keyLength), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  std::mt19937 rng(v.seed);
  std::vector<std::string> pool;
  for (int i = 0; i < v.pool; ++i) pool.push_back(MakeKey(rng, v));
  Model model(v.type == 'C' ? 0 : 1, v.asciiSort, v.unique);
  size_t largest = 0;
  int deepest = 0;
  for (int op = 0; op < v.operations; ++op) {
    // Phases of growth and of shrinking, so that splits, merges and root
    // changes all happen.
    const bool growing = (op / 2000) % 2 == 0;
    const bool add = static_cast<int>(rng() % 100) < (growing ? 65 : 30);
    if (add) {
      const std::string key = pool[rng() % pool.size()];
      const uint32_t rec = 1 + rng() % 3000;
      if (v.unique ? model.HasKey(key) : model.HasEntry(key, rec)) continue;
      model.Add(key, rec);
      ASSERT_EQ(XBDNKADD(h, key.data(), rec), 0) << "op " << op;
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
      ASSERT_EQ(XBDNKDEL(h, key.data(), rec), want) << "op " << op;
    }
    // The file's invariants and its entries after every step; walks both
    // ways and finds through the engine after every batch.
    ASSERT_NO_FATAL_FAILURE(CheckAll(h, path, model, v, rng, pool, op % 1000 == 999))
        << "op " << op;
    if (op % 1000 == 999) {
      // Closing compacts the pages freed meanwhile.
      ASSERT_EQ(XBDNCLOSE(h), 0) << "op " << op;
      const NdxCheckResult closed = CheckNdxFile(path, {v.asciiSort, 0, true});
      ASSERT_EQ(closed.error, "") << "after close, op " << op;
      largest = std::max(largest, closed.entries.size());
      deepest = std::max(deepest, closed.depth);
      ASSERT_EQ(closed.entries.size(), model.entries().size());
      ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
    }
  }
  ASSERT_EQ(XBDNCLOSE(h), 0);
  // The run built trees of some size and depth, not just a root leaf.
  EXPECT_GE(largest, 300u);
  EXPECT_GE(deepest, v.keyLength == 100 ? 3 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, NdxRandom,
    ::testing::Values(Variant{"char10", 'C', 10, false, 1, 20000, 1500, 11},
                      Variant{"char10_unique_collated", 'C', 10, true, 0, 16000, 3000, 12},
                      Variant{"char100", 'C', 100, false, 1, 12000, 400, 13},
                      Variant{"char1", 'C', 1, false, 0, 12000, 40, 14},
                      Variant{"char7_collated", 'C', 7, false, 0, 12000, 600, 15},
                      Variant{"numeric", 'N', 8, false, 1, 16000, 1200, 16},
                      Variant{"date_unique", 'D', 8, true, 1, 12000, 5000, 17}),
    [](const ::testing::TestParamInfo<Variant>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kvtest
