// Two processes on one index: one adds keys while the other searches and
// walks. Every call of the reader returns; the final index holds every key.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

class NdxProcesses : public EngineTest {};

TEST_F(NdxProcesses, WriterAndReaderShareTheFile) {
  const std::string path = File("shared.ndx");
  ASSERT_EQ(XBDNCREATE(path.c_str(), 'C', "name", 12), 0);
  constexpr int kKeys = 1500;
  // The writer starts adding only once the reader is in its loop, so that
  // the two really overlap however fast the machine is.
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(go[1]);
    int failed = 0;
    if (XBDINIT(100, 4) != 0) _exit(2);
    XBHANDLE h = XB_NO_HANDLE;
    if (XBDNOPENX(&h, path.c_str(), XB_OPEN_SHARED) != 0) _exit(3);
    char start = 0;
    if (read(go[0], &start, 1) != 1) _exit(4);
    for (int i = 0; i < kKeys; ++i) {
      char k[16];
      std::snprintf(k, sizeof k, "W%06d", (i * 7919) % kKeys);
      if (XBDNKADD(h, k, static_cast<uint32_t>(i + 1)) != 0) failed = 1;
    }
    if (XBDNCLOSE(h) != 0) failed = 1;
    XBDTERM();
    _exit(failed);
  }
  close(go[0]);
  XBHANDLE h = XB_NO_HANDLE;
  const XBSTATUS opened = XBDNOPENX(&h, path.c_str(), XB_OPEN_SHARED);
  // The writer is released whatever happens here, so it never waits forever.
  const bool signalled = write(go[1], "g", 1) == 1;
  close(go[1]);
  ASSERT_EQ(opened, 0);
  ASSERT_TRUE(signalled);
  int status = 0;
  int rounds = 0;
  int found = 0;
  bool running = true;
  while (running) {
    running = waitpid(child, &status, WNOHANG) == 0;
    char key[16];
    std::snprintf(key, sizeof key, "W%06d", (rounds * 31) % kKeys);
    uint32_t r = 0;
    XBSTATUS s = XBDNKFIND(h, key, &r, 0);
    if (s == 0) ++found;
    for (int i = 0; i < 20 && s >= 0 && s != 2 && s != 3; ++i) s = XBDNKNEXT(h, key, &r);
    if (s < 0) XBESCODE(0);  // a page read between two writes of a split
    ++rounds;
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_GT(rounds, 0);
  // Once the writer is done, the reader sees every key in order.
  XBSTATUS last = 0;
  const auto walk = WalkForward(h, 12, &last);
  EXPECT_EQ(walk.size(), static_cast<size_t>(kKeys));
  EXPECT_EQ(XBDNCLOSE(h), 0);
  const auto check = CheckNdxFile(path, {1, 0, true});
  EXPECT_EQ(check.error, "");
  EXPECT_EQ(check.entries.size(), static_cast<size_t>(kKeys));
}

}  // namespace
}  // namespace kvtest
