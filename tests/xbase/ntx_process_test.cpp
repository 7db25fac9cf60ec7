// Two processes on one NTX file, taking turns: each sees the other's changes
// at its next call (root and free chain are read from the header every
// time), and pages one process frees go to the chain in the file, where the
// other takes them.
#include <gtest/gtest.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxProcesses : public EngineTest {};

TEST_F(NtxProcesses, TurnsOnOneFileShareTheFreeChain) {
  const std::string path = File("shared.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "name", 100, 0), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  for (uint32_t i = 0; i < 400; ++i) ASSERT_EQ(XBDCKADD(h, TurnKey(i).c_str(), i + 1), 0);
  Peer other;
  ASSERT_TRUE(other.started());
  ASSERT_EQ(other.IndexOpen(path, 'C').reply.status, 0);
  // Turn 1: the other program removes the first 300 keys; their pages go to
  // the chain.
  const auto deleted = other.IndexDelete(300);
  ASSERT_TRUE(deleted.ok);
  ASSERT_EQ(deleted.reply.status, 0);
  // Turn 2: its deletions are seen, and its freed pages are reused.
  const auto before = CheckNtxFile(path);
  EXPECT_EQ(before.error, "");
  EXPECT_GT(before.freePages, 10u);
  const size_t size = ReadBytes(path).size();
  XBSTATUS last = 0;
  EXPECT_EQ(NtxWalkForward(h, 100, &last).size(), 100u);
  for (uint32_t i = 400; i < 700; ++i) EXPECT_EQ(XBDCKADD(h, TurnKey(i).c_str(), i + 1), 0);
  const auto after = CheckNtxFile(path);
  EXPECT_EQ(after.error, "");
  EXPECT_LT(after.freePages, before.freePages);
  if (ReadBytes(path).size() > size) {
    EXPECT_EQ(after.freePages, 0u);  // grown only once the chain ran out
  }
  // Turn 3: this program's keys are there for the other, in order.
  const auto walk = other.IndexWalk(301);
  ASSERT_TRUE(walk.ok);
  EXPECT_EQ(walk.reply.value, 400u);
  EXPECT_EQ(walk.reply.lockStatus, 3);
  EXPECT_EQ(walk.reply.status, 0) << "records out of order";
  EXPECT_EQ(other.IndexClose().reply.status, 0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
