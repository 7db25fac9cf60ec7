// Damaged and hostile IDX files: child offsets outside the file or not on a
// node boundary, a node that is its own child, descriptor widths and counts
// that overrun a compact leaf, a free list that loops. Every call must end
// with a status (an error where the damage is met), never a crash or an
// endless walk.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"

namespace kvtest {
namespace {

class IdxHostile : public EngineTest {
 protected:
  // A two-level index of 40 keys: root at header offset 0.
  std::vector<uint8_t> Build(bool compact) {
    path_ = File(compact ? "c.idx" : "s.idx");
    EXPECT_EQ(XBDICREATE(path_.c_str(), static_cast<uint16_t>('C' | (compact ? XB_IDX_COMPACT : 0)),
                         "name", 60),
              0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDIOPENX(&h, path_.c_str(), 0), 0);
    for (int i = 0; i < 40; ++i) {
      const std::string k = "KEY" + std::to_string(1000 + i * 7) + std::string(i % 20, 'x');
      EXPECT_EQ(XBDIKADD(h, k.c_str(), static_cast<uint32_t>(i + 1)), 0);
    }
    EXPECT_EQ(XBDICLOSE(h), 0);
    const auto check = CheckIdxFile(path_);
    EXPECT_EQ(check.error, "");
    EXPECT_GE(check.depth, 1);
    return IdxBytes(path_);
  }
  // Runs every kind of call on the damaged file; the first failure must be
  // `expected` (or any error when it is 0). Returns the worst status seen.
  XBSTATUS Exercise(const std::vector<uint8_t>& bytes) {
    IdxWriteBytes(path_, bytes);
    XBHANDLE h = XB_NO_HANDLE;
    XBSTATUS worst = XBDIOPENX(&h, path_.c_str(), 0);
    if (worst < 0) {
      XBESCODE(0);
      return worst;
    }
    auto note = [&](XBSTATUS s) {
      if (s < worst) worst = s;
      if (s < 0) XBESCODE(0);
      return s;
    };
    char key[128] = {};
    uint32_t r = 0;
    XBSTATUS s = note(XBDIKTOP(h, key, &r));
    for (int i = 0; i < 200 && s == 0; ++i) s = note(XBDIKNEXT(h, key, &r));
    s = note(XBDIKBOT(h, key, &r));
    for (int i = 0; i < 200 && s == 0; ++i) s = note(XBDIKPREV(h, key, &r));
    for (const char* probe : {"", "KEY1", "KEY1100", "ZZZ", "K?Y"}) {
      std::strcpy(key, probe);
      note(XBDIKFIND(h, key, &r, 4));
    }
    for (int i = 0; i < 30; ++i) note(XBDIKADD(h, ("NEW" + std::to_string(i)).c_str(), 500 + i));
    for (int i = 0; i < 30; ++i) note(XBDIKDEL(h, ("NEW" + std::to_string(i)).c_str(), 500 + i));
    note(XBDICLOSE(h));
    return worst;
  }
  static uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
  }
  static void PutBe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
  }
  // Offset of the child pointer of root entry `i`.
  static size_t ChildField(const std::vector<uint8_t>& b, bool compact, int i) {
    const uint32_t root = IdxLe32(b, 0);
    const int L = 60;
    return compact ? root + 12 + i * (L + 8) + L + 4 : root + 12 + i * (L + 4) + L;
  }
  std::string path_;
};

TEST_F(IdxHostile, ChildOffsetsOutsideTheFileOrOffANodeBoundary) {
  for (bool compact : {false, true}) {
    const auto good = Build(compact);
    for (uint32_t bad :
         {0u, 100u, 513u, 0x7FFFFFFFu, 0xFFFFFFFFu, static_cast<uint32_t>(good.size()),
          static_cast<uint32_t>(good.size() + 512)}) {
      auto b = good;
      PutBe32(b, ChildField(b, compact, 0), bad);
      EXPECT_LT(Exercise(b), 0) << compact << " " << bad;
    }
  }
}

TEST_F(IdxHostile, ANodeThatIsItsOwnChildEndsInAnError) {
  for (bool compact : {false, true}) {
    auto b = Build(compact);
    const uint32_t root = IdxLe32(b, 0);
    PutBe32(b, ChildField(b, compact, 1), root);
    EXPECT_LT(Exercise(b), 0) << compact;
    // Two interior nodes pointing at each other: the root's children become
    // interior nodes that name the root.
    b = Build(compact);
    const uint32_t child = Be32(b, ChildField(b, compact, 0));
    IdxPutLe16(b, child, 0);  // interior
    IdxPutLe16(b, child + 2, 1);
    PutBe32(b, compact ? child + 12 + 60 + 4 : child + 12 + 60, root);
    EXPECT_LT(Exercise(b), 0) << compact;
  }
}

TEST_F(IdxHostile, DescriptorWidthsThatOverrunTheLeaf) {
  const auto good = Build(true);
  const uint32_t leaf = Be32(good, ChildField(good, true, 0));
  const std::vector<std::function<void(std::vector<uint8_t>&)>> damage = {
      [&](auto& b) { b[leaf + 23] = 0; },                 // no descriptor bytes
      [&](auto& b) { b[leaf + 23] = 9; },                 // wider than 8 bytes
      [&](auto& b) { IdxPutLe16(b, leaf + 2, 400); },     // descriptors over the keys
      [&](auto& b) { IdxPutLe16(b, leaf + 2, 0xFFFF); },  // beyond the node
      [&](auto& b) { b[leaf + 20] = 40; },                // more record bits than 32
      [&](auto& b) {                                      // widths beyond the descriptor
        b[leaf + 21] = 8;
        b[leaf + 18] = 0xFF;
      },
      [&](auto& b) { b[leaf + 18] = 0x7F; },  // mask disagrees with width
      [&](auto& b) {                          // counts longer than the key
        for (int i = 0; i < 4; ++i) b[leaf + 24 + i * b[leaf + 23] + b[leaf + 23] - 1] = 0xFF;
      },
  };
  for (size_t i = 0; i < damage.size(); ++i) {
    auto b = good;
    damage[i](b);
    EXPECT_LT(Exercise(b), 0) << "damage " << i;
  }
}

TEST_F(IdxHostile, CountsBeyondAStandardNode) {
  auto b = Build(false);
  const uint32_t root = IdxLe32(b, 0);
  IdxPutLe16(b, root + 2, 9);  // 8 entries of 64 bytes fit in 500
  EXPECT_LT(Exercise(b), 0);
}

TEST_F(IdxHostile, ALoopingFreeListNeverHandsOutALiveNode) {
  for (bool compact : {false, true}) {
    auto b = Build(compact);
    // The free list names the root, whose first word names itself.
    const uint32_t root = IdxLe32(b, 0);
    IdxPutLe32(b, 4, root);
    XBSTATUS worst = Exercise(b);
    // Reusing the root breaks the tree; what matters is that the calls end.
    (void)worst;
    // A free node whose link names itself is taken once.
    b = Build(compact);
    const uint32_t end = static_cast<uint32_t>(b.size());
    b.resize(end + 512, 0);
    IdxPutLe32(b, end, end);
    IdxPutLe32(b, 4, end);
    if (!compact) IdxPutLe32(b, 8, end + 512);
    EXPECT_EQ(Exercise(b), 0) << compact;
    const auto check = CheckIdxFile(path_);
    EXPECT_EQ(check.error, "") << compact;
    EXPECT_EQ(check.entries.size(), 40u);
  }
}

}  // namespace
}  // namespace kvtest
