// The order `kvhost index check --lenient` says a file's keys follow: from
// the keys as stored, ascending or descending by this engine's comparison,
// either with case folded, or unknown.
#include "host/index_check/key_order.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "host/index_check/ndx_invariants.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"
#include "xbase/frame/engine.h"

namespace kvtest {
namespace {

int Bytes(const std::string& a, const std::string& b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

TEST(KeyOrder, EachOrderIsTheFirstThatEveryPairKeeps) {
  using kvcheck::GuessKeyOrder;
  EXPECT_EQ(GuessKeyOrder({"ADAMS", "BROWN", "BROWN", "ZORN"}, Bytes, true), "ascending");
  EXPECT_EQ(GuessKeyOrder({"ZORN", "BROWN", "ADAMS"}, Bytes, true), "descending");
  // TDbf's order of mixed-case names: "jones" between "DELETED2" and "MILLER".
  EXPECT_EQ(GuessKeyOrder({"DELETED2", "jones", "MILLER"}, Bytes, true),
            "ascending, case-insensitive");
  EXPECT_EQ(GuessKeyOrder({"MILLER", "jones", "DELETED2"}, Bytes, true),
            "descending, case-insensitive");
  // Accented letters of Windows-1252 fold too: 0xE9 is the small of 0xC9.
  EXPECT_EQ(GuessKeyOrder({"\xC9"
                           "A",
                           "\xE9"
                           "B",
                           "\xC9"
                           "C"},
                          Bytes, true),
            "ascending, case-insensitive");
  // Numbers are not folded: bytes that only folding orders stay unknown.
  EXPECT_EQ(GuessKeyOrder({"DELETED2", "jones", "MILLER"}, Bytes, false), "unknown");
  EXPECT_EQ(GuessKeyOrder({"b", "a", "c"}, Bytes, true), "unknown");
  // Too few keys to tell: the first order fits.
  EXPECT_EQ(GuessKeyOrder({}, Bytes, true), "ascending");
  EXPECT_EQ(GuessKeyOrder({"X", "X"}, Bytes, true), "ascending");
}

class KeyOrderOfFile : public EngineTest {
 protected:
  // An NDX of `count` keys whose every leaf has all but its last entry
  // reversed on disk (the last, its greatest, stands again in the page
  // above, which the tree's shape needs); the keys as the checker reads
  // them without the order rule.
  std::vector<std::string> ReversedLeaves(const std::string& name, uint32_t count) {
    const std::string path = File(name);
    EXPECT_EQ(XBDNCREATE(path.c_str(), 'C', "NAME", 8), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
    for (uint32_t r = 1; r <= count; ++r) {
      char key[16];
      std::snprintf(key, sizeof key, "K%07u", r);
      EXPECT_EQ(XBDNKADD(h, key, r), 0);
    }
    EXPECT_EQ(XBDNCLOSE(h), 0);
    std::vector<uint8_t> b = IdxBytes(path);
    const size_t entrySize = b.at(18) | b.at(19) << 8;
    const uint32_t pages = b.at(4) | b.at(5) << 8 | b.at(6) << 16;
    for (uint32_t page = 1; page < pages; ++page) {
      const size_t at = size_t{page} * 512;
      const bool leaf = (b.at(at + 4) | b.at(at + 5) | b.at(at + 6) | b.at(at + 7)) == 0;
      if (!leaf) continue;
      const int n = b.at(at);
      for (int i = 0, j = n - 2; i < j; ++i, --j) {
        std::swap_ranges(b.begin() + static_cast<ptrdiff_t>(at + 4 + i * entrySize),
                         b.begin() + static_cast<ptrdiff_t>(at + 4 + (i + 1) * entrySize),
                         b.begin() + static_cast<ptrdiff_t>(at + 4 + j * entrySize));
      }
    }
    IdxWriteBytes(path, b);
    EXPECT_NE(kvcheck::CheckNdxFile(path, {}).error, "");
    kvcheck::NdxCheckOptions shapeOnly;
    shapeOnly.keyOrder = false;
    const kvcheck::NdxCheckResult r = kvcheck::CheckNdxFile(path, shapeOnly);
    EXPECT_EQ(r.error, "") << "the tree's shape is untouched";
    EXPECT_EQ(r.entries.size(), count);
    std::vector<std::string> keys;
    for (const auto& e : r.entries) keys.push_back(e.key);
    return keys;
  }
};

TEST_F(KeyOrderOfFile, ReversedLeavesFollowNoOrder) {
  // One leaf: descending but for its last key, so no order at all.
  EXPECT_EQ(kvcheck::GuessKeyOrder(ReversedLeaves("one.ndx", 20), Bytes, true), "unknown");
  EXPECT_EQ(kvcheck::GuessKeyOrder(ReversedLeaves("many.ndx", 600), Bytes, true), "unknown");
}

}  // namespace
}  // namespace kvtest
