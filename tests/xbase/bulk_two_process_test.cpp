// Two processes build an index each at the same time in one directory: each
// pauses once its sort file exists until both exist, so both sort files are
// there at once and must have different names.
#include <gtest/gtest.h>

#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"

namespace kvtest {
namespace {

class BulkProcesses : public BulkTest {};

TEST_F(BulkProcesses, TwoBuildAtOnceInOneDirectory) {
  for (const char* name : {"one.dbf", "two.dbf"}) {
    WriteDataFile(File(name), {{"NAME", 'C', 10}}, 30000,
                  [](uint32_t r) { return std::vector<std::string>{ScatteredName(r)}; });
  }
  Peer builders[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(builders[i].started());
    const std::string dbf = File(i == 0 ? "one.dbf" : "two.dbf");
    ASSERT_EQ(builders[i].Open(dbf, XB_OPEN_SHARED).reply.status, 0);
    ASSERT_TRUE(builders[i].BeginIndexBuild(File(i == 0 ? "one.ndx" : "two.ndx"), 10));
  }
  for (Peer& builder : builders) {
    const auto paused = builder.Finish();
    ASSERT_TRUE(paused.ok);
    ASSERT_EQ(paused.reply.value, 1u) << "status " << paused.reply.status;
  }
  // Both sort files exist at once, under different names.
  EXPECT_EQ(SortFilesIn(dir_.path()).size(), 2u);
  for (Peer& builder : builders) {
    const auto built = builder.Go();
    ASSERT_TRUE(built.ok);
    EXPECT_EQ(built.reply.status, 0);
  }
  ExpectGoodNameIndex(File("one.ndx"), 30000);
  ExpectGoodNameIndex(File("two.ndx"), 30000);
}

}  // namespace
}  // namespace kvtest
