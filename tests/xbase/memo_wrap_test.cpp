// Line wrapping of plain-layout memos, with the expected bytes worked out by
// hand: carriage returns within the width, whole words with their space,
// lines of exactly the width, over-long words and the last short piece.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/memo_support.h"
#include "xbase/frame/memory_block.h"
#include "xbase/memo/memo_text.h"

namespace kvtest {
namespace {

using namespace memo;

// What the file holds after writing `text` with width `width`, and what a
// read with soft breaks removed gives back.
struct Wrapped {
  std::string stored;
  std::string unwrapped;
};

class MemoWrap : public EngineTest {
 protected:
  Wrapped Write(const std::string& text, int width) {
    const std::string path = File("w.dbt");
    EXPECT_EQ(XBDTCREATE(path.c_str()), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDTOPENX(&h, path.c_str(), 1), 0);
    uint32_t block = 0;
    EXPECT_EQ(XBDTRPUT(h, &block, text.c_str(), static_cast<uint16_t>(width)), 0);
    Wrapped w;
    w.unwrapped = ReadDbt(h, block, XB_MEMO_REMOVE_BREAKS).text;
    const std::string asRead = ReadDbt(h, block, 0).text;
    // The file is read once the engine has let go of it: its open is
    // unshared, which Windows enforces against every other open.
    EXPECT_EQ(XBDTCLOSE(h), 0);
    const std::string bytes = Slurp(path);
    const size_t end = bytes.find("\x1A\x1A", block * 512u);
    w.stored = bytes.substr(block * 512u, end - block * 512u);
    EXPECT_EQ(asRead, w.stored);
    return w;
  }
};

const std::string SB = "\x8D\n";

TEST_F(MemoWrap, WordsWithTheirSpaceWhileTheLineFits) {
  const Wrapped w = Write("hello world foo", 10);
  EXPECT_EQ(w.stored, "hello " + SB + "world foo");
  EXPECT_EQ(w.unwrapped, "hello world foo");
}

TEST_F(MemoWrap, ALineOfExactlyTheWidthIsTaken) {
  EXPECT_EQ(Write("abcd efgh ijk", 10).stored, "abcd efgh " + SB + "ijk");
  // The last word needs no space: ten characters fit ten, eleven do not.
  EXPECT_EQ(Write("abcd efghi", 10).stored, "abcd efghi");
  EXPECT_EQ(Write("abcd efghij", 10).stored, "abcd " + SB + "efghij");
}

TEST_F(MemoWrap, CarriageReturnWithinTheWidthEndsTheLineAsItStands) {
  EXPECT_EQ(Write("ab\r\ncdefghijklmnop qr", 10).stored, "ab\r\ncdefghijkl" + SB + "mnop qr");
  // At the last position within the width.
  EXPECT_EQ(Write("abcdefghi\r\nxy", 10).stored, "abcdefghi\r\nxy");
  // One position further it is not within the width: the line is cut first.
  EXPECT_EQ(Write("abcdefghij\r\nxy", 10).stored, "abcdefghij" + SB + "\r\nxy");
  // A text ending in CR LF gets no soft break after it.
  EXPECT_EQ(Write("one\r\n", 10).stored, "one\r\n");
}

TEST_F(MemoWrap, OverLongWordIsCutAfterTheWidth) {
  EXPECT_EQ(Write("abcdefghijk", 10).stored, "abcdefghij" + SB + "k");
  EXPECT_EQ(Write("xx abcdefghijkl mn", 10).stored, "xx " + SB + "abcdefghij" + SB + "kl mn");
  // A word of exactly the width with its space is one byte too long.
  EXPECT_EQ(Write("abcdefghij klm", 10).stored, "abcdefghij" + SB + " klm");
}

TEST_F(MemoWrap, LastShortPieceEndsTheTextWithoutBreak) {
  EXPECT_EQ(Write("short", 10).stored, "short");
  EXPECT_EQ(Write("", 10).stored, "");
  EXPECT_EQ(Write("aaaa bbbb c", 10).stored, "aaaa bbbb " + SB + "c");
}

TEST_F(MemoWrap, WidestAndLongTexts) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i) + " ";
  const Wrapped w = Write(text, 132);
  EXPECT_EQ(w.unwrapped, text);
  // Every line but the last is at most 132 bytes and ends after a space.
  size_t start = 0;
  size_t lines = 0;
  for (size_t at; (at = w.stored.find(SB, start)) != std::string::npos; start = at + 2) {
    const std::string line = w.stored.substr(start, at - start);
    EXPECT_LE(line.size(), 132u);
    EXPECT_GT(line.size(), 132u - 8) << "a line takes every word that fits";
    EXPECT_EQ(line.back(), ' ');
    ++lines;
  }
  EXPECT_EQ(lines, text.size() / 132);
  // Random texts: removing the soft breaks gives the text back, and no line
  // between breaks exceeds the width unless it ends with CR LF.
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const int width = 10 + static_cast<int>(seed * 7 % 123);
    const std::string t = Text(50 + seed * 37, seed);
    const Wrapped r = Write(t, width);
    EXPECT_EQ(r.unwrapped, t) << "seed " << seed;
  }
}

TEST(MemoWrapPieces, SoftBreakRemovalKeepsOtherBytes) {
  std::string s = "\x8D\n\x8D\x8D\n\n\x8D";
  const size_t n = kv::xb::memo::RemoveSoftBreaks(reinterpret_cast<uint8_t*>(s.data()), s.size());
  EXPECT_EQ(s.substr(0, n), "\x8D\n\x8D");
}

}  // namespace
}  // namespace kvtest
