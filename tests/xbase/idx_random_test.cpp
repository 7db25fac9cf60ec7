// Randomized differential test of the IDX tree in its three shapes
// (standard, compact ascending, compact descending): random adds and deletes
// of character, numeric and date keys, unique and not, compared with an
// in-memory model of the ordered entries, with the file's invariants checked
// after every step (100,000 steps in all). Growing and shrinking phases keep
// the trees small enough for that while long keys still give them three or
// four levels. A larger run checks per batch. Seeds are fixed and printed on
// failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"

namespace kvtest {
namespace {

struct Variant {
  const char* name;
  char type;      // 'C', 'N' or 'D'
  uint16_t form;  // 0, XB_IDX_COMPACT, or with XB_IDX_DESCENDING
  uint16_t keyLength;
  bool unique;
  int operations;
  int maxLive;
  int pool;  // distinct keys to draw from
  uint32_t seed;
};

void PrintTo(const Variant& v, std::ostream* os) {
  *os << v.name;
}

class Model {
 public:
  Model(bool descending, bool unique) : descending_(descending), unique_(unique) {}

  int Cmp(const std::string& a, const std::string& b) const {
    int c = std::memcmp(a.data(), b.data(), a.size());
    c = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return descending_ ? -c : c;
  }
  size_t LowerByKey(const std::string& key) const {
    return static_cast<size_t>(
        std::partition_point(v_.begin(), v_.end(),
                             [&](const IdxEntry& e) { return Cmp(e.key, key) < 0; }) -
        v_.begin());
  }
  size_t LowerByEntry(const std::string& key, uint32_t rec) const {
    size_t i = LowerByKey(key);
    while (i < v_.size() && Cmp(v_[i].key, key) == 0 && v_[i].record < rec) ++i;
    return i;
  }
  void Add(const std::string& key, uint32_t rec) {
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    v_.insert(v_.begin() + static_cast<long>(at), IdxEntry{key, rec});
  }
  XBSTATUS Delete(const std::string& key, uint32_t rec) {
    if (v_.empty()) return 2;
    const size_t at = unique_ ? LowerByKey(key) : LowerByEntry(key, rec);
    if (at >= v_.size() || Cmp(v_[at].key, key) != 0 || (!unique_ && v_[at].record != rec)) {
      return 4;
    }
    v_.erase(v_.begin() + static_cast<long>(at));
    return 0;
  }
  // What XBDIKFIND answers for a whole key searched by key only.
  XBSTATUS Find(const std::string& key, size_t* index) const {
    if (v_.empty()) return 2;
    const size_t at = LowerByKey(key);
    if (at < v_.size() && Cmp(v_[at].key, key) == 0) {
      *index = at;
      return 0;
    }
    if (at == 0) {
      *index = 0;  // before every key: the first entry, found
      return 0;
    }
    *index = at - 1;
    return 4;
  }
  const std::vector<IdxEntry>& entries() const { return v_; }

 private:
  bool descending_;
  bool unique_;
  std::vector<IdxEntry> v_;
};

class IdxRandom : public EngineTest, public ::testing::WithParamInterface<Variant> {
 protected:
  std::string MakeKey(const Variant& v, std::mt19937& rng, int n) {
    if (v.type == 'N') {
      return IdxNumber((n - v.pool / 2) * 0.75);
    }
    if (v.type == 'D') {
      if (n == 0) return std::string("\x80\0\0\0\0\0\0\0", 8);  // empty date
      return IdxNumber(2440000.0 + n * 3);
    }
    // Character keys: a shared stem, the number, and a tail of varying
    // length, so that compact leaves get every mix of duplicate and
    // trailing counts.
    std::string k = "K" + std::to_string(n * 7919 % 100003);
    std::mt19937 tail(static_cast<uint32_t>(n));
    const int extra = static_cast<int>(tail() % (v.keyLength > 4 ? v.keyLength - 4u : 1u));
    for (int i = 0; i < extra && k.size() < v.keyLength; ++i) {
      k += static_cast<char>('a' + tail() % 26);
    }
    (void)rng;
    return IdxPadded(k, v.keyLength);
  }

  void Run(const Variant& v, int checkEvery) {
    SCOPED_TRACE(std::string(v.name) + " seed " + std::to_string(v.seed));
    const std::string path = File("random.idx");
    const uint16_t typeWord =
        static_cast<uint16_t>(v.type | v.form | (v.unique ? XB_NDX_UNIQUE : 0));
    ASSERT_EQ(XBDICREATE(path.c_str(), typeWord, "key", v.keyLength), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(h, static_cast<uint16_t>(v.type)), 0);
    const char pad = v.type == 'C' ? ' ' : '\0';
    const size_t L = v.type == 'C' ? v.keyLength : 8;
    // Descending order exists in the compact form only.
    Model model((v.form & XB_IDX_DESCENDING) != 0 && (v.form & XB_IDX_COMPACT) != 0, v.unique);
    std::mt19937 rng(v.seed);
    bool growing = true;
    int target = v.maxLive;
    int deepest = 0;
    for (int step = 0; step < v.operations; ++step) {
      const size_t live = model.entries().size();
      if (growing && static_cast<int>(live) >= target) {
        growing = false;
        target = static_cast<int>(rng() % 20);
      } else if (!growing && static_cast<int>(live) <= target) {
        growing = true;
        target = v.maxLive / 2 + static_cast<int>(rng() % (v.maxLive / 2 + 1));
      }
      const bool add = live == 0 || (rng() % 100) < (growing ? 75u : 25u);
      if (add) {
        const std::string key = MakeKey(v, rng, static_cast<int>(rng() % v.pool));
        // Each record once (the walks find the current entry again by key
        // and record); numbers up to 2^24 widen the leaves of short keys.
        const uint32_t rec = static_cast<uint32_t>(step + 1) + (rng() % 4 == 0 ? 16000000u : 0u);
        const XBSTATUS s = XBDIKADD(h, key.data(), rec);
        ASSERT_EQ(s, 0) << "add at step " << step;
        model.Add(key, rec);
      } else if (rng() % 10 == 0) {
        // An entry that is not there.
        const std::string key = MakeKey(v, rng, static_cast<int>(rng() % v.pool));
        const uint32_t rec = 20000000 + static_cast<uint32_t>(rng() % 1000);
        const XBSTATUS expected = v.unique ? model.Delete(key, rec) : 4;
        ASSERT_EQ(XBDIKDEL(h, key.data(), rec), expected) << "delete at step " << step;
      } else {
        const IdxEntry e = model.entries()[rng() % live];
        ASSERT_EQ(XBDIKDEL(h, e.key.data(), e.record), 0) << "delete at step " << step;
        ASSERT_EQ(model.Delete(e.key, e.record), 0);
      }
      if (step % checkEvery == 0 || step + 1 == v.operations) {
        const auto check = CheckIdxFile(path, {pad});
        ASSERT_EQ(check.error, "") << "step " << step;
        ASSERT_TRUE(check.entries == model.entries()) << "step " << step;
        deepest = std::max(deepest, check.depth);
      }
      // A find of a random key, answered as the model answers it.
      {
        std::string key = MakeKey(v, rng, static_cast<int>(rng() % v.pool));
        std::vector<char> buffer(L + 1, 0);
        std::memcpy(buffer.data(), key.data(), L);
        uint32_t rec = 0;
        size_t index = 0;
        const XBSTATUS want = model.Find(key, &index);
        ASSERT_EQ(XBDIKFIND(h, buffer.data(), &rec, 0), want) << "find at step " << step;
        if (want != 2) {
          ASSERT_EQ(std::string(buffer.data(), L), model.entries()[index].key) << step;
          ASSERT_EQ(rec, model.entries()[index].record) << step;
        }
      }
      if (step % 2000 == 1999) {
        XBSTATUS last = 0;
        ASSERT_TRUE(IdxWalk(h, L, true, &last) == model.entries()) << "walk at step " << step;
        auto backward = IdxWalk(h, L, false, &last);
        std::reverse(backward.begin(), backward.end());
        ASSERT_TRUE(backward == model.entries()) << "backward walk at step " << step;
      }
    }
    EXPECT_EQ(XBDICLOSE(h), 0);
    RecordProperty("deepest", deepest);
    // Long keys give few entries per node: such trees must reach three levels.
    if (v.keyLength >= 30) {
      EXPECT_GE(deepest, 2) << "trees never grew three levels";
    }
  }
};

TEST_P(IdxRandom, MatchesTheModelAfterEveryStep) {
  Run(GetParam(), 1);
}

// 100,000 steps in all.
INSTANTIATE_TEST_SUITE_P(
    Variants, IdxRandom,
    ::testing::Values(Variant{"StandardCharacter", 'C', 0, 100, false, 15000, 150, 400, 11},
                      Variant{"StandardCharacterUnique", 'C', 0, 40, true, 10000, 200, 250, 12},
                      Variant{"CompactCharacter", 'C', XB_IDX_COMPACT, 100, false, 15000, 200, 600,
                              13},
                      Variant{"CompactCharacterDescending", 'C', XB_IDX_COMPACT | XB_IDX_DESCENDING,
                              60, true, 15000, 250, 400, 14},
                      Variant{"StandardNumeric", 'N', 0, 8, false, 10000, 800, 500, 15},
                      Variant{"CompactNumericDescending", 'N', XB_IDX_COMPACT | XB_IDX_DESCENDING,
                              8, false, 10000, 800, 700, 16},
                      Variant{"CompactDate", 'D', XB_IDX_COMPACT, 8, true, 12500, 1000, 3000, 17},
                      Variant{"StandardDateDescendingIgnored", 'D', XB_IDX_DESCENDING, 8, false,
                              12500, 1000, 800, 18}),
    [](const ::testing::TestParamInfo<Variant>& p) { return std::string(p.param.name); });

// Fewer checks, a larger tree: a compact index grown to some 15,000 keys.
class IdxRandomLarge : public IdxRandom {};

TEST_F(IdxRandomLarge, CompactTreeOfManyKeys) {
  Run(Variant{"CompactLarge", 'C', XB_IDX_COMPACT, 30, false, 30000, 20000, 40000, 21}, 1000);
}

}  // namespace
}  // namespace kvtest
