// The NTX layout at its edges: the header and empty root a new file gets,
// item size, M and half page for several key lengths, the header checks at
// open with their codes, and what the creation refuses.
#include <gtest/gtest.h>

#include <cstddef>

#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxEdge : public EngineTest {
 protected:
  // A character index of key size 10 holding `count` keys "K0000".. .
  std::string Filled(int count, uint16_t L = 10) {
    const std::string path = File("filled.ntx");
    EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', "name", L, 0), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    for (int i = 0; i < count; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "K%04d", i);
      EXPECT_EQ(XBDCKADD(h, key, static_cast<uint32_t>(i + 1)), 0);
    }
    EXPECT_EQ(XBDCCLOSE(h), 0);
    return path;
  }
  XBSTATUS OpenStatus(const std::vector<uint8_t>& bytes) {
    const std::string path = File("probe.ntx");
    WriteBytes(path, bytes);
    XBHANDLE h = XB_NO_HANDLE;
    const XBSTATUS s = XBDCOPENX(&h, path.c_str(), 0);
    if (s >= 0) {
      EXPECT_EQ(XBDCCLOSE(h), 0);
    }
    if (s < 0) {
      EXPECT_EQ(h, XB_NO_HANDLE);
      XBESCODE(0);
    }
    return s;
  }
};

TEST_F(NtxEdge, NewCharacterIndexOfKeySizeTen) {
  const std::string path = File("new.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'c' | XB_NTX_UNIQUE, "upper( name ) + city", 10, 0), 0);
  const auto b = ReadBytes(path);
  ASSERT_EQ(b.size(), 2048u);
  EXPECT_EQ(Get16(b, 0), 6);
  EXPECT_EQ(Get16(b, 2), 1);
  EXPECT_EQ(Get32(b, 4), 1024u);  // root
  EXPECT_EQ(Get32(b, 8), 0u);     // no free page
  EXPECT_EQ(Get16(b, 12), 18);    // item size
  EXPECT_EQ(Get16(b, 14), 10);
  EXPECT_EQ(Get16(b, 16), 0);
  EXPECT_EQ(Get16(b, 18), 50);  // M
  EXPECT_EQ(Get16(b, 20), 25);  // half page
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[22])), "UPPER(NAME)+CITY");
  EXPECT_EQ(b[278], 1);
  for (size_t i = 279; i < 1024; ++i) ASSERT_EQ(b[i], 0) << "header byte " << i;
  // The empty root: count 0, item 0 at offset 104, the 51 slots in order.
  EXPECT_EQ(Get16(b, 1024), 0);
  EXPECT_EQ(Get16(b, 1024 + 2), 104);
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(Get16(b, 1024 + 2 + 2 * i), 104 + 18 * i) << i;
  const auto check = CheckNtxFile(path);
  EXPECT_EQ(check.error, "");
  EXPECT_TRUE(check.unique);

  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  char key[16] = "A";
  uint32_t r = 0;
  EXPECT_EQ(XBDCKTOP(h, key, &r), 2);
  EXPECT_EQ(XBDCKBOT(h, key, &r), 2);
  EXPECT_EQ(XBDCKFIND(h, key, &r, 0), 2);
  EXPECT_EQ(XBDCKNEXT(h, key, &r), 4);  // no current key
  EXPECT_EQ(XBDCKDEL(h, "A", 1), 2);
  char text[300] = {};
  EXPECT_EQ(XBDCEXPR(h, text), 0);
  EXPECT_STREQ(text, "UPPER(NAME)+CITY");
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxEdge, ItemSizeMaxItemsAndHalfPageByKeyLength) {
  // L: item size L + 8; M = floor(1020 / (L + 10)) - 1 rounded down to even.
  struct Case {
    char type;
    uint16_t L;
    uint16_t decimals;
    uint16_t storedL, item, M, half, firstItem;
  };
  const Case cases[] = {
      {'C', 1, 0, 1, 9, 90, 45, 184},    {'C', 10, 0, 10, 18, 50, 25, 104},
      {'C', 100, 0, 100, 108, 8, 4, 20}, {'C', 40, 0, 40, 48, 18, 9, 40},
      {'N', 19, 4, 19, 27, 34, 17, 72},  {'D', 3, 0, 8, 16, 54, 27, 112},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.type) + std::to_string(c.L));
    const std::string path = File("sizes.ntx");
    ASSERT_EQ(XBDCCREATE(path.c_str(), static_cast<uint16_t>(c.type), "F", c.L, c.decimals), 0);
    const auto b = ReadBytes(path);
    EXPECT_EQ(Get16(b, 14), c.storedL);
    EXPECT_EQ(Get16(b, 12), c.item);
    EXPECT_EQ(Get16(b, 18), c.M);
    EXPECT_EQ(Get16(b, 20), c.half);
    EXPECT_EQ(Get16(b, 16), c.type == 'D' ? 0 : c.decimals);
    EXPECT_EQ(Get16(b, 1024 + 2), c.firstItem);
    EXPECT_EQ(Get16(b, 1024 + 2 + 2 * c.M), c.firstItem + c.M * c.item);
    // The offset table and M + 1 items fit in the page.
    EXPECT_LE(c.firstItem + (c.M + 1) * c.item, 1024);
    EXPECT_EQ(CheckNtxFile(path).error, "");
  }
}

TEST_F(NtxEdge, CreationRefusesBadArguments) {
  const std::string path = File("bad.ntx");
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', "F", 0, 0), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', "F", 101, 0), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 20, 0), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 0, 0), -23);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 19, 16), -30);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 6, 5), -30);  // no room for "0."
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 6, 4), 0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "F", 1, 0), 0);  // one digit
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'L', "F", 1, 0), -22);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', "   ", 10, 0), -7);
  XBESCODE(0);
  const std::string longest(256, 'A');
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', (longest + "   ").c_str(), 10, 0), 0);
  auto b = ReadBytes(path);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[22]), 256), longest);
  EXPECT_EQ(b[278], 0);  // the unique flag follows the 256 characters
  EXPECT_EQ(XBDCCREATE(path.c_str(), 'C', (longest + "B").c_str(), 10, 0), -7);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE(nullptr, 'C', "F", 10, 0), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDCCREATE("", 'C', "F", 10, 0), -14);
  XBESCODE(0);
  // A 256-character expression opens and reads back whole.
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', longest.c_str(), 10, 0), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  char text[300] = {};
  EXPECT_EQ(XBDCEXPR(h, text), 0);
  EXPECT_EQ(std::string(text), longest);
  XBNTXINFO info;
  EXPECT_EQ(XBDCINFO(h, &info), 0);
  EXPECT_EQ(static_cast<int>(info.expressionLength), 256);
  EXPECT_EQ(std::string(info.expression), longest.substr(0, 99));
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxEdge, HeaderChecksAtOpenInTheirOrder) {
  const std::string good = Filled(120);
  const auto b = ReadBytes(good);
  ASSERT_GT(b.size(), 4096u);
  EXPECT_EQ(OpenStatus(b), 0);
  auto v = b;
  Put16(v, 14, 0);
  EXPECT_EQ(OpenStatus(v), -23);
  Put16(v, 14, 101);
  Put16(v, 12, 109);
  EXPECT_EQ(OpenStatus(v), -23);  // the key length is checked first
  v = b;
  Put16(v, 12, 19);
  Put32(v, 4, 1000);  // two faults: the item size is reported
  EXPECT_EQ(OpenStatus(v), -24);
  // Root offsets: not a multiple of 1024, zero, the file size, beyond.
  for (uint32_t root : {1000u, 0u, 1023u, 1025u, static_cast<uint32_t>(b.size()),
                        static_cast<uint32_t>(b.size() + 1024), 0xFFFFFC00u}) {
    v = b;
    Put32(v, 4, root);
    EXPECT_EQ(OpenStatus(v), -25) << root;
  }
  v = b;
  Put32(v, 4, static_cast<uint32_t>(b.size() - 1024));  // the last page: valid
  EXPECT_EQ(OpenStatus(v), 0);
  v = b;
  Put16(v, 18, 51);
  EXPECT_EQ(OpenStatus(v), -26);
  Put16(v, 18, 48);
  EXPECT_EQ(OpenStatus(v), -26);
  v = b;
  Put16(v, 20, 24);
  EXPECT_EQ(OpenStatus(v), -44);
  v = b;
  v[22] = 0;
  EXPECT_EQ(OpenStatus(v), -7);
  v[22] = ' ';
  v[23] = 0;
  EXPECT_EQ(OpenStatus(v), -7);  // blanks only
  // A size that is not a multiple of 1024 opens with 7.
  v = b;
  v.resize(v.size() + 100, 0);
  EXPECT_EQ(OpenStatus(v), 7);
  v = b;
  v.resize(100);
  EXPECT_EQ(OpenStatus(v), -2);
}

TEST_F(NtxEdge, RealWorldHeaderFieldsAreIgnored) {
  // An update counter at offset 2, another signature, a FOR expression at
  // 282 and a tag name at 538.
  const std::string path = Filled(200);
  auto b = ReadBytes(path);
  Put16(b, 0, 7);
  Put16(b, 2, 0xBEEF);
  const char forText[] = "SALARY > 1000 .AND. !DELETED()";
  std::memcpy(&b[282], forText, sizeof forText);
  std::memcpy(&b[538], "BYNAME", 7);
  WriteBytes(path, b);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDCKADD(h, "K0100x", 999), 0);
  ASSERT_EQ(XBDCKDEL(h, "K0100", 101), 0);
  XBSTATUS last = 0;
  const auto walk = NtxWalkForward(h, 10, &last);
  EXPECT_EQ(last, 3);
  EXPECT_EQ(walk.size(), 200u);
  char text[300] = {};
  EXPECT_EQ(XBDCEXPR(h, text), 0);
  EXPECT_STREQ(text, "NAME");
  EXPECT_EQ(XBDCCLOSE(h), 0);
  const auto after = ReadBytes(path);
  EXPECT_EQ(Get16(after, 2), 0xBEEF);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&after[282])), forText);
  EXPECT_EQ(CheckNtxFile(path).error, "");
}

TEST_F(NtxEdge, InformationRecord) {
  static_assert(sizeof(XBNTXINFO) == 375);
  static_assert(offsetof(XBNTXINFO, keyType) == 265);
  static_assert(offsetof(XBNTXINFO, unique) == 267);
  static_assert(offsetof(XBNTXINFO, descending) == 268);
  static_assert(offsetof(XBNTXINFO, decimals) == 269);
  static_assert(offsetof(XBNTXINFO, lockState) == 271);
  static_assert(offsetof(XBNTXINFO, expressionLength) == 273);
  static_assert(offsetof(XBNTXINFO, expression) == 275);
  const std::string path = File("info.ntx");
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'N' | XB_NTX_UNIQUE, "descend(amount)", 12, 3), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), XB_OPEN_READONLY), 0);
  XBNTXINFO info;
  std::memset(&info, 0x55, sizeof info);
  ASSERT_EQ(XBDCINFO(h, &info), 0);
  EXPECT_EQ(std::string(info.fileName), path);
  EXPECT_EQ(static_cast<int>(info.openFlags & 1), 1);
  EXPECT_EQ(static_cast<int>(info.keyLength), 12);
  EXPECT_EQ(static_cast<int>(info.keyType), '?');
  EXPECT_EQ(static_cast<int>(info.unique), 128);
  EXPECT_EQ(static_cast<int>(info.descending), 1);
  EXPECT_EQ(static_cast<int>(info.decimals), 3);
  EXPECT_EQ(static_cast<int>(info.lockState), 0);
  EXPECT_EQ(static_cast<int>(info.expressionLength), 15);
  EXPECT_STREQ(info.expression, "DESCEND(AMOUNT)");
  // Read-only: no key may be added or deleted.
  EXPECT_EQ(XBDCKADD(h, "1", 1), -36);
  XBESCODE(0);
  EXPECT_EQ(XBDCKDEL(h, "1", 1), -36);
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
  ASSERT_EQ(XBDCCREATE(path.c_str(), 'C', "name", 12, 0), 0);
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDCINFO(h, &info), 0);
  EXPECT_EQ(static_cast<int>(info.unique), 0);
  EXPECT_EQ(static_cast<int>(info.descending), 0);
  EXPECT_EQ(static_cast<int>(info.openFlags & 1), 0);
  EXPECT_EQ(XBDCINFO(h, nullptr), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxEdge, HandlesOfOtherFamiliesAreRefused) {
  const std::string ndx = File("other.ndx");
  ASSERT_EQ(XBDNCREATE(ndx.c_str(), 'C', "name", 10), 0);
  XBHANDLE n = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&n, ndx.c_str(), 0), 0);
  char key[16] = "A";
  uint32_t r = 0;
  EXPECT_EQ(XBDCKADD(n, "A", 1), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDCKFIND(n, key, &r, 0), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDCKNUM(n, key, 1.0), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(n), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDNCLOSE(n), 0);
  EXPECT_EQ(XBDCCLOSE(77), -13);
  XBESCODE(0);
}

TEST_F(NtxEdge, UnclosedHandlesAreClosedAtTheEnd) {
  // XBDTERM in the fixture closes this handle (and frees its memory).
  const std::string path = Filled(10);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDCKADD(h, "Z", 11), 0);
  // A quick close and the next call reopens the file.
  ASSERT_EQ(XBDQCLOSE(), 0);
  char key[16];
  uint32_t r = 0;
  EXPECT_EQ(XBDCKBOT(h, key, &r), 0);
  EXPECT_EQ(r, 11u);
}

}  // namespace
}  // namespace kvtest
