// NTX key forms: numeric keys as fixed-width text with the 0x5C - c form of
// negatives, date keys as yyyymmdd, and keys made from records through the
// index's expression.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

class NtxKeys : public EngineTest {
 protected:
  XBHANDLE Numeric(uint16_t L, uint16_t decimals, const char* name = "n.ntx") {
    const std::string path = File(name);
    EXPECT_EQ(XBDCCREATE(path.c_str(), 'N', "AMOUNT", L, decimals), 0);
    XBHANDLE h = XB_NO_HANDLE;
    EXPECT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
    return h;
  }
  static std::string Key(XBHANDLE h, double value) {
    char key[64];
    std::memset(key, 0x7F, sizeof key);
    EXPECT_EQ(XBDCKNUM(h, key, value), 0);
    return std::string(key);
  }
};

TEST_F(NtxKeys, NumericKeyOfSizeSixWithTwoDecimals) {
  XBHANDLE h = Numeric(6, 2);
  EXPECT_EQ(Key(h, 12.5), "012.50");
  // -12.50: the five characters after the minus, digits as 0x5C - c.
  const std::string negative = Key(h, -12.5);
  ASSERT_EQ(negative.size(), 5u);
  EXPECT_EQ(negative, std::string({0x5C - '1', 0x5C - '2', '.', 0x5C - '5', 0x5C - '0'}));
  EXPECT_EQ(negative, "+*.',");
  EXPECT_EQ(Key(h, 0), "000.00");
  EXPECT_EQ(Key(h, 999.99), "999.99");
  EXPECT_EQ(Key(h, 0.004), "000.00");
  EXPECT_EQ(Key(h, -1.5), ",+.',");    // -01.50
  EXPECT_EQ(Key(h, -0.001), ",,.,,");  // "-00.00": printf keeps the sign
  // Wider than the key: the first characters that fit.
  EXPECT_EQ(Key(h, 12345.678), "12345.");
  EXPECT_EQ(Key(h, -12345.6), "+*)(\'");
  EXPECT_EQ(XBDCKNUM(h, nullptr, 1.0), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDCCLOSE(h), 0);
  XBHANDLE whole = Numeric(4, 0, "w.ntx");
  EXPECT_EQ(Key(whole, 7), "0007");
  EXPECT_EQ(Key(whole, 7.5), "0008");  // rounded as printf rounds
  EXPECT_EQ(Key(whole, -7), ",,%");
  EXPECT_EQ(XBDCCLOSE(whole), 0);
}

TEST_F(NtxKeys, NegativeKeysSortBeforePositivesAndByValue) {
  XBHANDLE h = Numeric(8, 2);
  std::vector<double> values = {-9999.99, -1000, -12.6, -12.5, -12.4, -1.5, -0.5,
                                0,        0.25,  1.5,   12.5,  99.99, 1000, 12345.67};
  std::vector<size_t> order(values.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(5));
  for (size_t i : order) {
    ASSERT_EQ(XBDCKADD(h, Key(h, values[i]).c_str(), static_cast<uint32_t>(i + 1)), 0);
  }
  XBSTATUS last = 0;
  const auto walk = NtxWalkForward(h, 8, &last);
  ASSERT_EQ(walk.size(), values.size());
  for (size_t i = 0; i < walk.size(); ++i) EXPECT_EQ(walk[i].record, i + 1) << values[i];
  // A negative key is stored padded with one blank.
  EXPECT_EQ(walk[3].key, Key(h, -12.5) + " ");
  // Finding a negative number by its key.
  std::string key = Key(h, -12.5);
  key.resize(9, '\0');
  uint32_t r = 0;
  EXPECT_EQ(XBDCKFIND(h, key.data(), &r, 0), 0);
  EXPECT_EQ(r, 4u);
  EXPECT_EQ(XBDCCLOSE(h), 0);
}

TEST_F(NtxKeys, DateKeys) {
  char key[16];
  std::memset(key, 0x7F, sizeof key);
  EXPECT_EQ(XBDCKDATE(key, "19960301", 4), 0);
  EXPECT_STREQ(key, "19960301");
  EXPECT_EQ(XBDCKDATE(key, "01.03.1996", 7), 0);
  EXPECT_STREQ(key, "19960301");
  EXPECT_EQ(XBDCKDATE(key, "12/31/1999", 2), 0);
  EXPECT_STREQ(key, "19991231");
  std::memset(key, 0x7F, sizeof key);
  EXPECT_EQ(XBDCKDATE(key, "", 4), 0);
  EXPECT_EQ(std::string(key, 9), std::string("        ") + '\0');
  EXPECT_EQ(XBDCKDATE(key, "19960230", 4), -15);
  EXPECT_EQ(XBDCKDATE(key, "19960301", 4), -15);  // checks the prior error
  XBESCODE(0);
  EXPECT_EQ(XBDCKDATE(nullptr, "19960301", 4), -21);
  XBESCODE(0);
  EXPECT_EQ(XBDCKDATE(key, nullptr, 4), -21);
  XBESCODE(0);
}

TEST_F(NtxKeys, KeysFromRecords) {
  DbfBuilder dbf;
  dbf.Field("NAME", 'C', 10).Field("AMOUNT", 'N', 8, 2).Field("BIRTH", 'D', 8).Field("OK", 'L', 1);
  dbf.Row({"Smith", "   12.50", "19960301", "T"});
  dbf.Row({"Jones", "   -3.00", "        ", "F"});
  const std::string dataPath = File("people.dbf");
  DbfBuilder::WriteFile(dataPath, dbf.Bytes());
  XBHANDLE data = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&data, dataPath.c_str(), 0), 0);
  struct Index {
    const char* file;
    char type;
    const char* expression;
    uint16_t L, decimals;
    XBHANDLE h;
  } indexes[] = {{"name.ntx", 'C', "name + left(name, 2)", 12, 0, 0},
                 {"amount.ntx", 'N', "amount", 8, 2, 0},
                 {"birth.ntx", 'D', "birth", 8, 0, 0},
                 {"ok.ntx", 'C', "ok", 1, 0, 0}};
  for (auto& ix : indexes) {
    const std::string path = File(ix.file);
    ASSERT_EQ(
        XBDCCREATE(path.c_str(), static_cast<uint16_t>(ix.type), ix.expression, ix.L, ix.decimals),
        0);
    ASSERT_EQ(XBDCOPENX(&ix.h, path.c_str(), 0), 0);
  }
  const char* names[] = {"Smith     Sm", "Jones     Jo"};
  const char* amounts[] = {"00012.50", ",,,).,,"};  // -3.00 as -0003.00
  const char* births[] = {"19960301", "        "};
  for (uint32_t rec = 1; rec <= 2; ++rec) {
    ASSERT_EQ(XBDDRGET(data, rec), 0);
    void* key = nullptr;
    ASSERT_EQ(XBDCKMAKE(data, indexes[0].h, &key), 0);
    EXPECT_STREQ(static_cast<char*>(key), names[rec - 1]);
    ASSERT_EQ(XBDCKADD(indexes[0].h, key, rec), 0);
    EXPECT_EQ(XBMFREE(key), 0);
    ASSERT_EQ(XBDCKMAKE(data, indexes[1].h, &key), 0);
    EXPECT_STREQ(static_cast<char*>(key), amounts[rec - 1]);
    EXPECT_EQ(XBMFREE(key), 0);
    KVHGLOBAL block = 0;
    ASSERT_EQ(XBDCKMAKEH(data, indexes[2].h, &block), 0);
    void* bytes = nullptr;
    ASSERT_EQ(_XBMLOCK(&bytes, block), 0);
    EXPECT_STREQ(static_cast<char*>(bytes), births[rec - 1]);
    EXPECT_EQ(_XBMFREE(block), 0);
    KVHGLOBAL failed = 0;
    EXPECT_EQ(XBDCKMAKEH(data, indexes[3].h, &failed), -7);  // a logical key has no form
    EXPECT_EQ(failed, static_cast<KVHGLOBAL>(-1));
    XBESCODE(0);
  }
  void* key = nullptr;
  EXPECT_EQ(XBDCKMAKE(indexes[0].h, indexes[0].h, &key), -13);
  XBESCODE(0);
  EXPECT_EQ(XBDCKMAKE(data, indexes[0].h, nullptr), -21);
  XBESCODE(0);
  char found[16] = "Jo";
  uint32_t r = 0;
  EXPECT_EQ(XBDCKFIND(indexes[0].h, found, &r, 0), 0);
  EXPECT_EQ(r, 2u);
  for (auto& ix : indexes) EXPECT_EQ(XBDCCLOSE(ix.h), 0);
  EXPECT_EQ(XBDDCLOSE(data), 0);
}

}  // namespace
}  // namespace kvtest
