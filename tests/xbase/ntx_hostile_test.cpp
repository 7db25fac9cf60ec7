// Damaged and hostile NTX files: page offsets outside the file or between
// pages, offset tables pointing outside the page, counts above M, child
// loops, shared pages and broken free chains give an error status, never a
// crash or an endless loop.
#include <gtest/gtest.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxHostile : public EngineTest {
 protected:
  // An index of 60 keys of length 100 (eight per page): three levels.
  void SetUp() override {
    EngineTest::SetUp();
    path_ = File("h.ntx");
    ASSERT_EQ(XBDCCREATE(path_.c_str(), 'C', "name", 100, 0), 0);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDCOPENX(&h, path_.c_str(), 0), 0);
    for (int i = 0; i < 60; ++i) {
      char k[16];
      std::snprintf(k, sizeof k, "%03d", i);
      ASSERT_EQ(XBDCKADD(h, k, static_cast<uint32_t>(i + 1)), 0);
    }
    ASSERT_EQ(XBDCCLOSE(h), 0);
    const auto check = CheckNtxFile(path_);
    ASSERT_EQ(check.error, "");
    ASSERT_GE(check.depth, 2);
    good_ = ReadBytes(path_);
    root_ = Get32(good_, 4);
  }
  // Offset of item i of the page at `page`.
  size_t Item(const std::vector<uint8_t>& b, uint32_t page, int i) const {
    return page + Get16(b, page + 2 + 2 * i);
  }
  uint32_t Child(int i) const { return Get32(good_, Item(good_, root_, i)); }

  // Every operation on the damaged file ends; at least one reports `code`.
  void ExpectError(const std::vector<uint8_t>& bytes, XBSTATUS code) {
    WriteBytes(path_, bytes);
    XBHANDLE h = XB_NO_HANDLE;
    const XBSTATUS opened = XBDCOPENX(&h, path_.c_str(), 0);
    ASSERT_TRUE(opened == 0 || opened == 7) << opened;
    char key[128] = "020";
    uint32_t r = 0;
    bool seen = false;
    auto note = [&](XBSTATUS s) {
      if (s == code) seen = true;
      if (s < 0) XBESCODE(0);
    };
    note(XBDCKTOP(h, key, &r));
    for (int i = 0; i < 100; ++i) note(XBDCKNEXT(h, key, &r));
    note(XBDCKBOT(h, key, &r));
    for (int i = 0; i < 100; ++i) note(XBDCKPREV(h, key, &r));
    std::strcpy(key, "020");
    note(XBDCKFIND(h, key, &r, 0));
    note(XBDCKCUR(h, key, &r));
    std::strcpy(key, "999");
    note(XBDCKFIND(h, key, &r, 2));
    for (int i = 0; i < 30; ++i) {
      char added[16];
      std::snprintf(added, sizeof added, "%03dx", i * 2);
      note(XBDCKADD(h, added, 100 + i));
    }
    note(XBDCKDEL(h, "005", 6));
    note(XBDCKDEL(h, "039", 40));
    note(XBDCKDEL(h, "059", 60));
    const XBSTATUS closed = XBDCCLOSE(h);
    if (closed < 0) XBESCODE(0);
    EXPECT_TRUE(seen) << "no operation reported " << code;
  }

  std::string path_;
  std::vector<uint8_t> good_;
  uint32_t root_ = 0;
};

TEST_F(NtxHostile, RootMovedOutsideTheFileWhileOpen) {
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path_.c_str(), XB_OPEN_SHARED), 0);
  // Another program rewrites the root word: each call rereads it.
  for (uint32_t root : {static_cast<uint32_t>(good_.size()), 1000u, 0u, 0xFFFFFC00u}) {
    auto bytes = good_;
    Put32(bytes, 4, root);
    std::FILE* f = std::fopen(path_.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, 8, f);
    std::fclose(f);
    char key[128] = "1";
    uint32_t r = 0;
    EXPECT_EQ(XBDCKTOP(h, key, &r), -4) << root;
    XBESCODE(0);
    EXPECT_EQ(XBDCKFIND(h, key, &r, 0), -4) << root;
    XBESCODE(0);
    EXPECT_EQ(XBDCKADD(h, "1", 1), -4) << root;
    XBESCODE(0);
  }
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxHostile, ChildOutsideTheFileOrBetweenPages) {
  for (uint32_t child : {0x00FFFC00u, 1500u, 0u + 1024u * 500u, 512u}) {
    auto bytes = good_;
    Put32(bytes, Item(bytes, root_, 0), child);
    SCOPED_TRACE(child);
    ExpectError(bytes, -4);
  }
}

TEST_F(NtxHostile, OffsetTableOutsideThePage) {
  const uint32_t leaf = Get32(good_, Item(good_, Child(0), 0));
  for (uint16_t slot : {1020, 1000, 917, 0, 2, 0xFFFF}) {
    auto bytes = good_;
    Put16(bytes, leaf + 2, slot);
    SCOPED_TRACE(slot);
    ExpectError(bytes, -18);
  }
  // Two slots naming one item.
  auto bytes = good_;
  Put16(bytes, leaf + 4, Get16(bytes, leaf + 2));
  ExpectError(bytes, -18);
}

TEST_F(NtxHostile, CountAboveM) {
  auto bytes = good_;
  Put16(bytes, Child(0), 9);
  ExpectError(bytes, -18);
  bytes = good_;
  Put16(bytes, root_, 0xFFFF);
  ExpectError(bytes, -18);
}

TEST_F(NtxHostile, PageThatIsItsOwnChild) {
  auto bytes = good_;
  Put32(bytes, Item(bytes, root_, 0), root_);
  ExpectError(bytes, -18);
}

TEST_F(NtxHostile, LoopFurtherDown) {
  auto bytes = good_;
  const uint32_t child = Child(0);
  Put32(bytes, Item(bytes, child, 1), root_);
  ExpectError(bytes, -18);
}

TEST_F(NtxHostile, EveryChildTheSamePage) {
  // A page shared by every pointer of the root: walks end.
  auto bytes = good_;
  const int n = Get16(bytes, root_);
  for (int i = 0; i <= n; ++i) Put32(bytes, Item(bytes, root_, i), Child(0));
  WriteBytes(path_, bytes);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path_.c_str(), 0), 0);
  char key[128];
  uint32_t r = 0;
  int steps = 0;
  XBSTATUS s = XBDCKTOP(h, key, &r);
  while (s == 0 && ++steps < 5000) s = XBDCKNEXT(h, key, &r);
  EXPECT_LT(steps, 5000);
  s = XBDCKBOT(h, key, &r);
  steps = 0;
  while (s == 0 && ++steps < 5000) s = XBDCKPREV(h, key, &r);
  EXPECT_LT(steps, 5000);
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxHostile, BrokenFreeChains) {
  // A chain that loops on itself, one that leaves the file, a head between
  // pages: adds still end, and the file's tree stays whole.
  const uint32_t spare = static_cast<uint32_t>(good_.size());
  for (uint32_t link : {spare, 0xFFFFFC00u, 777u}) {
    auto bytes = good_;
    bytes.resize(bytes.size() + 1024, 0);
    Put32(bytes, 8, spare);
    Put32(bytes, spare, link);
    WriteBytes(path_, bytes);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDCOPENX(&h, path_.c_str(), 0), 0);
    for (int i = 0; i < 100; ++i) {
      char k[16];
      std::snprintf(k, sizeof k, "%03dy", i);
      ASSERT_EQ(XBDCKADD(h, k, 500 + i), 0) << link;
    }
    EXPECT_EQ(XBDCCLOSE(h), 0);
    const auto check = CheckNtxFile(path_);
    EXPECT_EQ(check.error, "") << link;
    EXPECT_EQ(check.entries.size(), 160u);
  }
  auto bytes = good_;
  Put32(bytes, 8, 1500);
  WriteBytes(path_, bytes);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path_.c_str(), 0), 0);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(XBDCKADD(h, "new", 900 + i), 0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
  EXPECT_EQ(CheckNtxFile(path_).entries.size(), 160u);
}

TEST_F(NtxHostile, TruncatedFile) {
  ASSERT_GT(good_.size(), 1500u);
  const std::vector<uint8_t> bytes(good_.begin(), good_.end() - 1500);
  WriteBytes(path_, bytes);
  XBHANDLE h = XB_NO_HANDLE;
  const XBSTATUS opened = XBDCOPENX(&h, path_.c_str(), 0);
  if (opened < 0) {
    // The root was in the part cut off.
    EXPECT_EQ(opened, -25);
    XBESCODE(0);
    return;
  }
  EXPECT_EQ(opened, 7);
  char key[128];
  uint32_t r = 0;
  // The walk meets a page that is gone or cut short.
  XBSTATUS s = XBDCKTOP(h, key, &r);
  for (int i = 0; i < 100 && s == 0; ++i) s = XBDCKNEXT(h, key, &r);
  EXPECT_TRUE(s == -2 || s == -4) << s;
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
