// Two processes on one MDX file: one adds keys to two tags while the other
// searches and walks them. Every call of the reader returns; afterwards the
// reader, still on the handle it opened before the writer began, sees every
// key of both tags (each key operation rereads the header and the root).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

class MdxProcesses : public EngineTest {};

TEST_F(MdxProcesses, WriterAndReaderShareTheFile) {
  const std::string path = File("shared.mdx");
  ASSERT_EQ(XBDMCREATE(path.c_str(), 1), 0);
  XBHANDLE setup = XB_NO_HANDLE;
  ASSERT_EQ(XBDMOPENX(&setup, path.c_str(), 0), 0);
  ASSERT_EQ(XBDMTNEW(setup, "NAME", 'C', "NAME", 40), 0);
  ASSERT_EQ(XBDMTNEW(setup, "AMOUNT", 'N', "AMOUNT", 0), 0);
  ASSERT_EQ(XBDMCLOSE(setup), 0);
  constexpr int kKeys = 1200;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(go[1]);
    int failed = 0;
    if (XBDINIT(100, 4) != 0) _exit(2);
    XBHANDLE h = XB_NO_HANDLE;
    XBTAGHANDLE name = 0;
    XBTAGHANDLE amount = 0;
    if (XBDMOPENX(&h, path.c_str(), XB_OPEN_SHARED) != 0) _exit(3);
    if (XBDMTUSE(&name, h, "NAME") != 0 || XBDMTUSE(&amount, h, "AMOUNT") != 0) _exit(4);
    char start = 0;
    if (read(go[0], &start, 1) != 1) _exit(5);
    for (int i = 0; i < kKeys; ++i) {
      char k[48];
      std::snprintf(k, sizeof k, "W%06d", (i * 7919) % kKeys);
      if (XBDMKADD(name, k, static_cast<uint32_t>(i + 1)) != 0) failed = 1;
      char n[12];
      XBDMKNUM(n, (i * 7919) % kKeys - 600.5);
      if (XBDMKADD(amount, n, static_cast<uint32_t>(i + 1)) != 0) failed = 1;
    }
    if (XBDMCLOSE(h) != 0) failed = 1;
    XBDTERM();
    _exit(failed);
  }
  close(go[0]);
  XBHANDLE h = XB_NO_HANDLE;
  const XBSTATUS opened = XBDMOPENX(&h, path.c_str(), XB_OPEN_SHARED);
  XBTAGHANDLE name = 0;
  XBTAGHANDLE amount = 0;
  const XBSTATUS used = opened == 0 ? XBDMTUSE(&name, h, "NAME") : opened;
  const XBSTATUS used2 = used == 0 ? XBDMTUSE(&amount, h, "AMOUNT") : used;
  // The writer is released whatever happens here, so it never waits forever.
  const bool signalled = write(go[1], "g", 1) == 1;
  close(go[1]);
  ASSERT_EQ(used2, 0);
  ASSERT_TRUE(signalled);
  int status = 0;
  int rounds = 0;
  bool running = true;
  while (running) {
    running = waitpid(child, &status, WNOHANG) == 0;
    char key[48];
    std::snprintf(key, sizeof key, "W%06d", (rounds * 31) % kKeys);
    uint32_t r = 0;
    XBSTATUS s = XBDMKFIND(name, key, &r, 0);
    for (int i = 0; i < 20 && s >= 0 && s != 2 && s != 3; ++i) s = XBDMKNEXT(name, key, &r);
    if (s < 0) XBESCODE(0);  // a node read between two writes of a split
    s = XBDMKBOT(amount, key, &r);
    for (int i = 0; i < 20 && s >= 0 && s != 2 && s != 3; ++i) s = XBDMKPREV(amount, key, &r);
    if (s < 0) XBESCODE(0);
    ++rounds;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(rounds, 0);
  XBSTATUS last = 0;
  EXPECT_EQ(MdxWalk(name, 40, true, &last).size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(MdxWalk(amount, 12, false, &last).size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(XBDMCLOSE(h), 0);
  const MdxCheckResult check = CheckMdxFile(path);
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.tags[0].entries.size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(check.tags[1].entries.size(), static_cast<size_t>(kKeys));
}

}  // namespace
}  // namespace kvtest
