// Failing writes and allocations on every step of a split, of the open and
// of the compaction at close: each call reports the failure, nothing is
// leaked, and the handle can still be closed.
#include <gtest/gtest.h>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

class NdxFailure : public EngineTest {
 protected:
  void TearDown() override {
    kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
    kvp::fault::Arm(kvp::fault::Op::Alloc, 0, 0);
    kvp::fault::Arm(kvp::fault::Op::Truncate, 0, 0);
    EngineTest::TearDown();
  }
  // A root leaf holding four keys of length 100: the next add splits it.
  XBHANDLE FullRootLeaf(const std::string& path) {
    EXPECT_EQ(XBDNCREATE(path.c_str(), 'C', "name", 100), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
    for (const char* k : {"B", "D", "F", "H"}) EXPECT_EQ(XBDNKADD(h, k, 1), 0);
    return h;
  }
};

TEST_F(NdxFailure, EveryWriteOfASplit) {
  kvp::fault::Reset();
  XBHANDLE h = FullRootLeaf(File("count.ndx"));
  const unsigned before = kvp::fault::Calls(kvp::fault::Op::Write);
  ASSERT_EQ(XBDNKADD(h, "E", 2), 0);
  const unsigned writes = kvp::fault::Calls(kvp::fault::Op::Write) - before;
  ASSERT_GE(writes, 4u);  // end page, two pages, new root, root pointer
  ASSERT_EQ(XBDNCLOSE(h), 0);
  for (unsigned n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    const std::string path = File("w" + std::to_string(n) + ".ndx");
    h = FullRootLeaf(path);
    kvp::fault::Arm(kvp::fault::Op::Write, n, 29 /* write fault */);
    EXPECT_EQ(XBDNKADD(h, "E", 2), -1);
    kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
    XBESCODE(0);
    EXPECT_GE(XBDNCLOSE(h), 0);
    XBESCODE(0);
  }
}

TEST_F(NdxFailure, GrowingTheFileFails) {
  XBHANDLE h = FullRootLeaf(File("t.ndx"));
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Truncate, 1, 112 /* disk full */);
  EXPECT_LT(XBDNKADD(h, "E", 2), 0);
  XBESCODE(0);
  // Nothing was changed: the index is still the full root leaf.
  const auto check = CheckNdxFile(File("t.ndx"));
  EXPECT_EQ(check.error, "");
  EXPECT_EQ(check.entries.size(), 4u);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxFailure, EveryAllocationOfTheOpen) {
  const std::string path = File("a.ndx");
  ASSERT_EQ(XBDNCREATE(path.c_str(), 'C', "name", 10), 0);
  kvp::fault::Reset();
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  const unsigned allocations = kvp::fault::Calls(kvp::fault::Op::Alloc);
  ASSERT_GE(allocations, 6u);  // offsets, path, three page buffers, key
  ASSERT_EQ(XBDNCLOSE(h), 0);
  for (unsigned n = 1; n <= allocations; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    kvp::fault::Arm(kvp::fault::Op::Alloc, n, 8 /* not enough memory */);
    h = 7;
    EXPECT_EQ(XBDNOPENX(&h, path.c_str(), 0), -3);
    EXPECT_EQ(h, XB_NO_HANDLE);
    kvp::fault::Arm(kvp::fault::Op::Alloc, 0, 0);
    XBESCODE(0);
  }
}

TEST_F(NdxFailure, CompactionWriteFailsAtClose) {
  const std::string path = File("c.ndx");
  ASSERT_EQ(XBDNCREATE(path.c_str(), 'C', "name", 100), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  for (int i = 0; i < 30; ++i) {
    const std::string k = std::to_string(100 + i);
    ASSERT_EQ(XBDNKADD(h, k.c_str(), static_cast<uint32_t>(i + 1)), 0);
  }
  for (int i = 0; i < 12; ++i) {
    const std::string k = std::to_string(100 + i);
    ASSERT_EQ(XBDNKDEL(h, k.c_str(), static_cast<uint32_t>(i + 1)), 0);
  }
  ASSERT_FALSE(OpenIndex(h)->freePages.empty());
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Write, 1, 29);
  EXPECT_EQ(XBDNCLOSE(h), -6);
  kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
  XBESCODE(0);
  // The handle is gone; the file still reads.
  EXPECT_EQ(XBDNCLOSE(h), -13);
  XBESCODE(0);
  // The failed move changed nothing: the freed pages are still in the file.
  EXPECT_EQ(CheckNdxFile(path).error, "");
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), 0), 0);
  XBSTATUS last = 0;
  EXPECT_EQ(WalkForward(h, 100, &last).size(), 18u);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
