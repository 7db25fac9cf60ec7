// Two processes on one NTX file, taking turns through pipes: each sees the
// other's changes at its next call (root and free chain are read from the
// header every time), and pages one process frees go to the chain in the
// file, where the other takes them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxProcesses : public EngineTest {};

std::string Key(int i) {
  char k[16];
  std::snprintf(k, sizeof k, "P%05d", i);
  return k;
}

TEST_F(NtxProcesses, TurnsOnOneFileShareTheFreeChain) {
  const std::string path = File("shared.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "name", 100, 0), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  for (int i = 0; i < 400; ++i) ASSERT_EQ(XBDCKADD(h, Key(i).c_str(), i + 1), 0);
  int toChild[2];
  int toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(toChild[1]);
    close(toParent[0]);
    // The fork copied the parent's engine; this process starts its own.
    XBDTERM();
    if (XBDINIT(100, 4) != 0) _exit(2);
    XBHANDLE c = XB_NO_HANDLE;
    if (XBDCOPENX(&c, path.c_str(), XB_OPEN_SHARED) != 0) _exit(3);
    // Turn 1: remove the first 300 keys; their pages go to the chain.
    for (int i = 0; i < 300; ++i) {
      if (XBDCKDEL(c, Key(i).c_str(), i + 1) != 0) _exit(4);
    }
    if (write(toParent[1], "1", 1) != 1) _exit(5);
    char turn = 0;
    if (read(toChild[0], &turn, 1) != 1) _exit(6);
    // Turn 3: the parent's keys are here, in order.
    XBSTATUS last = 0;
    const auto walk = NtxWalkForward(c, 100, &last);
    if (walk.size() != 400 || last != 3) _exit(7);
    for (size_t i = 0; i < walk.size(); ++i) {
      if (walk[i].record != i + 301) _exit(8);
    }
    if (XBDCCLOSE(c) != 0) _exit(9);
    XBDTERM();
    _exit(0);
  }
  close(toChild[0]);
  close(toParent[1]);
  char turn = 0;
  const bool childDone = read(toParent[0], &turn, 1) == 1;
  close(toParent[0]);
  EXPECT_TRUE(childDone);
  // Turn 2: the child's deletions are seen, and its freed pages are reused.
  const auto before = CheckNtxFile(path);
  EXPECT_EQ(before.error, "");
  EXPECT_GT(before.freePages, 10u);
  const size_t size = ReadBytes(path).size();
  XBSTATUS last = 0;
  EXPECT_EQ(NtxWalkForward(h, 100, &last).size(), 100u);
  for (int i = 400; i < 700; ++i) EXPECT_EQ(XBDCKADD(h, Key(i).c_str(), i + 1), 0);
  const auto after = CheckNtxFile(path);
  EXPECT_EQ(after.error, "");
  EXPECT_LT(after.freePages, before.freePages);
  if (ReadBytes(path).size() > size) {
    EXPECT_EQ(after.freePages, 0u);  // grown only once the chain ran out
  }
  const bool released = write(toChild[1], "3", 1) == 1;
  close(toChild[1]);
  EXPECT_TRUE(released);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
