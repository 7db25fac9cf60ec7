// Crash safety of appends: a process killed between writing a record and
// writing the new count, or at any moment of a run of appends, leaves a file
// that opens (with the length warning at most) and has every record counted
// before intact.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

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
    ASSERT_EQ(PutNumberedFields(h, n + 1), 0);
    uint32_t no = 0;
    ASSERT_EQ(XBDDRPUT(h, &no, XB_PUT_APPEND), 0);
    EXPECT_EQ(no, n + 1);
    EXPECT_EQ(CheckNumbered(h, n + 1), "");
    ASSERT_EQ(XBDDCLOSE(h), 0);
  }
};

// The writer, another program killed in its appends, either from inside
// one (between the record and its count: it stops there and says so) or at
// whatever moment it has reached.
TEST_F(DbfCrash, KilledBetweenRecordAndCount) {
  for (uint16_t variant : {1, 7}) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    const std::string path = File("crash" + std::to_string(variant) + ".dbf");
    MakeNumberedFile(path, 20, variant);
    Peer writer;
    ASSERT_TRUE(writer.started());
    ASSERT_EQ(writer.Open(path, variant).reply.status, 0);
    ASSERT_TRUE(writer.BeginAppendRun(21, 40, 0));
    const auto stopped = writer.Finish();
    ASSERT_TRUE(stopped.ok) << "the writer never reached the count";
    ASSERT_EQ(stopped.reply.status, 0);
    ASSERT_EQ(stopped.reply.value, 40u);
    // Record 40 is written, its count not: kill the writer there.
    ASSERT_TRUE(writer.Kill());
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
    Peer writer;
    ASSERT_TRUE(writer.started());
    ASSERT_EQ(writer.Open(path, variant).reply.status, 0);
    ASSERT_TRUE(writer.BeginAppendRun(1, 0, 50));
    // Let it run for a random number of progress reports, then kill it while
    // it keeps appending.
    const int reports = 1 + static_cast<int>(rng() % 20);
    uint32_t counted = 0;
    for (int i = 0; i < reports; ++i) {
      const auto report = writer.Finish();
      ASSERT_TRUE(report.ok);
      ASSERT_EQ(report.reply.status, 0) << "the writer failed after record " << counted;
      counted = report.reply.value;
    }
    ASSERT_TRUE(writer.Kill()) << "the writer stopped by itself";
    CheckSurvivor(path, variant, counted, UINT32_MAX);
  }
}

}  // namespace
}  // namespace kvtest
