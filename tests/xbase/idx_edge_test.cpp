// Edge cases of the IDX index: new standard and compact files byte by byte,
// the ordered numeric and date keys, the compressed ABC/ABD entry, the
// undeclared key type, create and open checks, split shape and sibling
// links, node freeing and reuse, root collapse, search answers, record
// numbers wider than a new leaf's field, descending order.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"

namespace kvtest {
namespace {

class IdxEdge : public EngineTest {
 protected:
  XBHANDLE Create(const std::string& name, uint16_t typeWord, uint16_t length,
                  char declared = 'C') {
    path_ = File(name);
    EXPECT_EQ(XBDICREATE(path_.c_str(), typeWord, "name", length), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDIOPENX(&h, path_.c_str(), 0), 0);
    if (declared != 0) {
      EXPECT_EQ(XBDIKTYPE(h, static_cast<uint16_t>(declared)), 0);
    }
    return h;
  }
  IdxCheckResult Check(char pad = ' ') { return CheckIdxFile(path_, {pad}); }
  std::string path_;
};

TEST_F(IdxEdge, NewStandardIndexIsAnEmptyRootLeaf) {
  XBHANDLE h = Create("new.idx", 'C', 10);
  const auto b = IdxBytes(path_);
  ASSERT_EQ(b.size(), 1024u);
  EXPECT_EQ(IdxLe32(b, 0), 512u);
  EXPECT_EQ(IdxLe32(b, 4), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, 8), 1024u);
  EXPECT_EQ(IdxLe16(b, 12), 10);
  EXPECT_EQ(b[14], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[16])), "NAME");
  EXPECT_EQ(IdxLe16(b, 512), 3);
  EXPECT_EQ(IdxLe16(b, 514), 0);
  EXPECT_EQ(IdxLe32(b, 516), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, 520), 0xFFFFFFFFu);
  char key[16] = "A";
  uint32_t r = 0;
  EXPECT_EQ(XBDIKTOP(h, key, &r), 2);
  EXPECT_EQ(XBDIKBOT(h, key, &r), 2);
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 2);
  EXPECT_EQ(XBDIKDEL(h, "A", 1), 2);
  EXPECT_EQ(XBDIKNEXT(h, key, &r), 4);
  EXPECT_EQ(XBDIKCUR(h, key, &r), 4);
  XBIDXINFO info{};
  ASSERT_EQ(XBDIINFO(h, &info), 0);
  EXPECT_EQ(+info.formCode, 3);
  EXPECT_EQ(+info.form, 0);
  EXPECT_EQ(+info.keyLength, 10);
  EXPECT_EQ(XBDICLOSE(h), 0);
  EXPECT_EQ(Check().error, "");
}

TEST_F(IdxEdge, NewCompactIndexHoldsItsWidthsAndExpression) {
  XBHANDLE h = Create("new.idx", 'C' | XB_NDX_UNIQUE | XB_IDX_COMPACT | XB_IDX_DESCENDING, 10);
  const auto b = IdxBytes(path_);
  ASSERT_EQ(b.size(), 1536u);
  EXPECT_EQ(IdxLe32(b, 0), 1024u);
  EXPECT_EQ(IdxLe32(b, 4), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, 8), 0u);
  EXPECT_EQ(b[14], 0x21);
  EXPECT_EQ(IdxLe16(b, 502), 1);
  EXPECT_EQ(IdxLe16(b, 504), 5);
  EXPECT_EQ(IdxLe16(b, 506), 1);
  EXPECT_EQ(IdxLe16(b, 510), 5);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[512])), "NAME");
  const size_t n = 1024;
  EXPECT_EQ(IdxLe16(b, n), 3);
  EXPECT_EQ(IdxLe16(b, n + 2), 0);
  EXPECT_EQ(IdxLe32(b, n + 4), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, n + 8), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe16(b, n + 12), 488);
  // L = 10 needs 4 bits per count: 3-byte descriptors, 16 record bits.
  EXPECT_EQ(IdxLe32(b, n + 14), 0xFFFFu);
  EXPECT_EQ(b[n + 18], 15);
  EXPECT_EQ(b[n + 19], 15);
  EXPECT_EQ(b[n + 20], 16);
  EXPECT_EQ(b[n + 21], 4);
  EXPECT_EQ(b[n + 22], 4);
  EXPECT_EQ(b[n + 23], 3);
  XBIDXINFO info{};
  ASSERT_EQ(XBDIINFO(h, &info), 0);
  EXPECT_EQ(+info.formCode, 8);
  EXPECT_EQ(+info.form, 5);
  EXPECT_EQ(+info.unique, 128);
  EXPECT_EQ(XBDICLOSE(h), 0);
  EXPECT_EQ(Check().error, "");
}

TEST_F(IdxEdge, DescriptorWidthsFollowTheKeyLength) {
  // b bits for each count; B = 2 for b = 1, 3 up to b = 5, else 4.
  const struct {
    uint16_t L;
    int b, B;
  } cases[] = {{1, 1, 2}, {2, 2, 3}, {31, 5, 3}, {32, 6, 4}, {100, 7, 4}};
  for (const auto& c : cases) {
    const std::string p = File("w" + std::to_string(c.L) + ".idx");
    ASSERT_EQ(XBDICREATE(p.c_str(), 'C' | XB_IDX_COMPACT, "name", c.L), 0);
    const auto b = IdxBytes(p);
    EXPECT_EQ(b[1024 + 21], c.b) << c.L;
    EXPECT_EQ(b[1024 + 23], c.B) << c.L;
    EXPECT_EQ(b[1024 + 20], 8 * c.B - 2 * c.b) << c.L;
  }
}

TEST_F(IdxEdge, NumericKeysSortAsUnsignedBytes) {
  const double values[] = {-1e300, -2.5, -1, -0.25, 0, 1e-300, 0.5, 2, 1e300};
  std::vector<std::string> keys;
  for (double v : values) {
    char k[8];
    ASSERT_EQ(XBDIKNUM(k, v), 0);
    keys.emplace_back(k, 8);
    EXPECT_EQ(keys.back(), IdxNumber(v)) << v;
  }
  for (size_t i = 1; i < keys.size(); ++i) {
    EXPECT_LT(std::memcmp(keys[i - 1].data(), keys[i].data(), 8), 0) << values[i];
  }
  // -1, 0 and 2 in that order.
  EXPECT_LT(keys[2], keys[4]);
  EXPECT_LT(keys[4], keys[7]);
}

TEST_F(IdxEdge, DateKeysAreOrderedDayNumbers) {
  char a[8], b[8], blank[8];
  ASSERT_EQ(XBDIKDATE(a, "19960301", 4), 0);
  ASSERT_EQ(XBDIKDATE(b, "19970101", 4), 0);
  EXPECT_EQ(std::string(a, 8), IdxNumber(2450144.0));
  EXPECT_EQ(std::string(b, 8), IdxNumber(2450450.0));
  ASSERT_EQ(XBDIKDATE(blank, "        ", 4), 0);
  EXPECT_EQ(std::string(blank, 8), std::string("\x80\0\0\0\0\0\0\0", 8));
  EXPECT_LT(std::memcmp(blank, a, 8), 0);
  EXPECT_EQ(XBDIKDATE(a, "19961301", 4), XB_E_DATE);
  XBESCODE(0);
}

TEST_F(IdxEdge, CompactEntryAbdAfterAbcKeepsOneByte) {
  XBHANDLE h = Create("abc.idx", 'C' | XB_IDX_COMPACT, 5);
  ASSERT_EQ(XBDIKADD(h, "ABC", 1), 0);
  ASSERT_EQ(XBDIKADD(h, "ABD", 2), 0);
  const auto b = IdxBytes(path_);
  const size_t n = IdxLe32(b, 0);
  ASSERT_EQ(IdxLe16(b, n + 2), 2);
  const int B = b[n + 23];
  const int recordBits = b[n + 20];
  const int bits = b[n + 21];
  ASSERT_EQ(B, 3);
  uint32_t x = b[n + 24 + B] | b[n + 24 + B + 1] << 8 | b[n + 24 + B + 2] << 16;
  EXPECT_EQ(x & ((1u << recordBits) - 1), 2u);
  x >>= recordBits;
  EXPECT_EQ(x & ((1u << bits) - 1), 2u);  // d
  x >>= bits;
  EXPECT_EQ(x & ((1u << bits) - 1), 2u);  // t
  // Entry 0 stores "ABC" just below 512, entry 1 its one byte "D" below it.
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[n + 509]), 3), "ABC");
  EXPECT_EQ(b[n + 508], 'D');
  EXPECT_EQ(IdxLe16(b, n + 12), 488 - (3 + 3) - (3 + 1));
  EXPECT_EQ(XBDICLOSE(h), 0);
  const auto check = Check();
  ASSERT_EQ(check.error, "");
  ASSERT_EQ(check.entries.size(), 2u);
  EXPECT_EQ(check.entries[1].key, "ABD  ");
}

TEST_F(IdxEdge, KeyTypeIsUndeclaredUntilSet) {
  XBHANDLE h = Create("q.idx", 'N', 0, 0);
  XBIDXINFO info{};
  ASSERT_EQ(XBDIINFO(h, &info), 0);
  EXPECT_EQ(+info.keyType, '?');
  EXPECT_EQ(+info.keyLength, 8);
  EXPECT_EQ(XBDIKTYPE(h, 'x'), XB_E_KEY_TYPE);
  XBESCODE(0);
  ASSERT_EQ(XBDIKTYPE(h, 'n'), 0);
  ASSERT_EQ(XBDIINFO(h, &info), 0);
  EXPECT_EQ(+info.keyType, 'N');
  // A declared numeric index takes 8 bytes, zero bytes included.
  char zero[8];
  ASSERT_EQ(XBDIKNUM(zero, 0.0), 0);
  ASSERT_EQ(XBDIKADD(h, zero, 7), 0);
  char out[9] = {};
  uint32_t r = 0;
  ASSERT_EQ(XBDIKTOP(h, out, &r), 0);
  EXPECT_EQ(std::string(out, 8), std::string(zero, 8));
  EXPECT_EQ(r, 7u);
  EXPECT_EQ(XBDICLOSE(h), 0);
}

TEST_F(IdxEdge, CreateRefusesBadTypesLengthsAndExpressions) {
  const std::string p = File("bad.idx");
  EXPECT_EQ(XBDICREATE(p.c_str(), 'C', "name", 0), XB_E_KEY_LENGTH);
  XBESCODE(0);
  EXPECT_EQ(XBDICREATE(p.c_str(), 'C', "name", 101), XB_E_KEY_LENGTH);
  XBESCODE(0);
  EXPECT_EQ(XBDICREATE(p.c_str(), 'X', "name", 10), XB_E_KEY_TYPE);
  XBESCODE(0);
  const std::string longExpression(221, 'A');
  EXPECT_EQ(XBDICREATE(p.c_str(), 'C', longExpression.c_str(), 10), XB_E_EXPRESSION);
  XBESCODE(0);
  // Blanks do not count.
  const std::string spaced = std::string(220, 'A') + "   ";
  EXPECT_EQ(XBDICREATE(p.c_str(), 'C', spaced.c_str(), 10), 0);
  EXPECT_EQ(XBDICREATE(p.c_str(), 'L', "flag", 50), 0);
  EXPECT_EQ(IdxLe16(IdxBytes(p), 12), 1);
  EXPECT_EQ(XBDICREATE(p.c_str(), 'd', "born", 50), 0);
  EXPECT_EQ(IdxLe16(IdxBytes(p), 12), 8);
}

TEST_F(IdxEdge, OpenChecksHeaderAndSize) {
  const std::string p = File("h.idx");
  ASSERT_EQ(XBDICREATE(p.c_str(), 'C', "name", 10), 0);
  const auto good = IdxBytes(p);
  XBHANDLE h = XB_NO_HANDLE;
  auto b = good;
  IdxPutLe16(b, 12, 0);
  IdxWriteBytes(p, b);
  EXPECT_EQ(XBDIOPENX(&h, p.c_str(), 0), XB_E_KEY_LENGTH);
  XBESCODE(0);
  b = good;
  b[16] = 0;
  IdxWriteBytes(p, b);
  EXPECT_EQ(XBDIOPENX(&h, p.c_str(), 0), XB_E_EXPRESSION);
  XBESCODE(0);
  for (uint32_t root : {0u, 256u, 513u, 1024u, 4096u}) {
    b = good;
    IdxPutLe32(b, 0, root);
    IdxWriteBytes(p, b);
    EXPECT_EQ(XBDIOPENX(&h, p.c_str(), 0), XB_E_ROOT) << root;
    XBESCODE(0);
  }
  b = good;
  b.resize(1536, 0);
  IdxWriteBytes(p, b);
  ASSERT_EQ(XBDIOPENX(&h, p.c_str(), 0), XB_BAD_LENGTH);
  EXPECT_EQ(XBDICLOSE(h), 0);
}

TEST_F(IdxEdge, FullStandardNodeSplitsAndLinksSiblings) {
  // L = 100: four entries per node; the fifth splits 3 + 2.
  XBHANDLE h = Create("split.idx", 'C', 100);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(XBDIKADD(h, std::string(1, static_cast<char>('A' + i)).c_str(), i + 1), 0);
  }
  const auto b = IdxBytes(path_);
  const uint32_t root = IdxLe32(b, 0);
  ASSERT_NE(root, 512u);
  EXPECT_EQ(IdxLe16(b, root), 1);
  ASSERT_EQ(IdxLe16(b, root + 2), 2);
  auto be32 = [&](size_t at) {
    return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
  };
  const uint32_t first = be32(root + 12 + 100);
  const uint32_t second = be32(root + 12 + 104 + 100);
  EXPECT_EQ(IdxLe16(b, first + 2), 3);
  EXPECT_EQ(IdxLe16(b, second + 2), 2);
  EXPECT_EQ(b[root + 12], 'C');
  EXPECT_EQ(b[root + 12 + 104], 'E');
  EXPECT_EQ(IdxLe32(b, first + 4), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, first + 8), second);
  EXPECT_EQ(IdxLe32(b, second + 4), first);
  EXPECT_EQ(IdxLe32(b, second + 8), 0xFFFFFFFFu);
  EXPECT_EQ(IdxLe32(b, 8), b.size());
  EXPECT_EQ(XBDICLOSE(h), 0);
  EXPECT_EQ(Check().error, "");
}

TEST_F(IdxEdge, EmptiedNodesAreFreedReusedAndTheRootCollapses) {
  XBHANDLE h = Create("free.idx", 'C', 100);
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(XBDIKADD(h, std::string(1, static_cast<char>('A' + i)).c_str(), i + 1), 0);
  }
  const uint64_t size = IdxBytes(path_).size();
  ASSERT_EQ(XBDIKDEL(h, "D", 4), 0);
  ASSERT_EQ(XBDIKDEL(h, "E", 5), 0);
  auto b = IdxBytes(path_);
  // The emptied leaf and the old root are on the free list; the first leaf
  // is the root again.
  EXPECT_EQ(IdxLe16(b, IdxLe32(b, 0)), 3);
  EXPECT_NE(IdxLe32(b, 4), 0xFFFFFFFFu);
  auto check = Check();
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.freeNodes, 2);
  EXPECT_EQ(check.entries.size(), 3u);
  // New nodes come from the free list before the file grows.
  for (int i = 5; i < 7; ++i) {
    ASSERT_EQ(XBDIKADD(h, std::string(1, static_cast<char>('A' + i)).c_str(), i + 1), 0);
  }
  b = IdxBytes(path_);
  EXPECT_EQ(b.size(), size);
  check = Check();
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.freeNodes, 0);
  EXPECT_EQ(check.entries.size(), 5u);
  EXPECT_EQ(XBDICLOSE(h), 0);
}

TEST_F(IdxEdge, FindAnswersAtTheEdgesAndByPrefix) {
  XBHANDLE h = Create("find.idx", 'C' | XB_IDX_COMPACT, 6);
  const char* keys[] = {"ABC", "ABD", "ABX", "BCD", "CCC"};
  for (int i = 0; i < 5; ++i) ASSERT_EQ(XBDIKADD(h, keys[i], i + 1), 0);
  char key[16];
  uint32_t r = 0;
  std::strcpy(key, "ZZZ");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 4);
  EXPECT_STREQ(key, "CCC   ");
  std::strcpy(key, "A");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 0);
  EXPECT_STREQ(key, "ABC   ");
  std::strcpy(key, "0");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 0);
  EXPECT_EQ(r, 1u);
  std::strcpy(key, "ABE");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 4);
  EXPECT_STREQ(key, "ABD   ");
  std::strcpy(key, "AB?");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 4), 0);
  EXPECT_STREQ(key, "ABC   ");
  std::strcpy(key, "B?D");
  EXPECT_EQ(XBDIKFIND(h, key, &r, 4), 0);
  EXPECT_EQ(r, 4u);
  std::strcpy(key, "ABD");
  r = 9;
  EXPECT_EQ(XBDIKFIND(h, key, &r, 2), 4);
  std::strcpy(key, "ABD");
  r = 2;
  EXPECT_EQ(XBDIKFIND(h, key, &r, 2), 0);
  // The current key steps on.
  EXPECT_EQ(XBDIKNEXT(h, key, &r), 0);
  EXPECT_STREQ(key, "ABX   ");
  EXPECT_EQ(XBDIKCUR(h, key, &r), 0);
  EXPECT_EQ(r, 3u);
  EXPECT_EQ(XBDICLOSE(h), 0);
}

TEST_F(IdxEdge, RecordNumbersBeyondTheLeafFieldWidenIt) {
  // L = 10 leaves 16 record bits in a new leaf.
  XBHANDLE h = Create("wide.idx", 'C' | XB_IDX_COMPACT, 10);
  const uint32_t records[] = {1, 65535, 65536, 1000000, 0x7FFFFFFF, 0xFFFFFFFE};
  for (size_t i = 0; i < std::size(records); ++i) {
    ASSERT_EQ(XBDIKADD(h, ("K" + std::to_string(i)).c_str(), records[i]), 0);
  }
  const auto check = Check();
  ASSERT_EQ(check.error, "");
  ASSERT_EQ(check.entries.size(), std::size(records));
  for (size_t i = 0; i < std::size(records); ++i) EXPECT_EQ(check.entries[i].record, records[i]);
  XBSTATUS last = 0;
  const auto walked = IdxWalk(h, 10, true, &last);
  ASSERT_EQ(walked.size(), std::size(records));
  EXPECT_EQ(walked.back().record, records[std::size(records) - 1]);
  EXPECT_EQ(XBDICLOSE(h), 0);
}

TEST_F(IdxEdge, DescendingIndexWalksFromTheGreatestKey) {
  XBHANDLE h = Create("desc.idx", 'N' | XB_IDX_COMPACT | XB_IDX_DESCENDING, 0, 'N');
  for (int i = -3; i <= 3; ++i) {
    const std::string k = IdxNumber(i);
    ASSERT_EQ(XBDIKADD(h, k.data(), static_cast<uint32_t>(i + 10)), 0);
  }
  XBSTATUS last = 0;
  const auto walked = IdxWalk(h, 8, true, &last);
  EXPECT_EQ(last, 3);
  ASSERT_EQ(walked.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(walked[i].record, static_cast<uint32_t>(13 - i));
  char key[9];
  const std::string half = IdxNumber(0.5);
  std::memcpy(key, half.data(), 8);
  uint32_t r = 0;
  // 0.5 lies between 1 and 0: the entry before it in this order is 1.
  EXPECT_EQ(XBDIKFIND(h, key, &r, 0), 4);
  EXPECT_EQ(r, 11u);
  EXPECT_EQ(XBDICLOSE(h), 0);
  EXPECT_EQ(Check('\0').error, "");
}

// Five keys of 100 different bytes cannot share a leaf: with 14 short keys
// before them, half the entries each way would leave 538 bytes on the right.
TEST_F(IdxEdge, CompactLeafSplitsWhereBothHalvesFit) {
  XBHANDLE h = Create("bytes.idx", 'C' | XB_IDX_COMPACT, 100);
  std::vector<std::string> keys;
  char text[16];
  for (int i = 0; i < 14; ++i) {
    std::snprintf(text, sizeof text, "A%02d", i);
    keys.push_back(text);
  }
  for (int i = 0; i < 5; ++i) {
    std::string big = "Z" + std::string(1, static_cast<char>('a' + i));
    for (int j = 0; j < 98; ++j) big += static_cast<char>('a' + (i * 7 + j * 3) % 26);
    keys.push_back(big);
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(XBDIKADD(h, keys[i].c_str(), static_cast<uint32_t>(i + 1)), 0) << i;
  }
  const auto check = Check();
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.depth, 1);
  ASSERT_EQ(check.entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(check.entries[i].key, IdxPadded(keys[i], 100));
  EXPECT_EQ(XBDICLOSE(h), 0);
}

// Removing "A" makes the next key, "A" + 98 blanks + "X", share nothing with
// its new predecessor: its stored bytes grow from 1 to 100 and the full leaf
// no longer holds its entries. It is split instead of overrunning itself.
TEST_F(IdxEdge, DeleteThatGrowsACompactLeafSplitsIt) {
  XBHANDLE h = Create("grow.idx", 'C' | XB_IDX_COMPACT, 100);
  std::vector<std::string> keys = {"0", "A", "A" + std::string(98, ' ') + "X"};
  char text[16];
  for (int i = 0; i < 90; ++i) {
    std::snprintf(text, sizeof text, "B%02d", i);
    keys.push_back(text);
  }
  for (size_t i = 0; i < keys.size(); ++i) {
    ASSERT_EQ(XBDIKADD(h, keys[i].c_str(), static_cast<uint32_t>(i + 1)), 0) << i;
  }
  auto check = Check();
  ASSERT_EQ(check.error, "");
  ASSERT_EQ(check.depth, 0) << "the keys must share one leaf for this case";
  const auto b = IdxBytes(path_);
  EXPECT_LT(IdxLe16(b, IdxLe32(b, 0) + 12), 94);  // less room than the growth
  ASSERT_EQ(XBDIKDEL(h, "A", 2), 0);
  check = Check();
  ASSERT_EQ(check.error, "");
  EXPECT_EQ(check.depth, 1);
  keys.erase(keys.begin() + 1);
  ASSERT_EQ(check.entries.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(check.entries[i].key, IdxPadded(keys[i], 100));
  EXPECT_EQ(XBDICLOSE(h), 0);
}

}  // namespace
}  // namespace kvtest
