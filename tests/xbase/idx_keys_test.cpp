// IDX keys built by the engine from records: character keys as produced,
// numeric and date keys in the ordered big-endian form (an empty date before
// every other), logical keys as one byte; the handles must be a data file and
// an IDX index.
#include <gtest/gtest.h>

#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "tests/xbase/idx_support.h"

namespace kvtest {
namespace {

class IdxKeys : public EngineTest {};

TEST_F(IdxKeys, KeysFromRecords) {
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
    uint16_t type;
    const char* expression;
    uint16_t length;
    XBHANDLE h;
  } ix[] = {{"name.idx", 'C' | XB_IDX_COMPACT, "name + left(name, 2)", 12, XB_NO_HANDLE},
            {"amount.idx", 'N', "amount", 8, XB_NO_HANDLE},
            {"birth.idx", 'D' | XB_IDX_COMPACT, "birth", 8, XB_NO_HANDLE},
            {"ok.idx", 'L', "ok", 1, XB_NO_HANDLE}};
  for (auto& i : ix) {
    ASSERT_EQ(XBDICREATE(File(i.file).c_str(), i.type, i.expression, i.length), 0);
    ASSERT_EQ(XBDIOPENX(&i.h, File(i.file).c_str(), 0), 0);
    ASSERT_EQ(XBDIKTYPE(i.h, i.type & 0x7F), 0);
  }
  char expression[256] = {};
  ASSERT_EQ(XBDIEXPR(ix[0].h, expression), 0);
  EXPECT_STREQ(expression, "NAME+LEFT(NAME,2)");
  for (uint32_t rec = 1; rec <= 2; ++rec) {
    ASSERT_EQ(XBDDRGET(data, rec), 0);
    void* key = nullptr;
    ASSERT_EQ(XBDIKMAKE(data, ix[0].h, &key), 0);
    EXPECT_STREQ(static_cast<char*>(key), rec == 1 ? "Smith     Sm" : "Jones     Jo");
    ASSERT_EQ(XBDIKADD(ix[0].h, key, rec), 0);
    EXPECT_EQ(XBMFREE(key), 0);
    ASSERT_EQ(XBDIKMAKE(data, ix[1].h, &key), 0);
    EXPECT_EQ(std::string(static_cast<char*>(key), 8), IdxNumber(rec == 1 ? 12.5 : -3.0));
    ASSERT_EQ(XBDIKADD(ix[1].h, key, rec), 0);
    EXPECT_EQ(XBMFREE(key), 0);
    KVHGLOBAL block = 0;
    ASSERT_EQ(XBDIKMAKEH(data, ix[2].h, &block), 0);
    void* bytes = nullptr;
    ASSERT_EQ(_XBMLOCK(&bytes, block), 0);
    const std::string date(static_cast<char*>(bytes), 8);
    EXPECT_EQ(date, rec == 1 ? IdxNumber(2450144.0) : std::string("\x80\0\0\0\0\0\0\0", 8));
    ASSERT_EQ(XBDIKADD(ix[2].h, date.data(), rec), 0);
    EXPECT_EQ(_XBMFREE(block), 0);
    ASSERT_EQ(XBDIKMAKE(data, ix[3].h, &key), 0);
    ASSERT_EQ(XBDIKADD(ix[3].h, key, rec), 0);
    EXPECT_EQ(XBMFREE(key), 0);
  }
  void* key = nullptr;
  EXPECT_EQ(XBDIKMAKE(ix[0].h, ix[0].h, &key), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(XBDIKMAKE(data, data, &key), XB_E_HANDLE);
  XBESCODE(0);
  // Numbers and dates come back in their order: -3 before 12.5, the empty
  // date before 1996-03-01; the logical F before T.
  const uint32_t firsts[] = {2, 2, 2, 2};
  for (int i = 0; i < 4; ++i) {
    char out[16];
    uint32_t r = 0;
    ASSERT_EQ(XBDIKTOP(ix[i].h, out, &r), 0);
    EXPECT_EQ(r, firsts[i]) << ix[i].file;
    EXPECT_EQ(XBDICLOSE(ix[i].h), 0);
  }
  EXPECT_EQ(XBDDCLOSE(data), 0);
}

}  // namespace
}  // namespace kvtest
