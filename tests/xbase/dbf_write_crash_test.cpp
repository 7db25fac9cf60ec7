// Crash safety of appends: a process killed between writing a record and
// writing the new count, or at any moment of a run of appends, leaves a file
// that opens (with the length warning at most) and has every record counted
// before intact.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_write_support.h"
#include "xbase/dbf/data_write.h"

namespace kvtest {
namespace {

int stopPipe = -1;

// Runs inside the child between the record and the count: tells the parent
// and stops, to be killed there.
void StopBeforeCount() {
  const char c = 'S';
  (void)!write(stopPipe, &c, 1);
  raise(SIGSTOP);
}

class DbfCrash : public EngineTest {
 protected:
  // Reopens the file after the child died and checks every counted record.
  void CheckSurvivor(const std::string& path, uint16_t variant, uint32_t atLeast, uint32_t atMost) {
    XBHANDLE h = XB_NO_HANDLE;
    const XBSTATUS s = XBDDOPENX(&h, path.c_str(), variant);
    ASSERT_TRUE(s == 0 || s == XB_BAD_LENGTH) << s;
    uint32_t n = 0;
    ASSERT_EQ(XBDDSIZE(h, &n), 0);
    EXPECT_GE(n, atLeast);
    EXPECT_LE(n, atMost);
    for (uint32_t r = 1; r <= n; ++r) ASSERT_EQ(CheckNumbered(h, r), "") << "record " << r;
    // Appending goes on after the last counted record.
    const double num = (n + 1) * 1.5;
    const std::string name = "R" + std::to_string(n + 1);
    ASSERT_EQ(XBDDFPUT(h, 0, name.c_str()), 0);
    ASSERT_EQ(XBDDFPUT(h, 1, &num), 0);
    uint32_t no = 0;
    ASSERT_EQ(XBDDRPUT(h, &no, XB_PUT_APPEND), 0);
    EXPECT_EQ(no, n + 1);
    EXPECT_EQ(CheckNumbered(h, n + 1), "");
    ASSERT_EQ(XBDDCLOSE(h), 0);
  }
};

// Appends numbered records from `first` on; with `stopAt`, stops inside the
// append of that record.
[[noreturn]] void AppendInChild(const std::string& path, uint16_t variant, uint32_t first,
                                uint32_t stopAt, int progress) {
  if (XBDINIT(100, 4) != 0) _exit(2);
  XBHANDLE h = XB_NO_HANDLE;
  if (XBDDOPENX(&h, path.c_str(), variant) != 0) _exit(3);
  for (uint32_t r = first;; ++r) {
    const std::string name = "R" + std::to_string(r);
    const double num = r * 1.5;
    if (XBDDFPUT(h, 0, name.c_str()) != 0 || XBDDFPUT(h, 1, &num) != 0) _exit(4);
    if (r == stopAt) kv::xb::dbf::hooks::afterAppendRecord = StopBeforeCount;
    uint32_t no = 0;
    if (XBDDRPUT(h, &no, XB_PUT_APPEND) != 0 || no != r) _exit(5);
    if (progress >= 0 && r % 50 == 0) {
      // The parent learns that records up to r are counted.
      (void)!write(progress, &r, sizeof r);
    }
  }
}

TEST_F(DbfCrash, KilledBetweenRecordAndCount) {
  for (uint16_t variant : {1, 7}) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    const std::string path = File("crash" + std::to_string(variant) + ".dbf");
    MakeNumberedFile(path, 20, variant);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      stopPipe = fds[1];
      AppendInChild(path, variant, 21, 40, -1);
    }
    close(fds[1]);
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1) << "the child never reached the count";
    close(fds[0]);
    // Record 40 is written, its count not: kill the child there.
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string bytes = Slurp(path);
    EXPECT_EQ(Le32(bytes, 4), 39u);
    CheckSurvivor(path, variant, 39, 39);
  }
}

TEST_F(DbfCrash, KilledAtRandomMomentsOfAnAppendRun) {
  const uint32_t seed = 20261208;
  std::mt19937 rng(seed);
  SCOPED_TRACE("seed " + std::to_string(seed));
  for (int round = 0; round < 6; ++round) {
    const uint16_t variant = round % 2 == 0 ? 1 : 7;
    const std::string path = File("run" + std::to_string(round) + ".dbf");
    MakeNumberedFile(path, 0, variant);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      AppendInChild(path, variant, 1, 0, fds[1]);
    }
    close(fds[1]);
    // Let it run for a random number of progress reports, then kill it while
    // it keeps appending.
    const int reports = 1 + static_cast<int>(rng() % 20);
    uint32_t counted = 0;
    for (int i = 0; i < reports; ++i) ASSERT_EQ(read(fds[0], &counted, sizeof counted), 4);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;
    CheckSurvivor(path, variant, counted, UINT32_MAX);
  }
}

}  // namespace
}  // namespace kvtest
