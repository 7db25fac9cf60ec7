// Randomized differential test of MDX tags: character, numeric and date
// tags (ascending, descending, unique) in one file get 100,000 random adds
// and deletes between them, with tags erased and new ones made on the way.
// After every step the file's invariants are checked from the bytes on disk
// and the changed tag is compared with an in-memory model (a multimap per
// tag), and a find is compared with the model's answer. Live key counts
// stay small (a random walk up to 100 to 160 keys per tag) and blocks are
// 512 bytes, so that 100-byte keys still make trees of five and more levels.
// Seeds are fixed and printed on failure.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

struct TagShape {
  const char* name;
  char type;
  uint16_t keyLength;
  bool unique;
  bool descending;
  int maxLive;
};

struct Order {
  char type;
  bool descending;
  bool operator()(const std::string& a, const std::string& b) const {
    return CompareMdxKeys(a, b, type, descending) < 0;
  }
};

struct ModelTag {
  TagShape shape;
  std::multimap<std::string, uint32_t, Order> entries;
  XBTAGHANDLE handle = 0;
  bool growing = true;

  explicit ModelTag(const TagShape& s) : shape(s), entries(Order{s.type, s.descending}) {}

  size_t KeyBytes() const {
    return shape.type == 'C' ? shape.keyLength : (shape.type == 'N' ? 12 : 8);
  }

  // The entries in tag order: equal keys by ascending record number, except
  // in a unique tag (which never holds equal keys here).
  std::vector<MdxEntry> Expected() const {
    std::vector<MdxEntry> out;
    for (auto it = entries.begin(); it != entries.end();) {
      auto end = entries.upper_bound(it->first);
      std::vector<uint32_t> records;
      for (auto j = it; j != end; ++j) records.push_back(j->second);
      std::sort(records.begin(), records.end());
      for (uint32_t r : records) out.push_back({it->first, r});
      it = end;
    }
    return out;
  }
};

class MdxRandomTest : public EngineTest {
 protected:
  std::string RandomKey(const ModelTag& t) {
    if (t.shape.type == 'C') {
      // A small alphabet and a pool of prefixes make equal keys and long
      // common prefixes frequent.
      std::string s;
      const int n = 1 + static_cast<int>(rng_() % std::min<uint16_t>(t.shape.keyLength, 12));
      for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>("ABCDxyz 09~\x80\xE9"[rng_() % 13]));
      return MdxPadded(s, t.shape.keyLength);
    }
    if (t.shape.type == 'N') {
      const int v = static_cast<int>(rng_() % 4001) - 2000;
      const int scale = static_cast<int>(rng_() % 3);
      return MdxNumber(scale == 0 ? v : (scale == 1 ? v / 100.0 : v * 1000.5));
    }
    if (rng_() % 50 == 0) return MdxDay(1.0E100);  // a blank date
    return MdxDay(2440000.0 + static_cast<double>(rng_() % 1500));
  }

  void Open() {
    ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
    for (auto& t : tags_) ASSERT_EQ(XBDMTUSE(&t.handle, file_, t.shape.name), 0) << t.shape.name;
  }

  void MakeTag(const TagShape& shape) {
    uint16_t letter = static_cast<uint16_t>(shape.type);
    if (shape.unique) letter |= XB_MDX_UNIQUE;
    if (shape.descending) letter |= XB_MDX_DESCENDING;
    ASSERT_EQ(XBDMTNEW(file_, shape.name, letter, "FIELD", shape.keyLength), 0) << shape.name;
  }

  void CheckAll(const char* when) {
    const MdxCheckResult r = CheckMdxFile(path_);
    ASSERT_EQ(r.error, "") << when;
    ASSERT_EQ(r.tags.size(), tags_.size()) << when;
    for (size_t i = 0; i < tags_.size(); ++i) {
      ASSERT_EQ(r.tags[i].name, tags_[i].shape.name) << when;
      ASSERT_TRUE(SameEntries(r.tags[i].entries, tags_[i].Expected()))
          << when << " " << tags_[i].shape.name;
      maxDepth_ = std::max(maxDepth_, r.tags[i].depth);
    }
  }

  void CheckFind(ModelTag& t, const std::vector<MdxEntry>& expected, const std::string& key) {
    std::vector<char> buffer(t.KeyBytes() + 1, 0);
    std::memcpy(buffer.data(), key.data(), t.KeyBytes());
    uint32_t r = 0;
    const XBSTATUS s = XBDMKFIND(t.handle, buffer.data(), &r, 0);
    if (expected.empty()) {
      ASSERT_EQ(s, XB_INDEX_EMPTY);
      return;
    }
    size_t lo = 0;
    while (lo < expected.size() &&
           CompareMdxKeys(expected[lo].key, key, t.shape.type, t.shape.descending) < 0) {
      ++lo;
    }
    size_t at = lo;
    XBSTATUS code = 0;
    if (lo == expected.size() || expected[lo].key != key) {
      if (lo > 0) {
        at = lo - 1;
        code = XB_KEY_NOT_FOUND;
      }
    }
    ASSERT_EQ(s, code);
    ASSERT_EQ(std::string(buffer.data(), t.KeyBytes()), expected[at].key);
    ASSERT_EQ(r, expected[at].record);
  }

  void Step(ModelTag& t) {
    const size_t live = t.entries.size();
    if (live >= static_cast<size_t>(t.shape.maxLive)) t.growing = false;
    if (live == 0) t.growing = true;
    const bool add = t.growing ? rng_() % 10 < 7 : rng_() % 10 < 3;
    if (add) {
      std::string key = RandomKey(t);
      if (t.shape.unique) {
        for (int tries = 0; tries < 20 && t.entries.count(key) != 0; ++tries) key = RandomKey(t);
        if (t.entries.count(key) != 0) return;
      }
      const uint32_t record = 1 + static_cast<uint32_t>(rng_() % 1000000);
      ASSERT_EQ(XBDMKADD(t.handle, key.data(), record), 0);
      t.entries.insert({key, record});
    } else if (live > 0 && rng_() % 10 != 0) {
      auto it = t.entries.begin();
      std::advance(it, static_cast<long>(rng_() % live));
      const std::string key = it->first;
      ASSERT_EQ(XBDMKDEL(t.handle, key.data(), it->second), 0);
      t.entries.erase(it);
    } else {
      // A key and record number that are not there.
      const std::string key = RandomKey(t);
      const uint32_t record = 2000000 + static_cast<uint32_t>(rng_() % 1000);
      const XBSTATUS s = XBDMKDEL(t.handle, key.data(), record);
      if (t.shape.unique && t.entries.count(key) != 0) {
        // A unique tag deletes by key alone.
        ASSERT_EQ(s, 0);
        t.entries.erase(t.entries.find(key));
      } else {
        ASSERT_EQ(s, live == 0 ? XB_INDEX_EMPTY : XB_KEY_NOT_FOUND);
      }
    }
  }

  std::mt19937 rng_;
  std::string path_;
  XBHANDLE file_ = 0;
  std::vector<ModelTag> tags_;
  int maxDepth_ = 0;
};

const TagShape kShapes[] = {
    {"CHAR100", 'C', 100, false, false, 160}, {"CHARDESC", 'C', 40, false, true, 120},
    {"CHARUNIQ", 'C', 60, true, false, 100},  {"NUM", 'N', 12, false, false, 150},
    {"NUMDESC", 'N', 12, false, true, 100},   {"NUMUNIQ", 'N', 12, true, false, 100},
    {"DATES", 'D', 8, false, false, 150},     {"DATEDESC", 'D', 8, true, true, 100},
};

TEST_F(MdxRandomTest, HundredThousandStepsAgainstModel) {
  const uint32_t seed = 20261208;
  SCOPED_TRACE("seed " + std::to_string(seed));
  rng_.seed(seed);
  path_ = File("random.mdx");
  ASSERT_EQ(XBDMCREATE(path_.c_str(), 1), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
  for (const TagShape& shape : kShapes) {
    MakeTag(shape);
    tags_.emplace_back(shape);
  }
  ASSERT_EQ(XBDMCLOSE(file_), 0);
  Open();
  int renewed = 0;
  for (int step = 1; step <= 100000; ++step) {
    ModelTag& t = tags_[rng_() % tags_.size()];
    ASSERT_NO_FATAL_FAILURE(Step(t)) << "step " << step << " tag " << t.shape.name;
    const MdxCheckResult r = CheckMdxFile(path_);
    ASSERT_EQ(r.error, "") << "step " << step << " tag " << t.shape.name;
    const size_t slot = static_cast<size_t>(&t - tags_.data());
    const std::vector<MdxEntry> expected = t.Expected();
    ASSERT_TRUE(SameEntries(r.tags[slot].entries, expected))
        << "step " << step << " tag " << t.shape.name;
    maxDepth_ = std::max(maxDepth_, r.tags[slot].depth);
    ASSERT_NO_FATAL_FAILURE(CheckFind(t, expected, RandomKey(t))) << "step " << step;
    if (step % 7000 == 0) {
      // A tag goes (its blocks onto the free list) and a new one comes.
      const size_t victim = rng_() % tags_.size();
      for (auto& u : tags_) ASSERT_EQ(XBDMTCLOSE(u.handle), 0);
      ASSERT_EQ(XBDMTERASE(file_, tags_[victim].shape.name), 0);
      const TagShape shape = tags_[victim].shape;
      tags_.erase(tags_.begin() + static_cast<long>(victim));
      ASSERT_NO_FATAL_FAILURE(CheckAll("after erase"));
      MakeTag(shape);
      tags_.emplace_back(shape);
      ++renewed;
      for (auto& u : tags_) ASSERT_EQ(XBDMTUSE(&u.handle, file_, u.shape.name), 0);
      ASSERT_NO_FATAL_FAILURE(CheckAll("after new tag"));
    }
    if (step % 25000 == 0) {
      ASSERT_EQ(XBDMCLOSE(file_), 0);
      ASSERT_NO_FATAL_FAILURE(Open());
      for (auto& u : tags_) {
        XBSTATUS last = 0;
        ASSERT_TRUE(SameEntries(MdxWalk(u.handle, u.KeyBytes(), true, &last), u.Expected()))
            << u.shape.name;
        ASSERT_EQ(last, u.entries.empty() ? XB_INDEX_EMPTY : XB_KEY_EDGE);
        std::vector<MdxEntry> back = MdxWalk(u.handle, u.KeyBytes(), false, &last);
        std::reverse(back.begin(), back.end());
        ASSERT_TRUE(SameEntries(back, u.Expected())) << u.shape.name;
      }
    }
  }
  EXPECT_GE(renewed, 14);
  // 100-byte keys in 512-byte blocks (4 keys a block) make trees of four
  // levels and more.
  EXPECT_GE(maxDepth_, 3);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

// One larger tree checked per batch: 20,000 keys of 100 bytes go in and out.
TEST_F(MdxRandomTest, DeepTreeCheckedPerBatch) {
  const uint32_t seed = 7;
  SCOPED_TRACE("seed " + std::to_string(seed));
  rng_.seed(seed);
  path_ = File("deep.mdx");
  ASSERT_EQ(XBDMCREATE(path_.c_str(), 1), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
  const TagShape shape{"DEEP", 'C', 100, false, false, 20000};
  MakeTag(shape);
  tags_.emplace_back(shape);
  ASSERT_EQ(XBDMTUSE(&tags_[0].handle, file_, "DEEP"), 0);
  ModelTag& t = tags_[0];
  std::vector<std::pair<std::string, uint32_t>> live;
  for (int i = 0; i < 20000; ++i) {
    std::string key = MdxPadded(std::to_string(rng_() % 100000), 100);
    const uint32_t record = static_cast<uint32_t>(i + 1);
    ASSERT_EQ(XBDMKADD(t.handle, key.data(), record), 0);
    t.entries.insert({key, record});
    live.push_back({key, record});
    if (i % 2000 == 1999) {
      ASSERT_NO_FATAL_FAILURE(CheckAll("growing"));
    }
  }
  EXPECT_GE(maxDepth_, 6);
  std::shuffle(live.begin(), live.end(), rng_);
  for (size_t i = 0; i < live.size(); ++i) {
    ASSERT_EQ(XBDMKDEL(t.handle, live[i].first.data(), live[i].second), 0);
    auto range = t.entries.equal_range(live[i].first);
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == live[i].second) {
        t.entries.erase(it);
        break;
      }
    }
    if (i % 2000 == 1999) {
      ASSERT_NO_FATAL_FAILURE(CheckAll("shrinking"));
    }
  }
  const MdxCheckResult r = CheckMdxFile(path_);
  ASSERT_EQ(r.error, "");
  EXPECT_TRUE(r.tags[0].entries.empty());
  EXPECT_EQ(r.tags[0].depth, 0);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

}  // namespace
}  // namespace kvtest
