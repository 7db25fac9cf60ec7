// Failing writes, file growth and allocations on every step of a split, of a
// new tag and of a tag's use: each call reports the failure, nothing is
// leaked (the fixture counts engine blocks), the file can still be closed
// and reopened, and what the failure left behind is a file whose tags still
// walk without error.
#include <gtest/gtest.h>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

class MdxFailure : public EngineTest {
 protected:
  void TearDown() override {
    kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
    kvp::fault::Arm(kvp::fault::Op::Alloc, 0, 0);
    kvp::fault::Arm(kvp::fault::Op::Truncate, 0, 0);
    EngineTest::TearDown();
  }
  // A tag whose root leaf holds four keys of length 100 (K = 4 with 512-byte
  // blocks): the next add splits it.
  void FullRootLeaf(const std::string& path) {
    ASSERT_EQ(XBDMCREATE(path.c_str(), 1), 0);
    ASSERT_EQ(XBDMOPENX(&file_, path.c_str(), 0), 0);
    ASSERT_EQ(XBDMTNEW(file_, "T", 'C', "NAME", 100), 0);
    ASSERT_EQ(XBDMTUSE(&tag_, file_, "T"), 0);
    for (const char* k : {"B", "D", "F", "H"}) ASSERT_EQ(XBDMKADD(tag_, k, 1), 0);
  }
  // Reopens the file after a failure: the tag still walks without error.
  void Reopen(const std::string& path) {
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_GE(XBDMOPENX(&h, path.c_str(), 0), 0);
    XBTAGHANDLE t = 0;
    ASSERT_EQ(XBDMTUSE(&t, h, "T"), 0);
    XBSTATUS last = 0;
    MdxWalk(t, 100, true, &last);
    EXPECT_GE(last, 0);
    XBESCODE(0);
    EXPECT_EQ(XBDMCLOSE(h), 0);
  }
  XBHANDLE file_ = XB_NO_HANDLE;
  XBTAGHANDLE tag_ = 0;
};

TEST_F(MdxFailure, EveryWriteOfASplit) {
  kvp::fault::Reset();
  FullRootLeaf(File("count.mdx"));
  const unsigned before = kvp::fault::Calls(kvp::fault::Op::Write);
  ASSERT_EQ(XBDMKADD(tag_, "E", 2), 0);
  const unsigned writes = kvp::fault::Calls(kvp::fault::Op::Write) - before;
  ASSERT_GE(writes, 5u);  // next block twice, two nodes, new root, tag root
  ASSERT_EQ(XBDMCLOSE(file_), 0);
  for (unsigned n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    const std::string path = File("w" + std::to_string(n) + ".mdx");
    FullRootLeaf(path);
    kvp::fault::Arm(kvp::fault::Op::Write, n, 29 /* write fault */);
    EXPECT_EQ(XBDMKADD(tag_, "E", 2), XB_E_WRITE);
    kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
    XBESCODE(0);
    EXPECT_GE(XBDMCLOSE(file_), 0);
    XBESCODE(0);
    Reopen(path);
  }
}

TEST_F(MdxFailure, GrowingTheFileFails) {
  FullRootLeaf(File("t.mdx"));
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Truncate, 1, 112 /* disk full */);
  EXPECT_LT(XBDMKADD(tag_, "E", 2), 0);
  XBESCODE(0);
  // Nothing was changed: the tag is still the full root leaf.
  const MdxCheckResult check = CheckMdxFile(File("t.mdx"));
  EXPECT_EQ(check.error, "");
  ASSERT_EQ(check.tags.size(), 1u);
  EXPECT_EQ(check.tags[0].entries.size(), 4u);
  EXPECT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxFailure, EveryWriteOfANewTag) {
  kvp::fault::Reset();
  const std::string counted = File("count.mdx");
  ASSERT_EQ(XBDMCREATE(counted.c_str(), 2), 0);
  ASSERT_EQ(XBDMOPENX(&file_, counted.c_str(), 0), 0);
  const unsigned before = kvp::fault::Calls(kvp::fault::Op::Write);
  ASSERT_EQ(XBDMTNEW(file_, "T", 'C', "NAME", 100), 0);
  const unsigned writes = kvp::fault::Calls(kvp::fault::Op::Write) - before;
  ASSERT_GE(writes, 4u);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
  for (unsigned n = 1; n <= writes; ++n) {
    SCOPED_TRACE("write " + std::to_string(n));
    const std::string path = File("t" + std::to_string(n) + ".mdx");
    ASSERT_EQ(XBDMCREATE(path.c_str(), 2), 0);
    ASSERT_EQ(XBDMOPENX(&file_, path.c_str(), 0), 0);
    kvp::fault::Arm(kvp::fault::Op::Write, n, 29);
    EXPECT_EQ(XBDMTNEW(file_, "T", 'C', "NAME", 100), XB_E_WRITE);
    kvp::fault::Arm(kvp::fault::Op::Write, 0, 0);
    XBESCODE(0);
    EXPECT_EQ(XBDMCLOSE(file_), 0);
    // The table is written last: a tag is either whole or absent.
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_GE(XBDMOPENX(&h, path.c_str(), 0), 0);
    XBESCODE(0);
    XBTAGHANDLE t = 0;
    const XBSTATUS used = XBDMTUSE(&t, h, "T");
    if (used == 0) {
      XBSTATUS last = 0;
      EXPECT_TRUE(MdxWalk(t, 100, true, &last).empty());
      EXPECT_EQ(last, XB_INDEX_EMPTY);
    } else {
      EXPECT_EQ(used, XB_E_TAG_NAME);
    }
    XBESCODE(0);
    EXPECT_EQ(XBDMCLOSE(h), 0);
  }
}

TEST_F(MdxFailure, EveryAllocationOfATagsUse) {
  const std::string path = File("a.mdx");
  ASSERT_EQ(XBDMCREATE(path.c_str(), 2), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path.c_str(), 0), 0);
  ASSERT_EQ(XBDMTNEW(file_, "T", 'N', "AMOUNT", 0), 0);
  kvp::fault::Reset();
  ASSERT_EQ(XBDMTUSE(&tag_, file_, "T"), 0);
  const unsigned allocations = kvp::fault::Calls(kvp::fault::Op::Alloc);
  ASSERT_GE(allocations, 5u);  // offsets, path, three buffers, current key
  ASSERT_EQ(XBDMTCLOSE(tag_), 0);
  for (unsigned n = 1; n <= allocations; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    kvp::fault::Arm(kvp::fault::Op::Alloc, n, 8 /* not enough memory */);
    EXPECT_EQ(XBDMTUSE(&tag_, file_, "T"), XB_E_MEMORY);
    kvp::fault::Arm(kvp::fault::Op::Alloc, 0, 0);
    XBESCODE(0);
    char key[13];
    uint32_t r = 0;
    EXPECT_EQ(XBDMKTOP(XB_TAG_HANDLE(file_, 1), key, &r), XB_E_TAG_SLOT);
    XBESCODE(0);
  }
  ASSERT_EQ(XBDMTUSE(&tag_, file_, "T"), 0);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

}  // namespace
}  // namespace kvtest
