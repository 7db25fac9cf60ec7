// Two processes on one index: one adds keys while the other searches and
// walks. Every call of the reader returns; the final index holds every key.
#include <gtest/gtest.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

class NdxProcesses : public EngineTest {};

TEST_F(NdxProcesses, WriterAndReaderShareTheFile) {
  const std::string path = File("shared.ndx");
  ASSERT_EQ(XBDNCREATE(path.c_str(), 'C', "name", 12), 0);
  constexpr int kKeys = 1500;
  Peer writer;
  ASSERT_TRUE(writer.started());
  ASSERT_EQ(writer.IndexOpen(path, 'N').reply.status, 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  // The writer starts adding only once both have the index open, and the
  // reader reads until the writer is done, so that the two really overlap
  // however fast the machine is.
  ASSERT_TRUE(writer.BeginIndexAdd(kKeys));
  int rounds = 0;
  bool running = true;
  while (running) {
    running = !writer.Ready();
    char k[16];
    std::snprintf(k, sizeof k, "W%06d", (rounds * 31) % kKeys);
    uint32_t r = 0;
    XBSTATUS s = XBDNKFIND(h, k, &r, 0);
    for (int i = 0; i < 20 && s >= 0 && s != 2 && s != 3; ++i) s = XBDNKNEXT(h, k, &r);
    if (s < 0) XBESCODE(0);  // a page read between two writes of a split
    ++rounds;
  }
  const auto added = writer.Finish();
  ASSERT_TRUE(added.ok);
  EXPECT_EQ(added.reply.status, 0);
  EXPECT_GT(rounds, 0);
  EXPECT_EQ(writer.IndexClose().reply.status, 0);
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
