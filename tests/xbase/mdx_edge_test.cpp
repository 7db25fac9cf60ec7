// Edge cases of the MDX family: the bytes of a new file and of the first
// tag, numeric key bytes and their order, tag names and slots, the open
// checks in order (every creation year accepted), tag header checks, tag
// erase and reuse of freed blocks, find flags, descending and unique tags.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/kernel/system.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/mdx_support.h"

namespace kvtest {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
  return v;
}

void Put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v);
  b[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}

class MdxEdge : public EngineTest {
 protected:
  // Opens `bytes` written to a file; closes it again when the open worked.
  XBSTATUS OpenStatus(const std::string& bytes) {
    const std::string path = File("probe.mdx");
    WriteAll(path, bytes);
    XBHANDLE h = 0;
    const XBSTATUS s = XBDMOPENX(&h, path.c_str(), 0);
    if (s >= 0) {
      EXPECT_EQ(XBDMCLOSE(h), 0);
    }
    XBESCODE(0);
    return s;
  }

  std::string NewFile(uint16_t units) {
    const std::string path = File("base.mdx");
    EXPECT_EQ(XBDMCREATE(path.c_str(), units), 0);
    return ReadAll(path);
  }

  // A file with one tag holding `keys`; the tag stays in use.
  void OneTag(const char* type, uint16_t letterBits, uint16_t keyLength, uint16_t units = 1) {
    path_ = File("one.mdx");
    ASSERT_EQ(XBDMCREATE(path_.c_str(), units), 0);
    ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
    ASSERT_EQ(
        XBDMTNEW(file_, "T", static_cast<uint16_t>(type[0] | letterBits), "F1 + F2", keyLength), 0);
    ASSERT_EQ(XBDMTUSE(&tag_, file_, "t"), 0);
  }

  std::string path_;
  XBHANDLE file_ = 0;
  XBTAGHANDLE tag_ = 0;
};

TEST_F(MdxEdge, NewFileIsHeaderAndThreeZeroBlocks) {
  const std::string b = NewFile(2);
  ASSERT_EQ(b.size(), 2048u);
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(b.substr(4, 5), std::string("BASE\0", 5));
  EXPECT_EQ(static_cast<uint8_t>(b[20]), 2);
  EXPECT_EQ(static_cast<uint8_t>(b[22]) | static_cast<uint8_t>(b[23]) << 8, 1024);
  EXPECT_EQ(b[24], 1);  // XBDMCREATE makes a production index
  EXPECT_EQ(b[25], '0');
  EXPECT_EQ(b[26], ' ');
  EXPECT_EQ(U32(b, 28) & 0xFFFF, 0u);
  EXPECT_EQ(U32(b, 32), 4u);
  EXPECT_EQ(U32(b, 36), 0u);
  EXPECT_EQ(U32(b, 40), 0u);
  EXPECT_EQ(b.substr(512), std::string(1536, '\0'));
  EXPECT_EQ(CheckMdxFile(File("base.mdx")).error, "");
  const std::string plain = File("plain.mdx");
  ASSERT_EQ(XBDMCREATEX(plain.c_str(), 1, 0), 0);
  EXPECT_EQ(ReadAll(plain)[24], 0);
}

TEST_F(MdxEdge, CreateRefusesBadUnitsAndLongBaseNames) {
  EXPECT_EQ(XBDMCREATE(File("a.mdx").c_str(), 0), XB_E_BLOCK_UNITS);
  XBESCODE(0);
  EXPECT_EQ(XBDMCREATE(File("a.mdx").c_str(), 33), XB_E_BLOCK_UNITS);
  XBESCODE(0);
  EXPECT_EQ(XBDMCREATE(File("ninechars.mdx").c_str(), 1), XB_E_EMPTY_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDMCREATE(File("eightchr.mdx").c_str(), 32), 0);
}

// The mended fault: the engine opens the files it creates today (year byte
// 120 and more since 2020); old years open too, a bad month or day does not.
TEST_F(MdxEdge, EveryCreationYearOpens) {
  std::string b = NewFile(2);
  kvp::SYSTEMTIME now{};
  kvp::GetLocalTime(&now);
  EXPECT_EQ(static_cast<uint8_t>(b[1]), now.wYear - 1900);
  EXPECT_GE(static_cast<uint8_t>(b[1]), 120);
  EXPECT_EQ(OpenStatus(b), 0);
  for (int year : {0, 80, 119, 120, 126, 255}) {
    b[1] = static_cast<char>(year);
    EXPECT_EQ(OpenStatus(b), 0) << year;
  }
  b[1] = 126;
  b[2] = 13;
  EXPECT_EQ(OpenStatus(b), -20);
  b[2] = 0;
  EXPECT_EQ(OpenStatus(b), -20);
  b[2] = 12;
  b[3] = 32;
  EXPECT_EQ(OpenStatus(b), -20);
  b[3] = 0;
  EXPECT_EQ(OpenStatus(b), -20);
}

TEST_F(MdxEdge, OpenChecksInOrder) {
  const std::string good = NewFile(2);
  struct Case {
    size_t at;
    int value;
    int width;
    XBSTATUS code;
  };
  const Case cases[] = {
      {0, 3, 1, XB_E_FORMAT},        {20, 0, 2, XB_E_BLOCK_UNITS},
      {20, 33, 2, XB_E_BLOCK_UNITS}, {22, 1000, 2, XB_E_BLOCK_BYTES},
      {25, 47, 1, XB_E_MAX_TAGS},    {26, 31, 1, XB_E_SLOT_LENGTH},
      {28, 48, 2, XB_E_TAG_COUNT},   {32, 3, 4, XB_E_HEADER_LENGTH},
  };
  for (const Case& c : cases) {
    std::string b = good;
    if (c.width == 1) b[c.at] = static_cast<char>(c.value);
    if (c.width == 2) Put16(b, c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) Put32(b, c.at, static_cast<uint32_t>(c.value));
    EXPECT_EQ(OpenStatus(b), c.code) << "offset " << c.at;
  }
  // Two faults at once: the earlier check speaks.
  std::string b = good;
  b[0] = 3;
  b[2] = 13;
  EXPECT_EQ(OpenStatus(b), XB_E_FORMAT);
  b = good;
  b[2] = 13;
  Put16(b, 20, 0);
  EXPECT_EQ(OpenStatus(b), -20);
  // A size that differs from next block x 512 opens with 7.
  b = good + std::string(512, '\0');
  EXPECT_EQ(OpenStatus(b), XB_BAD_LENGTH);
  EXPECT_EQ(OpenStatus(good.substr(0, 1000)), XB_E_READ);
}

TEST_F(MdxEdge, FirstTagHeaderAndRootBlocks) {
  path_ = File("first.mdx");
  ASSERT_EQ(XBDMCREATE(path_.c_str(), 2), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
  ASSERT_EQ(XBDMTNEW(file_, "name", 'C', "last name + first", 30), 0);
  ASSERT_EQ(XBDMTNEW(file_, "born", 'D' | XB_MDX_DESCENDING, "DTOS(BORN)", 0), 0);
  ASSERT_EQ(XBDMTNEW(file_, "pay", 'N' | XB_MDX_UNIQUE, "RIGHT(STR(PAY),5)", 0), 0);
  const std::string b = ReadAll(path_);
  ASSERT_EQ(b.size(), (4u + 6 * 2) * 512);
  const size_t s1 = 512 + 32;
  EXPECT_EQ(U32(b, s1), 4u);
  EXPECT_EQ(b.substr(s1 + 4, 11), std::string("NAME\0\0\0\0\0\0\0", 11));
  EXPECT_EQ(b[s1 + 17], 2);  // next tag
  EXPECT_EQ(b[s1 + 18], 0);
  EXPECT_EQ(b[s1 + 19], 2);
  EXPECT_EQ(b[s1 + 20], 'C');
  const size_t h = 4 * 512;
  EXPECT_EQ(U32(b, h), 6u);  // root
  EXPECT_EQ(static_cast<uint8_t>(b[h + 8]), 0x10);
  EXPECT_EQ(b[h + 9], 'C');
  EXPECT_EQ(U32(b, h + 12) & 0xFFFF, 30u);
  EXPECT_EQ(U32(b, h + 14) & 0xFFFF, (1024u - 12) / 36);
  EXPECT_EQ(U32(b, h + 18) & 0xFFFF, 36u);
  EXPECT_EQ(b.substr(h + 24, 16), std::string("LASTNAME+FIRST\0\0", 16));
  EXPECT_EQ(b.substr(6 * 512, 1024), std::string(1024, '\0'));
  // The date tag: flags descending and plain, offset 16 is 1, L 8, E 12.
  const size_t d = 8 * 512;
  EXPECT_EQ(U32(b, 512 + 64), 8u);
  EXPECT_EQ(b[512 + 64 + 18], 1);
  EXPECT_EQ(static_cast<uint8_t>(b[d + 8]), 0x18);
  EXPECT_EQ(U32(b, d + 12) & 0xFFFF, 8u);
  EXPECT_EQ(U32(b, d + 16) & 0xFFFF, 1u);
  EXPECT_EQ(U32(b, d + 18) & 0xFFFF, 12u);
  // The numeric tag: unique, RIGHT( in the expression clears 0x10; L 12.
  const size_t n = 12 * 512;
  EXPECT_EQ(static_cast<uint8_t>(b[n + 8]), 0x40);
  EXPECT_EQ(U32(b, n + 12) & 0xFFFF, 12u);
  EXPECT_EQ(U32(b, n + 18) & 0xFFFF, 16u);
  EXPECT_EQ(b[512 + 96 + 17], 0);  // last tag
  EXPECT_EQ(U32(b, 28) & 0xFFFF, 3u);
  EXPECT_EQ(CheckMdxFile(path_).error, "");
  XBTAGHANDLE t = 0;
  ASSERT_EQ(XBDMTUSEX(&t, file_, 2), 0);
  EXPECT_EQ(t, XB_TAG_HANDLE(file_, 2));
  XBMDXTAGINFO info{};
  ASSERT_EQ(XBDMTINFO(t, &info), 0);
  EXPECT_STREQ(info.name, "BORN");
  EXPECT_EQ(info.keyLength, 8);
  EXPECT_EQ(info.keyType, 'D');
  EXPECT_EQ(info.unique, 0);
  EXPECT_EQ(info.order, 1);
  EXPECT_STREQ(info.expression, "DTOS(BORN)");
  EXPECT_EQ(info.expressionLength, 10);
  char text[300];
  ASSERT_EQ(XBDMTEXPR(t, text), 0);
  EXPECT_STREQ(text, "DTOS(BORN)");
  XBMDXINFO fileInfo{};
  ASSERT_EQ(XBDMINFO(file_, &fileInfo), 0);
  EXPECT_EQ(fileInfo.tagCount, 3);
  EXPECT_EQ(fileInfo.openFlags & 1, 0);
  EXPECT_EQ(std::string(fileInfo.fileName), path_);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, NumericKeyBytesAndOrder) {
  std::string k = MdxNumber(123.5);
  EXPECT_EQ(static_cast<uint8_t>(k[0]), 0x37);
  EXPECT_EQ(static_cast<uint8_t>(k[1]), 5);
  EXPECT_EQ(static_cast<uint8_t>(k[2]), 0x12);
  EXPECT_EQ(static_cast<uint8_t>(k[3]), 0x35);
  EXPECT_EQ(k.substr(4), std::string(8, '\0'));
  k = MdxNumber(0.05);
  EXPECT_EQ(static_cast<uint8_t>(k[0]), 0x33);
  EXPECT_EQ(static_cast<uint8_t>(k[1]), 5);
  EXPECT_EQ(static_cast<uint8_t>(k[2]), 0x50);
  EXPECT_EQ(k.substr(3), std::string(9, '\0'));
  k = MdxNumber(-7);
  EXPECT_EQ(static_cast<uint8_t>(k[1]), 0x85);
  EXPECT_EQ(static_cast<uint8_t>(k[0]), 0x35);
  // Twenty digits at most: 123456789012345678901 keeps its first twenty.
  k = MdxNumber(123456789012345678901.0);
  EXPECT_EQ(static_cast<uint8_t>(k[0]), 0x34 + 21);
  EXPECT_EQ(static_cast<uint8_t>(k[2]), 0x12);

  OneTag("N", 0, 0);
  const double values[] = {2, 0.5, -1, 0, 1e15, -1e15, -0.25, 1e250, 123.5, 0.05};
  uint32_t r = 1;
  for (double v : values) ASSERT_EQ(XBDMKADD(tag_, MdxNumber(v).data(), r++), 0);
  XBSTATUS last = 0;
  const std::vector<MdxEntry> walk = MdxWalk(tag_, 12, true, &last);
  ASSERT_EQ(walk.size(), 10u);
  const std::vector<uint32_t> expected = {6, 3, 7, 4, 10, 2, 1, 9, 5, 8};
  for (size_t i = 0; i < walk.size(); ++i) EXPECT_EQ(walk[i].record, expected[i]) << i;
  EXPECT_EQ(last, XB_KEY_EDGE);
  // -1 before 0 before 0.5 before 2.
  std::string key = MdxNumber(0.5);
  uint32_t rec = 0;
  ASSERT_EQ(XBDMKFIND(tag_, key.data(), &rec, 0), 0);
  EXPECT_EQ(rec, 2u);
  char out[13];
  ASSERT_EQ(XBDMKPREV(tag_, out, &rec), 0);
  EXPECT_EQ(rec, 10u);  // 0.05
  ASSERT_EQ(XBDMKPREV(tag_, out, &rec), 0);
  EXPECT_EQ(rec, 4u);  // 0
  ASSERT_EQ(XBDMKPREV(tag_, out, &rec), 0);
  EXPECT_EQ(rec, 7u);  // -0.25
  ASSERT_EQ(XBDMKPREV(tag_, out, &rec), 0);
  EXPECT_EQ(rec, 3u);  // -1
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, TagNamesAndSlots) {
  path_ = File("names.mdx");
  ASSERT_EQ(XBDMCREATE(path_.c_str(), 1), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
  EXPECT_EQ(XBDMTNEW(file_, "ELEVENCHARS", 'C', "A", 5), XB_E_TAG_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "", 'C', "A", 5), XB_E_TAG_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "T", 'X', "A", 5), XB_E_KEY_TYPE);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "T", 'C', "A", 101), XB_E_KEY_LENGTH);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "T", 'C', "   ", 5), XB_E_EXPRESSION);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "T", 'C', std::string(222, 'A').c_str(), 5), XB_E_EXPRESSION);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "TENCHARSXX", 'C', std::string(221, 'A').c_str(), 5), 0);
  for (int i = 2; i <= 47; ++i) {
    ASSERT_EQ(XBDMTNEW(file_, ("TAG" + std::to_string(i)).c_str(), 'N', "X", 0), 0) << i;
  }
  EXPECT_EQ(XBDMTNEW(file_, "TAG48", 'N', "X", 0), XB_E_NO_HANDLE);  // -8
  XBESCODE(0);
  // A same-named tag is replaced even when the table is full.
  EXPECT_EQ(XBDMTNEW(file_, "tag2", 'C', "Y", 7), 0);
  EXPECT_EQ(CheckMdxFile(path_).error, "");
  XBTAGHANDLE t = 0;
  ASSERT_EQ(XBDMTUSE(&t, file_, "TENCHARSXX"), 0);
  XBMDXTAGINFO info{};
  ASSERT_EQ(XBDMTINFO(t, &info), 0);
  EXPECT_EQ(std::string(info.name, 10), "TENCHARSXX");
  EXPECT_EQ(XBDMTUSE(&t, file_, "TAG2"), 0);
  EXPECT_EQ(t >> 16, 47u);  // the replacement went to the end
  EXPECT_EQ(XBDMTUSE(&t, file_, "NOSUCH"), XB_E_TAG_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDMTUSEX(&t, file_, 0), XB_E_TAG_SLOT);
  XBESCODE(0);
  EXPECT_EQ(XBDMTUSEX(&t, file_, 48), XB_E_TAG_SLOT);
  XBESCODE(0);
  char key[16] = "A";
  uint32_t r = 0;
  EXPECT_EQ(XBDMKTOP(XB_TAG_HANDLE(file_, 0), key, &r), XB_E_TAG_SLOT);
  XBESCODE(0);
  EXPECT_EQ(XBDMKTOP(XB_TAG_HANDLE(file_, 5), key, &r), XB_E_TAG_SLOT);  // not in use
  XBESCODE(0);
  EXPECT_EQ(XBDMKTOP(XB_TAG_HANDLE(file_ + 1, 1), key, &r), XB_E_HANDLE);
  XBESCODE(0);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, EraseFreesBlocksForTheNextTag) {
  OneTag("C", 0, 100);
  for (uint32_t i = 1; i <= 200; ++i) {
    ASSERT_EQ(XBDMKADD(tag_, MdxPadded("K" + std::to_string(i), 100).data(), i), 0);
  }
  ASSERT_EQ(XBDMTNEW(file_, "SECOND", 'N', "X", 0), 0);
  MdxCheckResult before = CheckMdxFile(path_);
  ASSERT_EQ(before.error, "");
  ASSERT_GE(before.tags[0].depth, 3);
  EXPECT_EQ(XBDMTERASE(file_, "t"), XB_E_TAG_IN_USE);
  XBESCODE(0);
  ASSERT_EQ(XBDMTCLOSE(tag_), 0);
  EXPECT_EQ(XBDMTERASE(file_, "nosuch"), XB_E_TAG_NAME);
  XBESCODE(0);
  ASSERT_EQ(XBDMTERASE(file_, "t"), 0);
  MdxCheckResult after = CheckMdxFile(path_);
  ASSERT_EQ(after.error, "");
  ASSERT_EQ(after.tags.size(), 1u);
  EXPECT_EQ(after.tags[0].name, "SECOND");
  const uint32_t used = (before.nextBlock - 4) - 2;  // all but SECOND's two
  EXPECT_EQ(after.freeBlocks, used);
  const std::string b = ReadAll(path_);
  EXPECT_EQ(b[512 + 32 + 17], 0);  // SECOND is slot 1 now, first and last
  EXPECT_EQ(b[512 + 32 + 18], 0);
  // A new tag and its keys take freed blocks: the file does not grow.
  ASSERT_EQ(XBDMTNEW(file_, "THIRD", 'C', "Y", 100), 0);
  ASSERT_EQ(XBDMTUSE(&tag_, file_, "third"), 0);
  for (uint32_t i = 1; i <= 100; ++i) {
    ASSERT_EQ(XBDMKADD(tag_, MdxPadded("K" + std::to_string(i), 100).data(), i), 0);
  }
  after = CheckMdxFile(path_);
  ASSERT_EQ(after.error, "");
  EXPECT_EQ(after.nextBlock, before.nextBlock);
  EXPECT_LT(after.freeBlocks, used);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, FindFlagsAndPositions) {
  OneTag("C", 0, 10);
  char key[16];
  uint32_t r = 0;
  EXPECT_EQ(XBDMKTOP(tag_, key, &r), XB_INDEX_EMPTY);
  EXPECT_EQ(XBDMKBOT(tag_, key, &r), XB_INDEX_EMPTY);
  std::strcpy(key, "A");
  EXPECT_EQ(XBDMKFIND(tag_, key, &r, 0), XB_INDEX_EMPTY);
  EXPECT_EQ(XBDMKNEXT(tag_, key, &r), XB_KEY_NOT_FOUND);
  const char* keys[] = {"ABC", "ABD", "ABD", "B", "AXC", "C"};
  for (uint32_t i = 0; i < 6; ++i) ASSERT_EQ(XBDMKADD(tag_, keys[i], 10 - i), 0);
  std::strcpy(key, "AB");
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, 0), 0);
  EXPECT_STREQ(key, "ABC       ");
  std::strcpy(key, "A?C");
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, XB_FIND_WILDCARD), 0);
  EXPECT_STREQ(key, "ABC       ");
  std::strcpy(key, "ABD");
  r = 8;
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, XB_FIND_EXACT), 0);
  EXPECT_EQ(r, 8u);
  std::strcpy(key, "ABD");
  r = 0;
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, 0), 0);
  EXPECT_EQ(r, 8u);  // equal keys by record number: the first
  std::strcpy(key, "0");
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, 0), 0);  // before every key: the first
  EXPECT_STREQ(key, "ABC       ");
  std::strcpy(key, "Z");
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, 0), XB_KEY_NOT_FOUND);  // the last
  EXPECT_STREQ(key, "C         ");
  ASSERT_EQ(XBDMKCUR(tag_, key, &r), 0);
  EXPECT_EQ(r, 5u);
  EXPECT_EQ(XBDMKNEXT(tag_, key, &r), XB_KEY_EDGE);
  // Deleting the current key: next goes on from where it was.
  std::strcpy(key, "B");
  ASSERT_EQ(XBDMKFIND(tag_, key, &r, 0), 0);
  ASSERT_EQ(XBDMKDEL(tag_, "B", 6), XB_KEY_NOT_FOUND);
  ASSERT_EQ(XBDMKDEL(tag_, "B", 7), 0);
  EXPECT_EQ(XBDMKCUR(tag_, key, &r), XB_KEY_NOT_FOUND);
  ASSERT_EQ(XBDMKNEXT(tag_, key, &r), 0);
  EXPECT_STREQ(key, "C         ");
  EXPECT_EQ(r, 5u);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, DescendingAndUniqueAndDates) {
  OneTag("D", XB_MDX_DESCENDING, 0);
  std::string k(8, '\0');
  ASSERT_EQ(XBDMKDATE(k.data(), "19960301", 4), 0);
  EXPECT_EQ(k, MdxDay(2450144));
  ASSERT_EQ(XBDMKADD(tag_, k.data(), 1), 0);
  ASSERT_EQ(XBDMKDATE(k.data(), "19970101", 4), 0);
  EXPECT_EQ(k, MdxDay(2450450));
  ASSERT_EQ(XBDMKADD(tag_, k.data(), 2), 0);
  ASSERT_EQ(XBDMKDATE(k.data(), "", 4), 0);
  EXPECT_EQ(k, MdxDay(1.0E100));
  ASSERT_EQ(XBDMKADD(tag_, k.data(), 3), 0);
  XBSTATUS last = 0;
  std::vector<MdxEntry> walk = MdxWalk(tag_, 8, true, &last);
  ASSERT_EQ(walk.size(), 3u);
  EXPECT_EQ(walk[0].record, 3u);  // the blank date is the greatest
  EXPECT_EQ(walk[1].record, 2u);
  EXPECT_EQ(walk[2].record, 1u);
  ASSERT_EQ(XBDMCLOSE(file_), 0);

  OneTag("C", XB_MDX_UNIQUE, 4);
  ASSERT_EQ(XBDMKADD(tag_, "AA", 5), 0);
  ASSERT_EQ(XBDMKADD(tag_, "AA", 3), 0);  // a duplicate goes in unreported
  ASSERT_EQ(XBDMKADD(tag_, "BB", 4), 0);
  walk = MdxWalk(tag_, 4, true, &last);
  ASSERT_EQ(walk.size(), 3u);
  EXPECT_EQ(walk[2].record, 4u);
  // Next from either of the equal keys moves on: no endless walk.
  ASSERT_EQ(XBDMKDEL(tag_, "AA", 999), 0);  // by key alone
  walk = MdxWalk(tag_, 4, true, &last);
  EXPECT_EQ(walk.size(), 2u);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

TEST_F(MdxEdge, ReadOnlyRefusesChanges) {
  OneTag("C", 0, 8);
  ASSERT_EQ(XBDMKADD(tag_, "X", 1), 0);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), XB_OPEN_READONLY), 0);
  ASSERT_EQ(XBDMTUSE(&tag_, file_, "T"), 0);
  EXPECT_EQ(XBDMKADD(tag_, "Y", 2), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(XBDMKDEL(tag_, "X", 1), XB_E_READONLY);
  XBESCODE(0);
  EXPECT_EQ(XBDMTNEW(file_, "U", 'C', "A", 3), XB_E_READONLY);
  XBESCODE(0);
  XBMDXINFO info{};
  ASSERT_EQ(XBDMINFO(file_, &info), 0);
  EXPECT_EQ(info.openFlags & 1, 1);
  char key[9];
  uint32_t r = 0;
  ASSERT_EQ(XBDMKTOP(tag_, key, &r), 0);
  EXPECT_EQ(r, 1u);
  // XBDTERM (fixture teardown) closes the file still open.
}

// Header checks of a tag, each on a copy of a good file.
TEST_F(MdxEdge, TagHeaderChecks) {
  OneTag("C", 0, 10);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
  const std::string good = ReadAll(path_);
  struct Case {
    size_t at;
    uint32_t value;
    int width;
    XBSTATUS code;
  };
  const size_t h = 4 * 512;
  const Case cases[] = {
      {h + 12, 0, 2, XB_E_KEY_LENGTH},    {h + 12, 101, 2, XB_E_KEY_LENGTH},
      {h + 18, 15, 2, XB_E_ENTRY_SIZE},   {h + 0, 3, 4, XB_E_ROOT},
      {h + 0, 6, 4, XB_E_ROOT},           {h + 14, 100, 2, XB_E_KEYS_PER_PAGE},
      {h + 14, 1, 2, XB_E_KEYS_PER_PAGE}, {h + 24, 0, 1, XB_E_EXPRESSION},
      {h + 8, 0x01, 1, XB_E_KEY_FLAGS},   {h + 8, 0x80, 1, XB_E_KEY_FLAGS},
      {h + 9, 'L', 1, XB_E_KEY_TYPE},     {h + 16, 2, 2, XB_E_KEY_TYPE},
      {h + 9, 'N', 1, XB_E_KEY_LENGTH},   {512 + 32, 400, 4, XB_E_SEEK},
  };
  for (const Case& c : cases) {
    std::string b = good;
    if (c.width == 1) b[c.at] = static_cast<char>(c.value);
    if (c.width == 2) Put16(b, c.at, static_cast<uint16_t>(c.value));
    if (c.width == 4) Put32(b, c.at, c.value);
    WriteAll(path_, b);
    ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
    EXPECT_EQ(XBDMTUSE(&tag_, file_, "T"), c.code) << "offset " << c.at;
    XBESCODE(0);
    ASSERT_EQ(XBDMCLOSE(file_), 0);
  }
  // L + 4 is accepted as an entry size (L 12 rounds to itself).
  std::string b = good;
  Put16(b, h + 12, 12);
  Put16(b, h + 18, 16);
  WriteAll(path_, b);
  ASSERT_EQ(XBDMOPENX(&file_, path_.c_str(), 0), 0);
  EXPECT_EQ(XBDMTUSE(&tag_, file_, "T"), 0);
  ASSERT_EQ(XBDMCLOSE(file_), 0);
}

}  // namespace
}  // namespace kvtest
