// The .DBT memo file: creation, the open checks, reading and writing in
// both layouts, with the byte layouts checked against the file itself.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/memo_support.h"

namespace kvtest {
namespace {

using namespace memo;

class MemoDbt : public EngineTest {
 protected:
  XBHANDLE Open(const std::string& path, uint16_t mode) {
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDTOPENX(&h, path.c_str(), mode), 0);
    return h;
  }
  // A new plain file (variant 1) opened.
  XBHANDLE NewPlain(const std::string& name = "m.dbt") {
    path_ = File(name);
    EXPECT_EQ(XBDTCREATE(path_.c_str()), 0);
    return Open(path_, 1);
  }
  XBHANDLE NewBlocks(uint16_t units, const std::string& name = "b.dbt") {
    path_ = File(name);
    EXPECT_EQ(XBDTCREATEX(path_.c_str(), units, 2), 0);
    return Open(path_, 2);
  }
  uint32_t Put(XBHANDLE h, const std::string& text, uint16_t mode = 0, uint32_t block = 0) {
    EXPECT_EQ(XBDTRPUT(h, &block, text.c_str(), mode), 0) << "length " << text.size();
    return block;
  }
  // Expects `code` and resets the status.
  void ExpectFailure(XBSTATUS got, XBSTATUS code) {
    EXPECT_EQ(got, code);
    EXPECT_EQ(XBECODE(), code) << "the error is sticky";
    XBESCODE(0);
  }
  std::string path_;
};

TEST_F(MemoDbt, NewPlainFileIsHeaderBlockAndEndMark) {
  const std::string path = File("new.dbt");
  ASSERT_EQ(XBDTCREATE(path.c_str()), 0);
  const std::string b = Slurp(path);
  ASSERT_EQ(b.size(), 513u);
  EXPECT_EQ(LE32(b, 0), 1u);
  EXPECT_EQ(b.substr(4, 508), std::string(508, '\0'));
  EXPECT_EQ(b[512], '\x1A');
  // Every plain variant writes the same file.
  for (uint16_t v : {3, 5, 6, 7, 66}) {
    const std::string other = File("v" + std::to_string(v) + ".dbt");
    ASSERT_EQ(XBDTCREATEX(other.c_str(), 4, v), 0);
    EXPECT_EQ(Slurp(other), b) << "variant " << v;
  }
}

TEST_F(MemoDbt, NewBlockSizeFileHasItsHeader) {
  const std::string path = File("memo.dbt");
  ASSERT_EQ(XBDTCREATEX(path.c_str(), 2, 2), 0);
  const std::string b = Slurp(path);
  ASSERT_EQ(b.size(), 1025u);
  EXPECT_EQ(LE32(b, 0), 1u);
  EXPECT_EQ(LE32(b, 4), 0u);
  // The name: the path's first 8 characters up to its first '.', upper-cased.
  std::string name;
  for (size_t i = 0; i < 8 && i < path.size() && path[i] != '.'; ++i) {
    name += static_cast<char>(std::toupper(static_cast<unsigned char>(path[i])));
  }
  name.resize(8, '\0');
  EXPECT_EQ(b.substr(8, 8), name);
  EXPECT_EQ(LE16(b, 16), 0);
  EXPECT_EQ(b[18], 2);
  EXPECT_EQ(b[19], 1);
  EXPECT_EQ(LE16(b, 20), 1024);
  EXPECT_EQ(LE16(b, 22), 0);
  EXPECT_EQ(b.substr(24, 1000), std::string(1000, '\0'));
  EXPECT_EQ(b[1024], '\x1A');
}

TEST_F(MemoDbt, CreateRefusesBadCountAndVariantWithoutTouchingTheFile) {
  const std::string path = File("c.dbt");
  ExpectFailure(XBDTCREATEX(path.c_str(), 33, 1), -49);
  ExpectFailure(XBDTCREATEX(path.c_str(), 0, 2), -49);
  ExpectFailure(XBDTCREATEX(path.c_str(), 1, 4), -18);
  ExpectFailure(XBDTCREATEX(path.c_str(), 1, 0), -18);
  EXPECT_FALSE(std::ifstream(path).good()) << "a refused create leaves no file";
  // An existing memo file survives a create refused for its variant.
  XBHANDLE h = NewPlain("keep.dbt");
  const uint32_t block = Put(h, "precious");
  ASSERT_EQ(XBDTCLOSE(h), 0);
  ExpectFailure(XBDTCREATEX(path_.c_str(), 1, 4), -18);
  h = Open(path_, 1);
  EXPECT_EQ(ReadDbt(h, block).text, "precious");
  ASSERT_EQ(XBDTCLOSE(h), 0);
  EXPECT_EQ(XBDTCREATEX(path_.c_str(), 32, 2), 0);
  EXPECT_EQ(Slurp(path_).size(), 32u * 512 + 1);
}

TEST_F(MemoDbt, OpenChecksEveryRuleInOrder) {
  XBHANDLE h = 7;
  const std::string plain = File("p.dbt");
  ASSERT_EQ(XBDTCREATE(plain.c_str()), 0);
  ExpectFailure(XBDTOPENX(&h, plain.c_str(), 4), -18);
  EXPECT_EQ(h, XB_NO_HANDLE);
  ExpectFailure(XBDTOPENX(&h, File("missing.dbt").c_str(), 1), -46);
  ExpectFailure(XBDTOPENX(&h, "", 1), -14);
  ExpectFailure(XBDTOPENX(nullptr, plain.c_str(), 1), -21);

  const std::string shortFile = File("s.dbt");
  Spit(shortFile, std::string(23, '\0'));
  ExpectFailure(XBDTOPENX(&h, shortFile.c_str(), 1), -17);
  EXPECT_EQ(h, XB_NO_HANDLE);

  const std::string blocks = File("b.dbt");
  ASSERT_EQ(XBDTCREATEX(blocks.c_str(), 1, 2), 0);
  const std::string good = Slurp(blocks);
  const struct {
    uint16_t size;
    XBSTATUS code;
  } sizes[] = {{0, -49}, {64, -49},  {511, -49},   {512, 0},
               {700, 0}, {16384, 0}, {16385, -49}, {65535, -49}};
  for (const auto& c : sizes) {
    std::string b = good;
    PutLE16(b, 20, c.size);
    Spit(blocks, b);
    XBHANDLE bh = XB_NO_HANDLE;
    EXPECT_EQ(XBDTOPENX(&bh, blocks.c_str(), 2), c.code) << "block size " << c.size;
    if (c.code == 0) {
      EXPECT_EQ(XBDTCLOSE(bh), 0);
    } else {
      EXPECT_EQ(bh, XB_NO_HANDLE);
      XBESCODE(0);
    }
  }
  // Bytes 18 and 19 must be 2 and 1, bytes 22-23 zero: the files of other
  // programs with zeros there are refused, not misread.
  for (size_t at : {18, 19, 22, 23}) {
    std::string b = good;
    b[at] = at == 18 || at == 19 ? 0 : 1;
    Spit(blocks, b);
    ExpectFailure(XBDTOPENX(&h, blocks.c_str(), 2), -56);
    EXPECT_EQ(h, XB_NO_HANDLE);
  }
  // The plain layout looks at none of these bytes.
  std::string b = good;
  b[18] = b[19] = 0;
  PutLE16(b, 20, 3);
  Spit(blocks, b);
  h = Open(blocks, 1);
  EXPECT_EQ(XBDTCLOSE(h), 0);
}

TEST_F(MemoDbt, InfoReportsFlagsPathAndVariant) {
  const std::string path = File("i.dbt");
  ASSERT_EQ(XBDTCREATE(path.c_str()), 0);
  const struct {
    uint16_t mode;
    uint16_t flags;
    uint16_t variant;
  } cases[] = {{0, 0, 1},
               {XB_OPEN_READONLY | 3, 1, 3},
               {XB_OPEN_SHARED | 66, 2, 66},
               {XB_OPEN_SHARED_PROD | 7, 6, 7},
               {XB_OPEN_PRODUCTION | 2, 4, 2}};
  ASSERT_EQ(XBDTCREATEX(path.c_str(), 1, 2), 0);
  for (const auto& c : cases) {
    XBHANDLE h = Open(path, c.mode);
    XBDBTINFO info;
    std::memset(&info, 0x55, sizeof info);
    ASSERT_EQ(XBDTINFO(h, &info), 0);
    EXPECT_EQ(static_cast<int>(info.openFlags), c.flags) << "mode " << c.mode;
    EXPECT_STREQ(info.path, path.c_str());
    EXPECT_EQ(static_cast<int>(info.variant), c.variant);
    EXPECT_EQ(static_cast<int>(info.reserved), 0);
    EXPECT_EQ(XBDTCLOSE(h), 0);
  }
  static_assert(sizeof(XBDBTINFO) == 267, "packed");
  static_assert(sizeof(XBFPTINFO) == 265, "packed");
  ExpectFailure(XBDTINFO(0, nullptr), -21);
  XBDBTINFO info;
  ExpectFailure(XBDTINFO(3, &info), -13);
}

TEST_F(MemoDbt, PlainNewMemoAdvancesByTheWrittenLength) {
  XBHANDLE h = NewPlain();
  const struct {
    size_t length;
    uint32_t advance;
  } cases[] = {{0, 1}, {1, 1}, {509, 1}, {510, 2}, {511, 2}, {600, 2}, {1022, 3}};
  uint32_t expected = 1;
  for (const auto& c : cases) {
    const std::string text = Text(c.length, static_cast<uint32_t>(c.length));
    const uint32_t block = Put(h, text);
    EXPECT_EQ(block, expected) << c.length;
    const std::string b = Slurp(path_);
    EXPECT_EQ(LE32(b, 0), expected + c.advance) << c.length;
    EXPECT_EQ(b.substr(block * 512, c.length + 2), text + "\x1A\x1A");
    EXPECT_EQ(ReadDbt(h, block).text, text);
    expected += c.advance;
  }
}

TEST_F(MemoDbt, PlainRewriteInPlaceOrAtANewBlock) {
  XBHANDLE h = NewPlain();
  const uint32_t a = Put(h, Text(600, 1));  // blocks 1-2
  const uint32_t b = Put(h, "second");      // block 3
  ASSERT_EQ(a, 1u);
  ASSERT_EQ(b, 3u);
  // Shorter: same block, the next free block unchanged.
  EXPECT_EQ(Put(h, "short", XB_MEMO_REWRITE, a), a);
  EXPECT_EQ(LE32(Slurp(path_), 0), 4u);
  EXPECT_EQ(ReadDbt(h, a).text, "short");
  // 510 bytes and the end marker fill one block exactly: in place.
  const std::string fill = Text(510, 2);
  EXPECT_EQ(Put(h, fill, XB_MEMO_REWRITE, a), a);
  // 511 bytes would put the second end-marker byte into the next block: a
  // new memo, and the memo after it stays whole.
  const std::string spill = Text(511, 3);
  const uint32_t moved = Put(h, spill, XB_MEMO_REWRITE, b);
  EXPECT_EQ(moved, 4u);
  EXPECT_EQ(ReadDbt(h, moved).text, spill);
  EXPECT_EQ(ReadDbt(h, a).text, fill);
  // Longer than the blocks the old text reached: a new number.
  const std::string longer = Text(1500, 4);
  const uint32_t c = Put(h, longer, XB_MEMO_REWRITE, a);
  EXPECT_EQ(c, 6u);
  EXPECT_EQ(ReadDbt(h, c).text, longer);
  // A text that fits the blocks its predecessor reached stays.
  EXPECT_EQ(Put(h, Text(1530, 5), XB_MEMO_REWRITE, c), c);
  EXPECT_EQ(Put(h, Text(1540, 6), XB_MEMO_REWRITE, c), 9u);
  // Rewriting block 0 or a block beyond the file is refused.
  uint32_t zero = 0;
  ExpectFailure(XBDTRPUT(h, &zero, "x", XB_MEMO_REWRITE), -4);
  uint32_t far = 1000;
  ExpectFailure(XBDTRPUT(h, &far, "x", XB_MEMO_REWRITE), -4);
  EXPECT_EQ(far, 1000u);
}

TEST_F(MemoDbt, PlainTextsOverOneHundredTwentyEightBlocksAreRefusedBeforeWriting) {
  XBHANDLE h = NewPlain();
  const std::string most = Text(65535, 7);
  const uint32_t block = Put(h, most);
  EXPECT_EQ(ReadDbt(h, block).text, most);
  const std::string before = Slurp(path_);
  uint32_t out = 99;
  ExpectFailure(XBDTRPUT(h, &out, Text(65536, 8).c_str(), 0), -29);
  ExpectFailure(XBDTRPUT(h, &out, Text(200000, 8).c_str(), XB_MEMO_REWRITE), -29);
  // Wrapping adds soft breaks: a text that only grows past the limit by
  // them is refused the same way.
  ExpectFailure(XBDTRPUT(h, &out, Text(65000, 9).c_str(), 10), -29);
  EXPECT_EQ(out, 99u);
  EXPECT_EQ(Slurp(path_), before) << "nothing written";
  // A text the reader cannot take (no end marker in 128 blocks) gives -29.
  std::string b = before;
  b.resize(300 * 512, 'x');
  Spit(path_, b);
  const ReadResult r = ReadDbt(h, 300);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -4);
  const ReadResult r2 = ReadDbt(h, block + 130);
  EXPECT_FALSE(r2.returned);
  ExpectFailure(r2.status, -29);
}

TEST_F(MemoDbt, ReadChecksBlockAndMode) {
  XBHANDLE h = NewPlain();
  const uint32_t block = Put(h, "text");
  ReadResult r = ReadDbt(h, 0);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -4);
  r = ReadDbt(h, block + 1);
  ExpectFailure(r.status, -4);
  r = ReadDbt(h, block, 1);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -12);
  ExpectFailure(XBDTRGET(h, block, nullptr, 0), -21);
  // The memory-handle form hands back an unlocked block the caller locks.
  KVHGLOBAL g = 0;
  ASSERT_EQ(XBDTRGETH(h, block, &g, 0), 0);
  void* p = nullptr;
  ASSERT_EQ(_XBMLOCK(&p, g), 0);
  EXPECT_STREQ(static_cast<char*>(p), "text");
  EXPECT_EQ(_XBMFREE(g), 0);
  g = 5;
  ExpectFailure(XBDTRGETH(h, 0, &g, 0), -4);
  EXPECT_EQ(g, 0u);
}

TEST_F(MemoDbt, PlainTextWithoutEndMarkGivesMinusSix) {
  XBHANDLE h = NewPlain();
  const uint32_t block = Put(h, "abc");
  std::string b = Slurp(path_);
  b.resize(block * 512 + 700, 'q');  // the end markers overwritten, no 0x1A after
  b[block * 512 + 3] = 'q';
  b[block * 512 + 4] = 'q';
  Spit(path_, b);
  const ReadResult r = ReadDbt(h, block);
  EXPECT_FALSE(r.returned);
  ExpectFailure(r.status, -6);
}

TEST_F(MemoDbt, OldPlainFilesReadByTheirMarkersOnly) {
  // Garbage in header bytes 4..19 and old text after a memo's end marker,
  // as old programs left them.
  std::string b(512, '\0');
  PutLE32(b, 0, 4);
  for (size_t i = 4; i < 20; ++i) b[i] = static_cast<char>(0xA0 + i);
  std::string memo1 =
      "new text\x1A\x1A"
      "old longer text that was here before";
  memo1.resize(512, 'z');
  std::string memo2 =
      "second\x1A"
      "only one marker";
  memo2.resize(1024, '\0');
  b += memo1 + memo2;
  path_ = File("old.dbt");
  Spit(path_, b);
  XBHANDLE h = Open(path_, 1);
  EXPECT_EQ(ReadDbt(h, 1).text, "new text");
  EXPECT_EQ(ReadDbt(h, 2).text, "second");
  // Writing keeps to the header's next free block.
  EXPECT_EQ(Put(h, "appended"), 4u);
  EXPECT_EQ(ReadDbt(h, 4).text, "appended");
  EXPECT_EQ(Slurp(path_).substr(4, 16), b.substr(4, 16)) << "header bytes left alone";
}

TEST_F(MemoDbt, SoftBreaksRemovedOnRequest) {
  XBHANDLE h = NewPlain();
  const uint32_t block = Put(h, "one two three four five", 10);
  EXPECT_EQ(ReadDbt(h, block, 0).text, "one two \x8D\nthree \x8D\nfour five");
  EXPECT_EQ(ReadDbt(h, block, XB_MEMO_REMOVE_BREAKS).text, "one two three four five");
  // Only the pair goes; a lone 0x8D or 0x0A stays.
  const uint32_t raw = Put(h,
                           "a\x8D"
                           "b\nc\x8D\nd\n\x8D");
  EXPECT_EQ(ReadDbt(h, raw, XB_MEMO_REMOVE_BREAKS).text,
            "a\x8D"
            "b\ncd\n\x8D");
}

TEST_F(MemoDbt, WriteChecksModeWidthAndReadOnly) {
  XBHANDLE h = NewPlain();
  uint32_t block = 0;
  ExpectFailure(XBDTRPUT(h, &block, "x", 9), -34);
  ExpectFailure(XBDTRPUT(h, &block, "x", 133), -34);
  ExpectFailure(XBDTRPUT(h, &block, "x", 0x200), -12);
  ExpectFailure(XBDTRPUT(h, nullptr, "x", 0), -21);
  ExpectFailure(XBDTRPUT(h, &block, nullptr, 0), -21);
  EXPECT_EQ(XBDTRPUT(h, &block, "x", 10), 0);
  EXPECT_EQ(XBDTRPUT(h, &block, "x", 132), 0);
  ASSERT_EQ(XBDTCLOSE(h), 0);
  h = Open(path_, XB_OPEN_READONLY);
  ExpectFailure(XBDTRPUT(h, &block, "x", 0), -36);
  EXPECT_EQ(ReadDbt(h, 1).text, "x");
  ExpectFailure(XBDTCLOSE(h + 1), -13);
}

TEST_F(MemoDbt, NoWrapInVariantSixAndTheBlockSizeLayout) {
  const std::string words = "one two three four five six seven";
  path_ = File("six.dbt");
  ASSERT_EQ(XBDTCREATEX(path_.c_str(), 1, 6), 0);
  XBHANDLE h = Open(path_, 6);
  EXPECT_EQ(ReadDbt(h, Put(h, words, 10)).text, words);
  XBHANDLE b = NewBlocks(1);
  EXPECT_EQ(ReadDbt(b, Put(b, words, 10)).text, words);
  // The width is still checked.
  uint32_t block = 0;
  ExpectFailure(XBDTRPUT(b, &block, "x", 5), -34);
}

TEST_F(MemoDbt, BlockSizeEntriesAndInPlaceRewrite) {
  XBHANDLE h = NewBlocks(1);
  const uint32_t a = Put(h, Text(100, 1));
  EXPECT_EQ(a, 1u);
  std::string b = Slurp(path_);
  EXPECT_EQ(b.substr(512, 4), std::string("\xFF\xFF\x08\x00", 4));
  EXPECT_EQ(LE32(b, 516), 108u);
  EXPECT_EQ(b.substr(520, 100), Text(100, 1));
  EXPECT_EQ(LE32(b, 0), 2u);
  // 504 bytes and the entry header fill the block: in place.
  const std::string full = Text(504, 2);
  EXPECT_EQ(Put(h, full, XB_MEMO_REWRITE, a), a);
  EXPECT_EQ(LE32(Slurp(path_), 516), 512u);
  EXPECT_EQ(ReadDbt(h, a).text, full);
  // A text of 0 bytes is an entry of 8.
  const uint32_t empty = Put(h, "");
  EXPECT_EQ(ReadDbt(h, empty).text, "");
  EXPECT_EQ(LE32(Slurp(path_), empty * 512 + 4), 8u);
}

TEST_F(MemoDbt, BlockSizeRewriteFreesTheOldRunAndReusesItFirstFit) {
  XBHANDLE h = NewBlocks(1);
  const uint32_t a = Put(h, Text(1000, 1));  // blocks 1-2
  const uint32_t b = Put(h, Text(10, 2));    // block 3
  ASSERT_EQ(a, 1u);
  ASSERT_EQ(b, 3u);
  // a grows to three blocks: written at the end (4-6), blocks 1-2 freed.
  const std::string grown = Text(1500, 3);
  const uint32_t a2 = Put(h, grown, XB_MEMO_REWRITE, a);
  EXPECT_EQ(a2, 4u);
  std::string f = Slurp(path_);
  EXPECT_EQ(LE32(f, 0), 1u) << "the freed run heads the chain";
  EXPECT_EQ(LE32(f, 512), 7u) << "and links to the end of the file";
  EXPECT_EQ(LE32(f, 516), 2u) << "its size in blocks";
  // A one-block text takes the front of the freed run; the rest stays.
  const uint32_t c = Put(h, "small");
  EXPECT_EQ(c, 1u);
  f = Slurp(path_);
  EXPECT_EQ(LE32(f, 0), 2u);
  EXPECT_EQ(LE32(f, 1024), 7u);
  EXPECT_EQ(LE32(f, 1028), 1u);
  // A two-block text does not fit the one-block rest: end of the file.
  const uint32_t d = Put(h, Text(600, 4));
  EXPECT_EQ(d, 7u);
  f = Slurp(path_);
  EXPECT_EQ(LE32(f, 0), 2u);
  EXPECT_EQ(LE32(f, 1024), 9u) << "the chain's end moved past the new entry";
  // Shrinking in place gives the tail blocks back to the chain.
  EXPECT_EQ(Put(h, "tiny", XB_MEMO_REWRITE, a2), a2);
  f = Slurp(path_);
  EXPECT_EQ(LE32(f, 0), 5u);
  EXPECT_EQ(LE32(f, 5 * 512), 2u);
  EXPECT_EQ(LE32(f, 5 * 512 + 4), 2u);
  for (uint32_t block : {a2, b, c, d}) EXPECT_EQ(ReadDbt(h, block).status, 0);
  EXPECT_EQ(ReadDbt(h, a2).text, "tiny");
  EXPECT_EQ(ReadDbt(h, b).text, Text(10, 2));
  EXPECT_EQ(ReadDbt(h, d).text, Text(600, 4));
  // Rewriting a freed block writes a new memo and never frees it twice.
  const uint32_t stale = Put(h, "fresh", XB_MEMO_REWRITE, 2);
  EXPECT_NE(stale, 2u);
  EXPECT_EQ(ReadDbt(h, stale).text, "fresh");
}

TEST_F(MemoDbt, BlockSizeLayoutWithLargeBlocks) {
  XBHANDLE h = NewBlocks(4);  // 2048-byte blocks
  const std::string t = Text(5000, 5);
  const uint32_t a = Put(h, t);
  EXPECT_EQ(a, 1u);
  EXPECT_EQ(LE32(Slurp(path_), 0), 4u);  // (5008 + 2047) / 2048 = 3 blocks
  EXPECT_EQ(ReadDbt(h, a).text, t);
  // Texts longer than 128 blocks of 512 are fine in this layout.
  const std::string big = Text(100000, 6);
  const uint32_t b = Put(h, big);
  EXPECT_EQ(ReadDbt(h, b).text, big);
}

TEST_F(MemoDbt, HandlesSurviveQuickCloseAndAreClosedByTerm) {
  XBHANDLE h = NewPlain();
  const uint32_t block = Put(h, "kept");
  ASSERT_EQ(XBDQCLOSE(), 0);
  EXPECT_EQ(ReadDbt(h, block).text, "kept");
  EXPECT_EQ(ReadDbt(h, block).status, 0);
  // The handle is left open: XBDTERM at the end of the test closes it, and
  // the fixture checks that no engine block is left behind.
  XBHANDLE f = XB_NO_HANDLE;
  const std::string fpt = File("q.fpt");
  ASSERT_EQ(XBDWCREATE(fpt.c_str(), 1), 0);
  ASSERT_EQ(XBDWOPENX(&f, fpt.c_str(), 0), 0);
  EXPECT_NE(f, h);
  ExpectFailure(XBDTCLOSE(f), -13);
  ExpectFailure(XBDWCLOSE(h), -13);
}

TEST_F(MemoDbt, ReopenedFileReadsWhatWasWritten) {
  XBHANDLE h = NewBlocks(1);
  const uint32_t a = Put(h, "persisted");
  ASSERT_EQ(XBDTCLOSE(h), 0);
  h = Open(path_, XB_OPEN_SHARED | 2);
  EXPECT_EQ(ReadDbt(h, a).text, "persisted");
  // Another handle on the same file sees writes through the header reread.
  XBHANDLE other = Open(path_, XB_OPEN_SHARED | 2);
  const uint32_t b = Put(other, "from the other handle");
  EXPECT_EQ(ReadDbt(h, b).text, "from the other handle");
}

}  // namespace
}  // namespace kvtest
