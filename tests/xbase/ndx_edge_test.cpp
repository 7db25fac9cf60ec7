// Edge cases of the NDX index: new files, page geometry, search answers,
// split shape, bounding keys, header checks and the file-size warning.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}
void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

class NdxEdge : public EngineTest {
 protected:
  XBHANDLE Create(const std::string& name, uint16_t letter, uint16_t length) {
    path_ = File(name);
    EXPECT_EQ(XBDNCREATE(path_.c_str(), letter, "name", length), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDNOPENX(&h, path_.c_str(), 0), 0);
    return h;
  }
  std::string path_;
};

TEST_F(NdxEdge, NewIndexIsAnEmptyRootLeaf) {
  XBHANDLE h = Create("new.ndx", 'C', 10);
  const auto bytes = ReadAll(path_);
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(Le32(bytes, 0), 1u);
  EXPECT_EQ(Le32(bytes, 4), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[24])), "NAME");
  for (size_t i = 512; i < 1024; ++i) ASSERT_EQ(bytes[i], 0) << i;
  char key[16] = "A";
  uint32_t r = 0;
  EXPECT_EQ(XBDNKTOP(h, key, &r), 2);
  EXPECT_EQ(XBDNKBOT(h, key, &r), 2);
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 2);
  EXPECT_EQ(XBDNKDEL(h, "A", 1), 2);
  EXPECT_EQ(XBDNKNEXT(h, key, &r), 4);  // no current key
  EXPECT_EQ(XBDNKCUR(h, key, &r), 4);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, GeometryOfTheShortestAndLongestKeys) {
  struct Case {
    uint16_t L;
    uint16_t E;
    uint16_t K;
  };
  for (const Case c : {Case{1, 12, 42}, Case{100, 108, 4}, Case{8, 16, 31}}) {
    XBHANDLE h = Create("g" + std::to_string(c.L) + ".ndx", 'C', c.L);
    const auto bytes = ReadAll(path_);
    EXPECT_EQ(Le16(bytes, 12), c.L);
    EXPECT_EQ(Le16(bytes, 18), c.E) << "L " << c.L;
    EXPECT_EQ(Le16(bytes, 14), c.K) << "L " << c.L;
    XBNDXINFO info;
    ASSERT_EQ(XBDNINFO(h, &info), 0);
    EXPECT_EQ(+info.keyLength, c.L);
    EXPECT_EQ(+info.keyType, 'C');
    EXPECT_EQ(+info.unique, 0);
    EXPECT_EQ(+info.expressionLength, 4);
    EXPECT_STREQ(info.expression, "NAME");
    EXPECT_EQ(std::string(info.fileName), path_);
    EXPECT_EQ(XBDNCLOSE(h), 0);
  }
  XBHANDLE h = Create("n.ndx", 'N' | XB_NDX_UNIQUE, 0);
  XBNDXINFO info;
  ASSERT_EQ(XBDNINFO(h, &info), 0);
  EXPECT_EQ(+info.keyLength, 8);
  EXPECT_EQ(+info.keyType, 'N');
  EXPECT_EQ(+info.unique, 128);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, EqualKeysComeBackInRecordOrder) {
  XBHANDLE h = Create("dup.ndx", 'C', 4);
  for (uint32_t r : {9u, 3u, 5u, 1u}) ASSERT_EQ(XBDNKADD(h, "SAME", r), 0);
  ASSERT_EQ(XBDNKADD(h, "LESS", 7), 0);
  XBSTATUS last = 0;
  const auto walk = WalkForward(h, 4, &last);
  ASSERT_EQ(walk.size(), 5u);
  EXPECT_EQ(walk[0].key, "LESS");
  for (size_t i = 1; i < walk.size(); ++i) EXPECT_EQ(walk[i].key, "SAME");
  EXPECT_EQ(walk[1].record, 1u);
  EXPECT_EQ(walk[2].record, 3u);
  EXPECT_EQ(walk[3].record, 5u);
  EXPECT_EQ(walk[4].record, 9u);
  // A search by key finds the leftmost equal entry.
  char key[8] = "SAME";
  uint32_t r = 0;
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 0);
  EXPECT_EQ(r, 1u);
  // An exact search takes the record number into account.
  r = 5;
  EXPECT_EQ(XBDNKFIND(h, key, &r, XB_FIND_EXACT), 0);
  EXPECT_EQ(r, 5u);
  r = 4;
  EXPECT_EQ(XBDNKFIND(h, key, &r, XB_FIND_EXACT), 4);
  EXPECT_EQ(r, 3u);
  EXPECT_EQ(XBDNKDEL(h, "SAME", 4), 4);
  EXPECT_EQ(XBDNKDEL(h, "SAME", 5), 0);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, FindBeyondEitherEnd) {
  XBHANDLE h = Create("ends.ndx", 'C', 3);
  for (const char* k : {"BBB", "CCC", "DDD"}) ASSERT_EQ(XBDNKADD(h, k, k[0] - 'A'), 0);
  char key[8] = "ZZZ";
  uint32_t r = 0;
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 4);
  EXPECT_STREQ(key, "DDD");
  EXPECT_EQ(r, 3u);
  std::strcpy(key, "AAA");
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 0);
  EXPECT_STREQ(key, "BBB");
  EXPECT_EQ(r, 1u);
  // The current key is the first one: there is nothing before it.
  EXPECT_EQ(XBDNKPREV(h, key, &r), 3);
  EXPECT_STREQ(key, "BBB");
  EXPECT_EQ(XBDNKNEXT(h, key, &r), 0);
  EXPECT_STREQ(key, "CCC");
  std::strcpy(key, "BZZ");
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 4);
  EXPECT_STREQ(key, "BBB");
  EXPECT_EQ(XBDNKCUR(h, key, &r), 0);
  EXPECT_STREQ(key, "BBB");
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, PartialAndWildcardSearch) {
  XBHANDLE h = Create("part.ndx", 'C', 5);
  uint32_t rec = 1;
  for (const char* k : {"AA", "ABZ", "ABA", "ABC", "AXC", "B"}) ASSERT_EQ(XBDNKADD(h, k, rec++), 0);
  char key[8] = "AB";
  uint32_t r = 0;
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 0);
  EXPECT_STREQ(key, "ABA  ");
  std::strcpy(key, "A?C");
  EXPECT_EQ(XBDNKFIND(h, key, &r, XB_FIND_WILDCARD), 0);
  EXPECT_STREQ(key, "ABC  ");
  // Without the flag the '?' is an ordinary byte, which sorts before 'A':
  // the key is smaller than every entry and the first one is the answer.
  std::strcpy(key, "A?C");
  EXPECT_EQ(XBDNKFIND(h, key, &r, 0), 0);
  EXPECT_STREQ(key, "AA   ");
  std::strcpy(key, "AB?");
  EXPECT_EQ(XBDNKFIND(h, key, &r, XB_FIND_WILDCARD), 0);
  EXPECT_STREQ(key, "ABA  ");
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, LeafSplitShapeAndBoundingKey) {
  // Key length 100: four keys per page, so the fifth splits the root leaf.
  XBHANDLE h = Create("split.ndx", 'C', 100);
  for (const char* k : {"A", "B", "C", "D", "E"}) ASSERT_EQ(XBDNKADD(h, k, k[0] - '@'), 0);
  auto bytes = ReadAll(path_);
  ASSERT_EQ(bytes.size(), 4u * 512);
  const uint32_t root = Le32(bytes, 0);
  EXPECT_EQ(root, 3u);
  EXPECT_EQ(Le32(bytes, 4), 4u);
  // floor(5 / 2) = 2 entries stay in the old page, 3 go to the new left page.
  EXPECT_EQ(bytes[512], 2);
  EXPECT_EQ(bytes[512 + 12], 'D');
  EXPECT_EQ(bytes[1024], 3);
  EXPECT_EQ(bytes[1024 + 12 + 2 * 108], 'C');
  const size_t r = root * 512;
  EXPECT_EQ(bytes[r], 1);
  EXPECT_EQ(Le32(bytes, r + 4), 2u);        // left child: the new page
  EXPECT_EQ(bytes[r + 12], 'C');            // its greatest key
  EXPECT_EQ(Le32(bytes, r + 4 + 108), 1u);  // right child: the old page
  EXPECT_EQ(CheckNdxFile(path_).error, "");

  // Deleting the greatest key of the left leaf updates the root's key.
  ASSERT_EQ(XBDNKDEL(h, "C", 3), 0);
  bytes = ReadAll(path_);
  EXPECT_EQ(bytes[r + 12], 'B');
  EXPECT_EQ(CheckNdxFile(path_, {1, OpenIndex(h)->freePages.head(), false}).error, "");
  // Emptying the left leaf merges it away and the root hands over.
  ASSERT_EQ(XBDNKDEL(h, "A", 1), 0);
  ASSERT_EQ(XBDNKDEL(h, "B", 2), 0);
  EXPECT_EQ(CheckNdxFile(path_, {1, OpenIndex(h)->freePages.head(), false}).error, "");
  ASSERT_EQ(XBDNCLOSE(h), 0);
  const auto closed = CheckNdxFile(path_, {1, 0, true});
  EXPECT_EQ(closed.error, "");
  EXPECT_EQ(closed.endPage, 2u);
  EXPECT_EQ(closed.entries.size(), 2u);
}

TEST_F(NdxEdge, SizeMismatchOpensWithCode7) {
  path_ = File("size.ndx");
  ASSERT_EQ(XBDNCREATE(path_.c_str(), 'C', "name", 10), 0);
  auto bytes = ReadAll(path_);
  bytes.resize(2048, 0);
  WriteAll(path_, bytes);
  XBHANDLE h = XB_NO_HANDLE;
  EXPECT_EQ(XBDNOPENX(&h, path_.c_str(), 0), 7);
  EXPECT_NE(h, XB_NO_HANDLE);
  EXPECT_EQ(XBDNKADD(h, "A", 1), 0);  // a warning only
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, HeaderChecksInOrder) {
  path_ = File("hdr.ndx");
  ASSERT_EQ(XBDNCREATE(path_.c_str(), 'C', "a name", 10), 0);
  const auto good = ReadAll(path_);
  struct Damage {
    size_t at;
    std::vector<uint8_t> bytes;
    XBSTATUS code;
  };
  const Damage cases[] = {
      {12, {0, 0}, -23},      {12, {101, 0}, -23}, {18, {30, 0}, -24}, {0, {0, 0, 0, 0}, -25},
      {0, {3, 0, 0, 0}, -25}, {14, {26, 0}, -26},  {14, {1, 0}, -26},  {24, {0}, -7},
      {24, {' '}, 0},         {16, {2, 0}, -22},   {16, {1, 0}, -23},
  };
  for (const auto& d : cases) {
    auto bytes = good;
    std::copy(d.bytes.begin(), d.bytes.end(), bytes.begin() + static_cast<long>(d.at));
    if (d.at == 24 && d.bytes[0] == ' ') bytes[25] = 0;  // an expression of one blank
    if (d.code == 0) continue;
    WriteAll(path_, bytes);
    XBHANDLE h = 7;
    EXPECT_EQ(XBDNOPENX(&h, path_.c_str(), 0), d.code) << "offset " << d.at;
    EXPECT_EQ(h, XB_NO_HANDLE);
    XBESCODE(0);
  }
  // An expression of 222 characters has no room for its NUL.
  auto bytes = good;
  std::fill(bytes.begin() + 24, bytes.begin() + 24 + 222, 'X');
  WriteAll(path_, bytes);
  XBHANDLE h = 7;
  EXPECT_EQ(XBDNOPENX(&h, path_.c_str(), 0), -7);
  XBESCODE(0);
  // Reserved bytes 8..11 are never looked at; the expression is read
  // without blanks and in upper case.
  bytes = good;
  bytes[8] = 0xAB;
  bytes[11] = 0xCD;
  const char raw[] = "left( Name ,3)";
  std::fill(bytes.begin() + 24, bytes.begin() + 246, 0);
  std::copy(raw, raw + sizeof raw - 1, bytes.begin() + 24);
  WriteAll(path_, bytes);
  ASSERT_EQ(XBDNOPENX(&h, path_.c_str(), 0), 0);
  char text[256];
  EXPECT_EQ(XBDNEXPR(h, text), 0);
  EXPECT_STREQ(text, "LEFT(NAME,3)");
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, CreateChecks) {
  const std::string p = File("c.ndx");
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'C', "   ", 10), -7);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'C', std::string(222, 'A').c_str(), 10), -7);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'C', std::string(221, 'A').c_str(), 10), 0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'C', "x", 0), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'c', "x", 101), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'X', "x", 10), -22);
  // A prior error is returned at once.
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'C', "x", 10), -22);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(nullptr, 'C', "x", 10), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDNCREATE(p.c_str(), 'd' | XB_NDX_UNIQUE, "birth", 3), 0);
  const auto bytes = ReadAll(p);
  EXPECT_EQ(Le16(bytes, 12), 8);
  EXPECT_EQ(Le16(bytes, 16), 1);
  EXPECT_EQ(bytes[23], 1);
}

TEST_F(NdxEdge, ReadOnlyAndWrongHandles) {
  path_ = File("ro.ndx");
  ASSERT_EQ(XBDNCREATE(path_.c_str(), 'C', "name", 10), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, path_.c_str(), XB_OPEN_READONLY), 0);
  EXPECT_EQ(XBDNKADD(h, "A", 1), -36);
  XBESCODE(0);
  EXPECT_EQ(XBDNKDEL(h, "A", 1), -36);
  XBESCODE(0);
  char key[16];
  uint32_t r = 0;
  EXPECT_EQ(XBDNKTOP(h, key, &r), 2);
  EXPECT_EQ(XBDNKTOP(h, nullptr, &r), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDNKTOP(static_cast<XBHANDLE>(h + 1), key, &r), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDNCLOSE(h), 0);
  EXPECT_EQ(XBDNCLOSE(h), -13);
  XBESCODE(0);
}

TEST_F(NdxEdge, UniqueIndexTakesDuplicatesSilently) {
  XBHANDLE h = Create("u.ndx", 'C' | XB_NDX_UNIQUE, 4);
  EXPECT_EQ(XBDNKADD(h, "KEY", 1), 0);
  EXPECT_EQ(XBDNKADD(h, "KEY", 2), 0);
  XBSTATUS last = 0;
  const auto walk = WalkForward(h, 4, &last);
  ASSERT_EQ(walk.size(), 2u);
  EXPECT_EQ(last, 3);
  // The later duplicate goes before the entry it equals.
  EXPECT_EQ(walk[0].record, 2u);
  EXPECT_EQ(walk[1].record, 1u);
  EXPECT_EQ(WalkBackward(h, 4, &last).size(), 2u);
  // Deleting by key removes an entry with that key whatever its record.
  EXPECT_EQ(XBDNKDEL(h, "KEY", 99), 0);
  EXPECT_EQ(XBDNKDEL(h, "KEY", 99), 0);
  EXPECT_EQ(XBDNKDEL(h, "KEY", 99), 2);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(NdxEdge, TermClosesAndCompactsOpenIndexes) {
  XBHANDLE h = Create("term.ndx", 'C', 100);
  for (int i = 0; i < 40; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "%03d", i);
    ASSERT_EQ(XBDNKADD(h, k, static_cast<uint32_t>(i + 1)), 0);
  }
  for (int i = 0; i < 30; ++i) {
    char k[16];
    std::snprintf(k, sizeof k, "%03d", i);
    ASSERT_EQ(XBDNKDEL(h, k, static_cast<uint32_t>(i + 1)), 0);
  }
  ASSERT_FALSE(OpenIndex(h)->freePages.empty());
  XBDTERM();
  const auto check = CheckNdxFile(path_, {1, 0, true});
  EXPECT_EQ(check.error, "");
  EXPECT_EQ(check.entries.size(), 10u);
  ASSERT_EQ(XBDINIT(100, 4), 0);
}

TEST_F(NdxEdge, QuickClosedIndexReopens) {
  XBHANDLE h = Create("q.ndx", 'N', 0);
  char key[8];
  ASSERT_EQ(XBDNKNUM(key, 2.5), 0);
  ASSERT_EQ(XBDNKADD(h, key, 4), 0);
  ASSERT_EQ(XBDQCLOSE(), 0);
  uint32_t r = 0;
  ASSERT_EQ(XBDNKTOP(h, key, &r), 0);
  EXPECT_EQ(r, 4u);
  EXPECT_EQ(NumericKey(2.5), std::string(key, 8));
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
