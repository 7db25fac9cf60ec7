// Damaged and hostile memo files: block numbers and entry lengths beyond
// the file or negative when read as signed, chains that loop or reach the
// header, next free blocks that would overflow. Each gives a status code,
// never a crash, an endless walk, an allocation of the file's claimed size
// or a write over the header.
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/memo_invariants.h"
#include "tests/xbase/memo_support.h"

namespace kvtest {
namespace {

using namespace memo;

class MemoHostile : public EngineTest {
 protected:
  void TearDown() override {
    kvp::fault::Reset();
    EngineTest::TearDown();
  }
  XBHANDLE OpenDbt(uint16_t variant) {
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDTOPENX(&h, path_.c_str(), variant), 0);
    return h;
  }
  XBHANDLE OpenFpt() {
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDWOPENX(&h, path_.c_str(), 0), 0);
    return h;
  }
  // A block-size file (512-byte blocks) with a 600-byte memo at block 1
  // (two blocks) and "second" at block 3; its bytes.
  std::string BlockFile() {
    path_ = File("h.dbt");
    EXPECT_EQ(XBDTCREATEX(path_.c_str(), 1, 2), 0);
    XBHANDLE h = OpenDbt(2);
    uint32_t a = 0;
    uint32_t b = 0;
    EXPECT_EQ(XBDTRPUT(h, &a, Text(600, 1).c_str(), 0), 0);
    EXPECT_EQ(XBDTRPUT(h, &b, "second", 0), 0);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 3u);
    EXPECT_EQ(XBDTCLOSE(h), 0);
    return Slurp(path_);
  }
  void ExpectFailure(XBSTATUS got, XBSTATUS code) {
    EXPECT_EQ(got, code);
    EXPECT_EQ(XBECODE(), code);
    XBESCODE(0);
  }
  // Reads `block` and expects `code`, with no engine memory taken.
  void ExpectRefusedRead(XBHANDLE h, uint32_t block, XBSTATUS code, bool fpt = false) {
    kvp::fault::Reset();
    const ReadResult r = fpt ? ReadFpt(h, block) : ReadDbt(h, block);
    EXPECT_EQ(kvp::fault::Calls(kvp::fault::Op::Alloc), 0u) << "no memory for a refused text";
    EXPECT_FALSE(r.returned);
    ExpectFailure(r.status, code);
  }
  std::string path_;
};

TEST_F(MemoHostile, BlockSizeEntryLengthsBeyondTheFileOrNegative) {
  std::string b = BlockFile();
  const struct {
    uint32_t length;
    XBSTATUS code;
  } cases[] = {
      {0x7FFFFFF0u, -2}, {0xFFFFFFF8u, -2}, {0x80000000u, -2},  // 1039: one byte past the end
      {1039, -2},        {7, -18},          {0, -18}};
  for (const auto& c : cases) {
    PutLE32(b, 512 + 4, c.length);
    Spit(path_, b);
    XBHANDLE h = OpenDbt(2);
    SCOPED_TRACE(c.length);
    ExpectRefusedRead(h, 1, c.code);
    // The other memo is untouched and a rewrite of the damaged one writes a
    // new memo without freeing blocks it cannot vouch for.
    EXPECT_EQ(ReadDbt(h, 3).text, "second");
    uint32_t block = 1;
    ASSERT_EQ(XBDTRPUT(h, &block, "replacement", XB_MEMO_REWRITE), 0);
    EXPECT_EQ(block, 4u);
    EXPECT_EQ(ReadDbt(h, 4).text, "replacement");
    EXPECT_EQ(LE32(Slurp(path_), 0), 5u) << "nothing went to the free chain";
    ASSERT_EQ(XBDTCLOSE(h), 0);
  }
  // An entry length that is exactly right reads.
  PutLE32(b, 512 + 4, 608);
  Spit(path_, b);
  XBHANDLE h = OpenDbt(2);
  EXPECT_EQ(ReadDbt(h, 1).text, Text(600, 1));
}

TEST_F(MemoHostile, BlockNumbersBeyondTheFile) {
  BlockFile();
  XBHANDLE h = OpenDbt(2);
  for (uint32_t block : {0u, 4u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(block);
    ExpectRefusedRead(h, block, -4);
    uint32_t b = block;
    ExpectFailure(XBDTRPUT(h, &b, "x", XB_MEMO_REWRITE), -4);
    EXPECT_EQ(b, block);
  }
  ASSERT_EQ(XBDTCLOSE(h), 0);
  h = OpenDbt(1);  // the same file read as plain
  ExpectFailure(ReadDbt(h, 0xFFFFFFFFu).status, -4);
}

TEST_F(MemoHostile, ChainsThatLoopOrReachTheHeaderAreRefused) {
  const std::string good = BlockFile();
  struct Case {
    const char* what;
    uint32_t head;
    uint32_t next;  // of the run at block 1
    uint32_t size;
  };
  const Case cases[] = {
      {"self loop", 1, 1, 1},         {"head is the header", 0, 0, 0},
      {"run of no blocks", 1, 4, 0},  {"run past the end", 1, 4, 50},
      {"run to the header", 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string b = good;
    PutLE32(b, 0, c.head);
    PutLE32(b, 512, c.next);
    PutLE32(b, 516, c.size);
    Spit(path_, b);
    XBHANDLE h = OpenDbt(2);
    uint32_t block = 0;
    // Three blocks fit no run: the walk goes through the whole chain.
    ExpectFailure(XBDTRPUT(h, &block, Text(1200, 2).c_str(), 0), -18);
    EXPECT_EQ(block, 0u);
    EXPECT_EQ(Slurp(path_).substr(0, 512), b.substr(0, 512)) << "header untouched";
    EXPECT_EQ(ReadDbt(h, 3).text, "second");
    ASSERT_EQ(XBDTCLOSE(h), 0);
  }
}

TEST_F(MemoHostile, NextFreeBlocksThatWouldOverflowOrHitTheHeader) {
  // Block-size layout: a chain end so far out that the new end passes 4 GiB.
  std::string b = BlockFile();
  PutLE32(b, 0, 0x7FFFFF);  // x 512 = 4 GiB - 512
  Spit(path_, b);
  XBHANDLE h = OpenDbt(2);
  uint32_t block = 0;
  ExpectFailure(XBDTRPUT(h, &block, Text(2000, 3).c_str(), 0), -4);
  EXPECT_EQ(Slurp(path_), b);
  ASSERT_EQ(XBDTCLOSE(h), 0);

  // Plain layout: next free block 0 would write over the header.
  path_ = File("p.dbt");
  ASSERT_EQ(XBDTCREATE(path_.c_str()), 0);
  std::string p = Slurp(path_);
  for (uint32_t next : {0u, 0x7FFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(next);
    PutLE32(p, 0, next);
    Spit(path_, p);
    h = OpenDbt(1);
    block = 0;
    ExpectFailure(XBDTRPUT(h, &block, Text(1000, 4).c_str(), 0), next == 0 ? -18 : -4);
    EXPECT_EQ(Slurp(path_), p);
    ASSERT_EQ(XBDTCLOSE(h), 0);
  }

  // FPT: a next free block inside the header area, or past 4 GiB.
  path_ = File("f.fpt");
  ASSERT_EQ(XBDWCREATE(path_.c_str(), 64), 0);
  std::string f = Slurp(path_);
  const struct {
    uint32_t next;
    XBSTATUS code;
  } fcases[] = {{0, -18}, {7, -18}, {0x3FFFFFF, -4}, {0xFFFFFFFF, -4}};
  for (const auto& c : fcases) {
    SCOPED_TRACE(c.next);
    PutBE32(f, 0, c.next);
    Spit(path_, f);
    h = OpenFpt();
    block = 0;
    ExpectFailure(XBDWRPUT(h, &block, "text", 0), c.code);
    EXPECT_EQ(Slurp(path_), f);
    ASSERT_EQ(XBDWCLOSE(h), 0);
  }
}

TEST_F(MemoHostile, FptEntryLengthsBeyondTheFile) {
  path_ = File("f.fpt");
  ASSERT_EQ(XBDWCREATE(path_.c_str(), 64), 0);
  XBHANDLE h = OpenFpt();
  uint32_t a = 0;
  uint32_t b = 0;
  ASSERT_EQ(XBDWRPUT(h, &a, Text(100, 5).c_str(), 0), 0);
  ASSERT_EQ(XBDWRPUT(h, &b, "after", 0), 0);
  ASSERT_EQ(XBDWCLOSE(h), 0);
  std::string good = Slurp(path_);
  for (uint32_t length : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 1000u}) {
    SCOPED_TRACE(length);
    std::string f = good;
    PutBE32(f, a * 64 + 4, length);
    Spit(path_, f);
    h = OpenFpt();
    ExpectRefusedRead(h, a, -2, true);
    // A rewrite of the damaged entry is not made in place over "after".
    uint32_t block = a;
    ASSERT_EQ(XBDWRPUT(h, &block, Text(150, 6).c_str(), XB_MEMO_REWRITE), 0);
    EXPECT_NE(block, a);
    EXPECT_EQ(ReadFpt(h, b).text, "after");
    EXPECT_EQ(ReadFpt(h, block).text, Text(150, 6));
    ASSERT_EQ(XBDWCLOSE(h), 0);
  }
  // A next free block beyond the file: blocks there read as too short.
  std::string f = good;
  PutBE32(f, 0, 1000);
  Spit(path_, f);
  h = OpenFpt();
  ExpectRefusedRead(h, 900, -2, true);
}

TEST_F(MemoHostile, BlockSizesFromTheRealWorld) {
  // A block size that is no multiple of 512 still lays blocks end to end.
  BlockFile();
  std::string b = Slurp(path_);
  b.resize(700 + 1);
  b[700] = '\x1A';
  PutLE32(b, 0, 1);
  PutLE16(b, 20, 700);
  Spit(path_, b);
  XBHANDLE h = OpenDbt(2);
  uint32_t x = 0;
  uint32_t y = 0;
  ASSERT_EQ(XBDTRPUT(h, &x, Text(1000, 7).c_str(), 0), 0);
  ASSERT_EQ(XBDTRPUT(h, &y, "y", 0), 0);
  EXPECT_EQ(x, 1u);
  EXPECT_EQ(y, 3u);
  EXPECT_EQ(ReadDbt(h, x).text, Text(1000, 7));
  const ChainCheck check = CheckBlockSizeDbt(Slurp(path_), {{x, Text(1000, 7)}, {y, "y"}}, true);
  EXPECT_EQ(check.error, "");
  ASSERT_EQ(XBDTCLOSE(h), 0);
  // Files that carry the block-size header but plain texts are read as
  // plain files.
  std::string plain(512, '\0');
  PutLE32(plain, 0, 3);
  plain[18] = 2;
  plain[19] = 1;
  PutLE16(plain, 20, 512);
  std::string memo1 = "plain text\x1A\x1A";
  memo1.resize(1024, ' ');
  plain += memo1;
  Spit(path_, plain);
  h = OpenDbt(1);
  EXPECT_EQ(ReadDbt(h, 1).text, "plain text");
}

TEST(MemoInvariants, CheckerFindsLostAndDoubleBookedBlocks) {
  // A block-size file of 512-byte blocks built by hand: a memo of two
  // blocks at 1, a free run of two at 3, a memo at 5; the chain ends at 6.
  std::string b(512, '\0');
  b[18] = 2;
  b[19] = 1;
  PutLE16(b, 20, 512);
  PutLE32(b, 0, 3);
  auto entry = [](const std::string& text, size_t blocks) {
    std::string e("\xFF\xFF\x08\x00", 4);
    e += std::string(4, '\0');
    PutLE32(e, 4, static_cast<uint32_t>(text.size() + 8));
    e += text;
    e.resize(blocks * 512, '\0');
    return e;
  };
  const std::string t1(600, 'a');
  b += entry(t1, 2);
  std::string run(1024, '\0');
  PutLE32(run, 0, 6);
  PutLE32(run, 4, 2);
  b += run;
  b += entry("five", 1);
  const std::map<uint32_t, std::string> live = {{1, t1}, {5, "five"}};
  ChainCheck c = CheckBlockSizeDbt(b, live, true);
  EXPECT_EQ(c.error, "");
  EXPECT_EQ(c.end, 6u);
  EXPECT_EQ(c.runs, 1u);
  EXPECT_EQ(c.freeBlocks, 2u);
  EXPECT_EQ(c.usedBlocks, 3u);

  std::string lost = b;
  PutLE32(lost, 0, 6);  // the run dropped from the chain
  EXPECT_NE(CheckBlockSizeDbt(lost, live, true).error.find("lost"), std::string::npos);
  EXPECT_EQ(CheckBlockSizeDbt(lost, live, false).error, "");

  std::string both = b;
  PutLE32(both, 3 * 512 + 4, 3);  // the run swallows the memo at 5
  EXPECT_NE(CheckBlockSizeDbt(both, live, true).error.find("both free and used"),
            std::string::npos);

  std::string loop = b;
  PutLE32(loop, 3 * 512, 3);
  EXPECT_NE(CheckBlockSizeDbt(loop, live, true).error.find("loops"), std::string::npos);

  // A memo at 4 whose entry claims blocks 4 and 5, where another memo lives.
  std::string twice = b;
  PutLE32(twice, 0, 6);
  twice.replace(4 * 512, 4, "\xFF\xFF\x08\x00", 4);
  PutLE32(twice, 4 * 512 + 4, 608);
  const std::map<uint32_t, std::string> overlapping = {
      {1, t1}, {4, twice.substr(4 * 512 + 8, 600)}, {5, "five"}};
  EXPECT_NE(CheckBlockSizeDbt(twice, overlapping, false).error.find("two memos"),
            std::string::npos);

  std::string beyond = b;
  PutLE32(beyond, 3 * 512, 5);  // the chain ends at 5, inside the memo there
  PutLE32(beyond, 3 * 512 + 4, 2);
  const std::string e = CheckBlockSizeDbt(beyond, live, true).error;
  EXPECT_NE(e, "");
}

}  // namespace
}  // namespace kvtest
