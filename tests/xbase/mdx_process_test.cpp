// Two processes on one MDX file: one adds keys to two tags while the other
// searches and walks them. Every call of the reader returns; afterwards the
// reader, still on the handle it opened before the writer began, sees every
// key of both tags (each key operation rereads the header and the root).
#include <gtest/gtest.h>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/dbf_lock_peer.h"
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
  Peer writer;
  ASSERT_TRUE(writer.started());
  ASSERT_EQ(writer.IndexOpen(path, 'M').reply.status, 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDMOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
  XBTAGHANDLE name = 0;
  XBTAGHANDLE amount = 0;
  ASSERT_EQ(XBDMTUSE(&name, h, "NAME"), 0);
  ASSERT_EQ(XBDMTUSE(&amount, h, "AMOUNT"), 0);
  ASSERT_TRUE(writer.BeginIndexAdd(kKeys));
  int rounds = 0;
  bool running = true;
  while (running) {
    running = !writer.Ready();
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
  const auto added = writer.Finish();
  ASSERT_TRUE(added.ok);
  EXPECT_EQ(added.reply.status, 0);
  EXPECT_GT(rounds, 0);
  EXPECT_EQ(writer.IndexClose().reply.status, 0);
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
