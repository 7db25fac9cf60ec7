// The .FPT memo file: big-endian header and entries, the block size chosen
// at creation, rewrites in place, and texts longer than 32767 bytes.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/memo_support.h"

namespace kvtest {
namespace {

using namespace memo;

class MemoFpt : public EngineTest {
 protected:
  XBHANDLE New(uint16_t size, const std::string& name = "m.fpt") {
    path_ = File(name);
    EXPECT_EQ(XBDWCREATE(path_.c_str(), size), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDWOPENX(&h, path_.c_str(), 0), 0);
    return h;
  }
  uint32_t Put(XBHANDLE h, const std::string& text, uint16_t mode = 0, uint32_t block = 0) {
    EXPECT_EQ(XBDWRPUT(h, &block, text.c_str(), mode), 0) << "length " << text.size();
    return block;
  }
  void ExpectFailure(XBSTATUS got, XBSTATUS code) {
    EXPECT_EQ(got, code);
    EXPECT_EQ(XBECODE(), code);
    XBESCODE(0);
  }
  std::string path_;
};

TEST_F(MemoFpt, CreateSizes) {
  const struct {
    uint16_t size;
    uint32_t blockSize;
    uint32_t next;
    size_t length;
  } cases[] = {{1, 512, 1, 512},      {64, 64, 8, 512},  {2, 1024, 1, 1024},
               {32, 16384, 1, 16384}, {33, 33, 16, 528}, {511, 511, 2, 1022}};
  for (const auto& c : cases) {
    const std::string path = File("c" + std::to_string(c.size) + ".fpt");
    ASSERT_EQ(XBDWCREATE(path.c_str(), c.size), 0);
    const std::string b = Slurp(path);
    EXPECT_EQ(b.size(), c.length) << c.size;
    EXPECT_EQ(BE32(b, 0), c.next) << c.size;
    EXPECT_EQ(BE32(b, 4), c.blockSize) << c.size;
    EXPECT_EQ(b.substr(8), std::string(b.size() - 8, '\0'));
  }
  ExpectFailure(XBDWCREATE(File("z.fpt").c_str(), 0), -49);
  ExpectFailure(XBDWCREATE(File("z.fpt").c_str(), 512), -49);
  EXPECT_FALSE(std::ifstream(File("z.fpt")).good());
  ExpectFailure(XBDWCREATE(nullptr, 1), -21);
}

TEST_F(MemoFpt, EntryTakesWholeBlocks) {
  XBHANDLE h = New(64);
  const std::string t = Text(100, 1);
  const uint32_t a = Put(h, t);
  EXPECT_EQ(a, 8u);
  std::string b = Slurp(path_);
  EXPECT_EQ(BE32(b, 0), 10u) << "108 bytes: two blocks of 64";
  EXPECT_EQ(BE32(b, 512), 1u);
  EXPECT_EQ(BE32(b, 516), 100u);
  EXPECT_EQ(b.substr(520, 100), t);
  EXPECT_EQ(ReadFpt(h, a).text, t);
  // The next memo starts at block 10 (the file is first set to 640 bytes).
  const uint32_t c = Put(h, "next");
  EXPECT_EQ(c, 10u);
  b = Slurp(path_);
  EXPECT_EQ(BE32(b, 0), 11u);
  EXPECT_EQ(b.size(), 640u + 8 + 4);
  EXPECT_EQ(ReadFpt(h, a).text, t);
  EXPECT_EQ(ReadFpt(h, c).text, "next");
  // An empty text is an entry of 8 bytes: one block.
  const uint32_t e = Put(h, "");
  EXPECT_EQ(e, 11u);
  EXPECT_EQ(ReadFpt(h, e).text, "");
}

TEST_F(MemoFpt, RewriteInPlaceWhenTheOldRoomHoldsTheEntry) {
  XBHANDLE h = New(64);
  const uint32_t a = Put(h, Text(100, 1));
  const uint32_t b = Put(h, "after");
  // 110 + 8 = 118 <= 128 (100 rounded up to blocks): in place.
  const std::string t110 = Text(110, 2);
  EXPECT_EQ(Put(h, t110, XB_MEMO_REWRITE, a), a);
  EXPECT_EQ(BE32(Slurp(path_), 0), 11u);
  EXPECT_EQ(ReadFpt(h, a).text, t110);
  EXPECT_EQ(ReadFpt(h, b).text, "after");
  // 130 + 8 = 138 > 128: a new entry at the next free block.
  const std::string t130 = Text(130, 3);
  const uint32_t moved = Put(h, t130, XB_MEMO_REWRITE, a);
  EXPECT_EQ(moved, 11u);
  EXPECT_EQ(BE32(Slurp(path_), 0), 14u);
  EXPECT_EQ(ReadFpt(h, moved).text, t130);
  EXPECT_EQ(ReadFpt(h, b).text, "after");
  uint32_t zero = 0;
  ExpectFailure(XBDWRPUT(h, &zero, "x", XB_MEMO_REWRITE), -4);
  uint32_t past = 14;
  ExpectFailure(XBDWRPUT(h, &past, "x", XB_MEMO_REWRITE), -4);
}

TEST_F(MemoFpt, ReadRefusesBlocksOutsideTheUsedArea) {
  XBHANDLE h = New(1);
  const uint32_t a = Put(h, "one");
  ReadResult r = ReadFpt(h, 0);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -4);
  r = ReadFpt(h, a + 1);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -4);
  ExpectFailure(XBDWRGET(h, a, nullptr), -21);
}

TEST_F(MemoFpt, WriteChecksArguments) {
  XBHANDLE h = New(1);
  uint32_t block = 0;
  ExpectFailure(XBDWRPUT(h, &block, nullptr, 0), -21);
  ExpectFailure(XBDWRPUT(h, nullptr, "x", 0), -21);
  ExpectFailure(XBDWRPUT(h, &block, "x", 1), -12);
  ExpectFailure(XBDWRPUT(h, &block, "x", 0x0110), -12);
  ASSERT_EQ(XBDWCLOSE(h), 0);
  XBHANDLE ro = XB_NO_HANDLE;
  ASSERT_EQ(XBDWOPENX(&ro, path_.c_str(), XB_OPEN_READONLY | 4), 0);
  ExpectFailure(XBDWRPUT(ro, &block, "x", 0), -36);
  XBFPTINFO info;
  ASSERT_EQ(XBDWINFO(ro, &info), 0);
  EXPECT_EQ(static_cast<int>(info.openFlags), 1);
  EXPECT_STREQ(info.path, path_.c_str());
  EXPECT_EQ(static_cast<int>(info.reserved), 0);
  ASSERT_EQ(XBDWCLOSE(ro), 0);
  ASSERT_EQ(XBDWOPENX(&ro, path_.c_str(), XB_OPEN_SHARED_PROD), 0);
  ASSERT_EQ(XBDWINFO(ro, &info), 0);
  EXPECT_EQ(static_cast<int>(info.openFlags), 6);
}

TEST_F(MemoFpt, OpenChecks) {
  XBHANDLE h = 3;
  const std::string path = File("o.fpt");
  ASSERT_EQ(XBDWCREATE(path.c_str(), 1), 0);
  for (uint16_t mode : {1, 2, 8}) {
    ExpectFailure(XBDWOPENX(&h, path.c_str(), mode), -18);
    EXPECT_EQ(h, XB_NO_HANDLE);
  }
  std::string good = Slurp(path);
  Spit(path, good.substr(0, 511));
  ExpectFailure(XBDWOPENX(&h, path.c_str(), 0), -17);
  for (uint32_t size : {0u, 1u, 32u, 16385u, 0xFFFFFFFFu}) {
    std::string b = good;
    PutBE32(b, 4, size);
    Spit(path, b);
    ExpectFailure(XBDWOPENX(&h, path.c_str(), 4), -49);
    EXPECT_EQ(h, XB_NO_HANDLE);
  }
  for (uint32_t size : {33u, 64u, 16384u}) {
    std::string b = good;
    PutBE32(b, 4, size);
    Spit(path, b);
    ASSERT_EQ(XBDWOPENX(&h, path.c_str(), 4), 0) << size;
    EXPECT_EQ(XBDWCLOSE(h), 0);
  }
  ExpectFailure(XBDWOPENX(&h, File("none.fpt").c_str(), 0), -46);
}

TEST_F(MemoFpt, TextsBeyondSixteenBitCountsMoveWhole) {
  XBHANDLE h = New(64);
  const std::string big = Text(100000, 9);
  const uint32_t a = Put(h, big);
  std::string b = Slurp(path_);
  EXPECT_EQ(BE32(b, a * 64 + 4), 100000u);
  EXPECT_EQ(b.substr(a * 64 + 8, big.size()), big);
  EXPECT_EQ(BE32(b, 0), a + (100008 + 63) / 64);
  EXPECT_EQ(ReadFpt(h, a).text, big);
  // Around the old 32767-byte limit.
  for (size_t n : {32766u, 32767u, 32768u, 65535u, 65536u}) {
    const std::string t = Text(n, static_cast<uint32_t>(n));
    EXPECT_EQ(ReadFpt(h, Put(h, t)).text, t) << n;
  }
  // Rewritten in place, shorter.
  const std::string shorter = Text(99000, 10);
  EXPECT_EQ(Put(h, shorter, XB_MEMO_REWRITE, a), a);
  EXPECT_EQ(ReadFpt(h, a).text, shorter);
}

TEST_F(MemoFpt, HeaderRereadSeesOtherHandles) {
  ASSERT_EQ(XBDWCLOSE(New(1)), 0);
  XBHANDLE h = XB_NO_HANDLE;
  XBHANDLE other = XB_NO_HANDLE;
  ASSERT_EQ(XBDWOPENX(&h, path_.c_str(), XB_OPEN_SHARED), 0);
  ASSERT_EQ(XBDWOPENX(&other, path_.c_str(), XB_OPEN_SHARED), 0);
  const uint32_t a = Put(h, "from h");
  const uint32_t b = Put(other, "from other");
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(ReadFpt(h, b).text, "from other");
  EXPECT_EQ(XBDWHGET(h), 0);
  ExpectFailure(XBDWHGET(XB_NO_HANDLE), -13);
}

}  // namespace
}  // namespace kvtest
