// Key comparison of every type, the collating order, numeric and date keys,
// and keys made from records through the index's expression.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "platform/kernel/memory.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/ndx_support.h"
#include "xbase/index/frame/collating_table.h"

namespace kvtest {
namespace {

int16_t Cmp(const std::string& a, const std::string& b, int16_t type) {
  return _XBDNKCMP(a.data(), b.data(), type, static_cast<int16_t>(a.size()));
}

int Sign(int v) {
  return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

std::string Float(float f) {
  std::string k(4, '\0');
  std::memcpy(k.data(), &f, 4);
  return k;
}

std::string Int32(int32_t v) {
  std::string k(4, '\0');
  for (int i = 0; i < 4; ++i) k[i] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  return k;
}

class NdxKeys : public EngineTest {
 protected:
  void UseCollatingOrder() {
    XBDTERM();
    std::ofstream ini(profileDir_.File("KVDB4XX.INI"));
    ini << "[sort]\nasciisort=0\n";
    ini.close();
    ASSERT_EQ(XBDINIT(100, 4), 0);
  }
};

TEST_F(NdxKeys, CollatingTableHas130DistinctBytes) {
  const uint8_t* order = kv::xb::index::CollatingOrder();
  std::set<uint8_t> seen(order, order + kv::xb::index::kCollatingSize);
  EXPECT_EQ(seen.size(), 130u);
  EXPECT_EQ(seen.count(0), 0u);
  EXPECT_EQ(order[0], ' ');
  EXPECT_EQ(order[129], 0xA8);
}

TEST_F(NdxKeys, CharacterOrderByBytesAndByTable) {
  // Byte order (the default): 'E' < 'F' < 'a' < 0xC9.
  EXPECT_EQ(Cmp("a", "Z", 0), 1);
  EXPECT_EQ(Cmp("\xC9", "F", 0), 1);
  EXPECT_EQ(Cmp("AB", "AB", 0), 0);
  EXPECT_EQ(Cmp("\x01", "\x02", 0), -1);
  UseCollatingOrder();
  EXPECT_EQ(Cmp("a", "Z", 0), 1);        // lower case after upper case
  EXPECT_EQ(Cmp("\xC9", "E", 0), 1);     // E acute after E ...
  EXPECT_EQ(Cmp("\xC9", "F", 0), -1);    // ... and before F
  EXPECT_EQ(Cmp("9", "A", 0), -1);       // digits before letters
  EXPECT_EQ(Cmp("z", "(", 0), -1);       // punctuation after letters
  EXPECT_EQ(Cmp("\x01", "\x02", 0), 0);  // neither in the table
  EXPECT_EQ(Cmp("\x01Z", "\x02A", 0), 1);
  EXPECT_EQ(Cmp("A", "\x01", 0), -1);  // bytes in the table first
  EXPECT_EQ(Cmp(" ", "0", 0), -1);
}

TEST_F(NdxKeys, FloatingPointKeys) {
  const double values[] = {-1e100, -3.5, -1.0, -0.25, 0.0, 1e-300, 0.25, 1.0, 2.0, 1e100};
  for (double a : values) {
    for (double b : values) {
      EXPECT_EQ(Sign(Cmp(NumericKey(a), NumericKey(b), 1)), Sign(a < b ? -1 : (a > b ? 1 : 0)))
          << a << " vs " << b;
      const float fa = static_cast<float>(a > 1e30 ? 1e30 : (a < -1e30 ? -1e30 : a));
      const float fb = static_cast<float>(b > 1e30 ? 1e30 : (b < -1e30 ? -1e30 : b));
      EXPECT_EQ(Sign(Cmp(Float(fa), Float(fb), 2)), Sign(fa < fb ? -1 : (fa > fb ? 1 : 0)));
    }
  }
}

TEST_F(NdxKeys, IntegerKeysAndTheRest) {
  const int32_t values[] = {INT32_MIN, -70000, -256, -1, 0, 1, 255, 256, 70000, INT32_MAX};
  for (int32_t a : values) {
    for (int32_t b : values) {
      const int want = a < b ? -1 : (a > b ? 1 : 0);
      EXPECT_EQ(Sign(Cmp(Int32(a), Int32(b), 4)), want) << a << " vs " << b;
      EXPECT_EQ(Sign(Cmp(Int32(a), Int32(b), 6)), want);
      const uint32_t ua = static_cast<uint32_t>(a);
      const uint32_t ub = static_cast<uint32_t>(b);
      EXPECT_EQ(Sign(Cmp(Int32(a), Int32(b), 3)), ua < ub ? -1 : (ua > ub ? 1 : 0));
      EXPECT_EQ(Sign(Cmp(Int32(a), Int32(b), 5)), ua < ub ? -1 : (ua > ub ? 1 : 0));
    }
  }
  // Unsigned types give the difference of the first unequal bytes.
  EXPECT_EQ(Cmp(Int32(0x05000000), Int32(0x02000000), 3), 3);
  EXPECT_EQ(Cmp("A?C", "ABC", 8), 0);
  EXPECT_EQ(Cmp("A?C", "ABD", 8), -1);
  EXPECT_EQ(Cmp("ABC", "A?C", 8), 1);  // only the first key's '?' matches
  EXPECT_EQ(Cmp("AAA", "ZZZ", 7), 0);
  EXPECT_EQ(Cmp("AAA", "ZZZ", 9), 0);
}

TEST_F(NdxKeys, NumericAndDateKeys) {
  char key[8];
  ASSERT_EQ(XBDNKNUM(key, -12.75), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(-12.75));
  ASSERT_EQ(XBDNKDATE(key, "19960301", 4), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(2450144.0));
  ASSERT_EQ(XBDNKDATE(key, "19970101", 4), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(2450450.0));
  ASSERT_EQ(XBDNKDATE(key, "03/01/96", 1), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(2450144.0));
  ASSERT_EQ(XBDNKDATE(key, "", 4), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(1.0E100));
  ASSERT_EQ(XBDNKDATE(key, "20000229", 4), 0);
  EXPECT_EQ(std::string(key, 8), NumericKey(2451604.0));
  EXPECT_EQ(XBDNKDATE(key, "19990230", 4), -15);
  EXPECT_EQ(XBDNKDATE(key, "19990101", 4), -15);  // checks the prior error
  XBESCODE(0);
  EXPECT_EQ(XBDNKDATE(nullptr, "19990101", 4), -21);
  XBESCODE(0);
}

TEST_F(NdxKeys, KeysFromRecords) {
  DbfBuilder dbf;
  dbf.Field("NAME", 'C', 10).Field("AMOUNT", 'N', 8, 2).Field("BIRTH", 'D', 8).Field("OK", 'L', 1);
  dbf.Row({"Smith", "   12.50", "19960301", "T"});
  dbf.Row({"Jones", "   -3.00", "        ", "F"});
  const std::string dataPath = File("people.dbf");
  DbfBuilder::WriteFile(dataPath, dbf.Bytes());
  XBHANDLE data = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&data, dataPath.c_str(), 0), 0);

  const std::string names = File("name.ndx");
  const std::string amounts = File("amount.ndx");
  const std::string births = File("birth.ndx");
  const std::string logical = File("ok.ndx");
  ASSERT_EQ(XBDNCREATE(names.c_str(), 'C', "name + left(name, 2)", 12), 0);
  ASSERT_EQ(XBDNCREATE(amounts.c_str(), 'N', "amount", 8), 0);
  ASSERT_EQ(XBDNCREATE(births.c_str(), 'D', "birth", 8), 0);
  ASSERT_EQ(XBDNCREATE(logical.c_str(), 'C', "ok", 1), 0);
  XBHANDLE n = XB_NO_HANDLE, a = XB_NO_HANDLE, b = XB_NO_HANDLE, l = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&n, names.c_str(), 0), 0);
  ASSERT_EQ(XBDNOPENX(&a, amounts.c_str(), 0), 0);
  ASSERT_EQ(XBDNOPENX(&b, births.c_str(), 0), 0);
  ASSERT_EQ(XBDNOPENX(&l, logical.c_str(), 0), 0);

  for (uint32_t rec = 1; rec <= 2; ++rec) {
    ASSERT_EQ(XBDDRGET(data, rec), 0);
    void* key = nullptr;
    ASSERT_EQ(XBDNKMAKE(data, n, &key), 0);
    EXPECT_STREQ(static_cast<char*>(key), rec == 1 ? "Smith     Sm" : "Jones     Jo");
    ASSERT_EQ(XBDNKADD(n, key, rec), 0);
    EXPECT_EQ(XBMFREE(key), 0);
    ASSERT_EQ(XBDNKMAKE(data, a, &key), 0);
    EXPECT_EQ(std::string(static_cast<char*>(key), 8), NumericKey(rec == 1 ? 12.5 : -3.0));
    EXPECT_EQ(XBMFREE(key), 0);
    KVHGLOBAL block = 0;
    ASSERT_EQ(XBDNKMAKEH(data, b, &block), 0);
    void* bytes = nullptr;
    ASSERT_EQ(_XBMLOCK(&bytes, block), 0);
    EXPECT_EQ(std::string(static_cast<char*>(bytes), 8),
              NumericKey(rec == 1 ? 2450144.0 : 1.0E100));
    EXPECT_EQ(_XBMFREE(block), 0);
    KVHGLOBAL failed = 0;
    EXPECT_EQ(XBDNKMAKEH(data, l, &failed), -7);  // a logical key has no index form
    EXPECT_EQ(failed, static_cast<KVHGLOBAL>(-1));
    XBESCODE(0);
  }
  // The handles must be a data file and an index.
  void* key = nullptr;
  EXPECT_EQ(XBDNKMAKE(n, n, &key), -13);
  XBESCODE(0);
  char found[16] = "Jo";
  uint32_t r = 0;
  EXPECT_EQ(XBDNKFIND(n, found, &r, 0), 0);
  EXPECT_EQ(r, 2u);
  for (XBHANDLE h : {n, a, b, l}) EXPECT_EQ(XBDNCLOSE(h), 0);
  EXPECT_EQ(XBDDCLOSE(data), 0);
}

}  // namespace
}  // namespace kvtest
