// Creating data files: every limit of every variant at its boundary, the
// version bytes, the production flag and the layout of what is written.
#include <gtest/gtest.h>

#include <ctime>
#include <vector>

#include "tests/support/engine_fixture.h"
#include "tests/support/packed.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

class DbfCreate : public EngineTest {
 protected:
  XBSTATUS Create(std::vector<XBFIELDDEF> defs, uint16_t variant) {
    const XBSTATUS s =
        XBDDCREATE(File("t.dbf").c_str(), static_cast<int16_t>(defs.size()), defs.data(), variant);
    last_ = defs;
    XBESCODE(0);
    return s;
  }
  static std::vector<XBFIELDDEF> Many(int count, char type, uint16_t length) {
    std::vector<XBFIELDDEF> defs;
    for (int i = 0; i < count; ++i)
      defs.push_back(Def(("F" + std::to_string(i)).c_str(), type, length));
    return defs;
  }
  std::vector<XBFIELDDEF> last_;
};

struct VariantRow {
  uint16_t variant;
  int maxFields;
  int maxChar;
  int maxNumeric;
  bool cap15;
  bool floatAllowed;
  int maxRecord;
};

// The limits table of the variants, written out once more here.
const VariantRow kRows[] = {
    {1, 128, 254, 19, true, false, 4000},  {2, 255, 254, 20, false, true, 4000},
    {3, 128, 254, 19, true, false, 4000},  {4, 128, 254, 20, false, true, 4000},
    {5, 1023, 254, 19, true, false, 4000}, {6, 1023, 2048, 19, true, false, 8192},
    {7, 512, 254, 19, true, false, 4000},  {8, 255, 254, 20, false, true, 4000},
    {9, 128, 254, 19, true, false, 4000},
};

TEST_F(DbfCreate, ArgumentsAndFieldCount) {
  XBFIELDDEF d = Def("A", 'C', 1);
  EXPECT_EQ(XBDDCREATE(nullptr, 1, &d, 1), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 1, nullptr, 1), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 0, &d, 1), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), -1, &d, 1), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 1, &d, 0), XB_E_FORMAT);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 1, &d, 10), XB_E_FORMAT);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 1, &d, XB_CREATE_PRODUCTION), XB_E_FORMAT);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("t.dbf").c_str(), 1, &d, 0x0101), XB_E_FORMAT);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE("", 1, &d, 1), XB_E_EMPTY_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDDCREATE(File("missing-dir/t.dbf").c_str(), 1, &d, 1), XB_E_OPEN);
}

TEST_F(DbfCreate, EveryVariantLimitAtItsBoundary) {
  for (const VariantRow& row : kRows) {
    SCOPED_TRACE("variant " + std::to_string(row.variant));
    const uint16_t v = row.variant;
    // Field count (one-byte fields keep the record length small).
    EXPECT_EQ(Create(Many(row.maxFields, 'L', 1), v), 0);
    EXPECT_EQ(Create(Many(row.maxFields + 1, 'L', 1), v), XB_E_FIELD_NUMBER);
    // Character length.
    EXPECT_EQ(Create({Def("C", 'C', static_cast<uint16_t>(row.maxChar))}, v), 0);
    EXPECT_EQ(Create({Def("C", 'C', static_cast<uint16_t>(row.maxChar + 1))}, v),
              XB_E_FIELD_LENGTH);
    EXPECT_EQ(Create({Def("C", 'C', 0)}, v), XB_E_FIELD_LENGTH);
    EXPECT_EQ(Create({Def("C", 'C', 1)}, v), 0);
    // Numeric length.
    EXPECT_EQ(Create({Def("N", 'N', static_cast<uint16_t>(row.maxNumeric))}, v), 0);
    EXPECT_EQ(Create({Def("N", 'N', static_cast<uint16_t>(row.maxNumeric + 1))}, v),
              XB_E_FIELD_LENGTH);
    EXPECT_EQ(Create({Def("N", 'N', 0)}, v), XB_E_FIELD_LENGTH);
    EXPECT_EQ(Create({Def("N", 'N', 1)}, v), 0);
    // Decimals: at most length - 2, and 15 where capped.
    EXPECT_EQ(Create({Def("N", 'N', 10, 8)}, v), 0);
    EXPECT_EQ(Create({Def("N", 'N', 10, 9)}, v), XB_E_DECIMALS);
    EXPECT_EQ(Create({Def("N", 'N', 2, 1)}, v), XB_E_DECIMALS);
    EXPECT_EQ(Create({Def("N", 'N', 10, 0xFFFF)}, v), XB_E_DECIMALS);
    const uint16_t wide = static_cast<uint16_t>(row.maxNumeric);
    EXPECT_EQ(Create({Def("N", 'N', wide, 15)}, v), 0);
    EXPECT_EQ(Create({Def("N", 'N', wide, 16)}, v), row.cap15 ? XB_E_DECIMALS : 0);
    EXPECT_EQ(Create({Def("N", 'N', wide, static_cast<uint16_t>(wide - 2))}, v),
              row.cap15 ? XB_E_DECIMALS : 0);
    EXPECT_EQ(Create({Def("N", 'N', wide, static_cast<uint16_t>(wide - 1))}, v), XB_E_DECIMALS);
    // 'F' only where allowed, then checked as 'N'.
    EXPECT_EQ(Create({Def("F", 'F', 10, 2)}, v), row.floatAllowed ? 0 : XB_E_FIELD_TYPE);
    if (row.floatAllowed) {
      EXPECT_EQ(Create({Def("F", 'F', 21, 2)}, v), XB_E_FIELD_LENGTH);
      EXPECT_EQ(Create({Def("F", 'F', 10, 9)}, v), XB_E_DECIMALS);
    }
    // Record length: exactly the limit works, one more byte does not.
    std::vector<XBFIELDDEF> fill;
    int left = row.maxRecord - 1;
    for (int i = 0; left > 0; ++i) {
      const int n = left < row.maxChar ? left : row.maxChar;
      fill.push_back(Def(("C" + std::to_string(i)).c_str(), 'C', static_cast<uint16_t>(n)));
      left -= n;
    }
    EXPECT_EQ(Create(fill, v), 0);
    fill.push_back(Def("X", 'L', 1));
    EXPECT_EQ(Create(fill, v), XB_E_RECORD_LENGTH);
  }
}

TEST_F(DbfCreate, NamesAndTypesAreCheckedAndNormalisedInTheCallersArray) {
  EXPECT_EQ(Create({Def("", 'C', 5)}, 1), XB_E_FIELD_NAME);
  EXPECT_EQ(Create({Def("ABCDEFGHIJK", 'C', 5)}, 1), 0);  // 11 characters
  XBFIELDDEF twelve = Def("A", 'C', 5);
  std::memset(twelve.name, 'B', sizeof twelve.name);  // no NUL at all
  EXPECT_EQ(Create({twelve}, 1), XB_E_FIELD_NAME);
  EXPECT_EQ(Create({Def("A", 'X', 5)}, 1), XB_E_FIELD_TYPE);
  XBFIELDDEF wideType = Def("A", 'C', 5);
  wideType.type = 0x0143;  // 'C' in the low byte only
  EXPECT_EQ(Create({wideType}, 1), XB_E_FIELD_TYPE);
  // A failure in a later field: the earlier ones were already normalised.
  EXPECT_EQ(Create({Def("first", 'c', 5, 3), Def("B", 'Q', 1)}, 1), XB_E_FIELD_TYPE);
  EXPECT_STREQ(last_[0].name, "FIRST");

  ASSERT_EQ(Create({Def("name", 'c', 5, 3), Def("born", 'd', 99, 4), Def("ok", 'l', 7, 7),
                    Def("text", 'm', 0, 2), Def("qty", 'n', 6, 2)},
                   1),
            0);
  EXPECT_STREQ(last_[0].name, "NAME");
  EXPECT_EQ(V(last_[0].type), 'C');
  EXPECT_EQ(V(last_[0].decimals), 0);
  EXPECT_EQ(V(last_[1].type), 'D');
  EXPECT_EQ(V(last_[1].length), 8);
  EXPECT_EQ(V(last_[1].decimals), 0);
  EXPECT_EQ(V(last_[2].length), 1);
  EXPECT_EQ(V(last_[2].decimals), 0);
  EXPECT_EQ(V(last_[3].type), 'M');
  EXPECT_EQ(V(last_[3].length), 10);
  EXPECT_EQ(V(last_[3].decimals), 0);
  EXPECT_EQ(V(last_[4].length), 6);
  EXPECT_EQ(V(last_[4].decimals), 2);

  // The file reads back with exactly these definitions.
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), 1), 0);
  uint16_t longest = 0;
  XBFIELDDEF read[5];
  ASSERT_EQ(XBDDFINFO(h, &longest, read), 0);
  EXPECT_EQ(longest, 10);
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(read[i].name, last_[i].name);
    EXPECT_EQ(V(read[i].type), V(last_[i].type));
    EXPECT_EQ(V(read[i].length), V(last_[i].length));
    EXPECT_EQ(V(read[i].decimals), V(last_[i].decimals));
  }
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(DbfCreate, VersionBytesByVariantAndMemo) {
  const uint8_t withMemo[10] = {0, 0x83, 0x8B, 0x83, 0xF5, 0x83, 0x83, 0x83, 0xF5, 0x83};
  for (uint16_t v = 1; v <= 9; ++v) {
    SCOPED_TRACE("variant " + std::to_string(v));
    ASSERT_EQ(Create({Def("A", 'C', 4)}, v), 0);
    EXPECT_EQ(static_cast<uint8_t>(Slurp(File("t.dbf"))[0]), 0x03);
    ASSERT_EQ(Create({Def("A", 'C', 4), Def("M", 'M', 10)}, v), 0);
    EXPECT_EQ(static_cast<uint8_t>(Slurp(File("t.dbf"))[0]), withMemo[v]);
    // Our own open takes every file we create, in its variant.
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), v), 0);
    XBFILEINFO info{};
    ASSERT_EQ(XBDDINFO(h, &info), 0);
    EXPECT_EQ(V(info.variant), v);
    EXPECT_EQ(V(info.hasMemo), 1);
    EXPECT_EQ(XBDDCLOSE(h), 0);
  }
}

TEST_F(DbfCreate, ProductionFlagFromBit0x200) {
  ASSERT_EQ(Create({Def("A", 'C', 4)}, 2 | XB_CREATE_PRODUCTION), 0);
  EXPECT_EQ(Slurp(File("t.dbf"))[28], 1);
  ASSERT_EQ(Create({Def("A", 'C', 4)}, 2), 0);
  EXPECT_EQ(Slurp(File("t.dbf"))[28], 0);
  ASSERT_EQ(Create({Def("A", 'C', 4)}, 8 | XB_CREATE_PRODUCTION), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), 8), 0);
  XBFILEINFO info{};
  ASSERT_EQ(XBDDINFO(h, &info), 0);
  EXPECT_EQ(V(info.production), 1);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(DbfCreate, HeaderAndDescriptorBytes) {
  ASSERT_EQ(Create({Def("LONGTEXT", 'C', 300), Def("AMOUNT", 'N', 12, 3), Def("WHEN", 'D', 8)}, 6),
            0);
  const std::string b = Slurp(File("t.dbf"));
  const uint16_t headerLength = 32 * 3 + 33;
  ASSERT_EQ(b.size(), headerLength + 1u);
  std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  EXPECT_EQ(static_cast<uint8_t>(b[1]), today.tm_year);
  EXPECT_EQ(static_cast<uint8_t>(b[2]), today.tm_mon + 1);
  EXPECT_EQ(static_cast<uint8_t>(b[3]), today.tm_mday);
  EXPECT_EQ(Le32(b, 4), 0u);
  EXPECT_EQ(Le16(b, 8), headerLength);
  EXPECT_EQ(Le16(b, 10), 1 + 300 + 12 + 8);
  for (size_t i = 12; i < 32; ++i) EXPECT_EQ(b[i], 0) << "header byte " << i;
  // 'C' of 300: low byte 44, high byte 1 in the decimal byte.
  EXPECT_EQ(b.substr(32, 11), std::string("LONGTEXT\0\0\0", 11));
  EXPECT_EQ(b[32 + 11], 'C');
  EXPECT_EQ(static_cast<uint8_t>(b[32 + 16]), 44);
  EXPECT_EQ(b[32 + 17], 1);
  EXPECT_EQ(b[64 + 11], 'N');
  EXPECT_EQ(b[64 + 16], 12);
  EXPECT_EQ(b[64 + 17], 3);
  for (int d = 0; d < 3; ++d) {
    for (int i : {12, 13, 14, 15}) EXPECT_EQ(b[32 + 32 * d + i], 0);
    for (int i = 18; i < 32; ++i) EXPECT_EQ(b[32 + 32 * d + i], 0);
  }
  EXPECT_EQ(b[headerLength - 1], 0x0D);
  EXPECT_EQ(b[headerLength], 0x1A);
}

TEST_F(DbfCreate, Variant9WritesATerminatorBlock) {
  ASSERT_EQ(Create({Def("A", 'C', 4), Def("B", 'N', 5)}, 9), 0);
  const std::string b = Slurp(File("t.dbf"));
  const size_t headerLength = 32 * (2 + 2);
  ASSERT_EQ(b.size(), headerLength + 1);
  EXPECT_EQ(Le16(b, 8), headerLength);
  EXPECT_EQ(b[96], 0x0D);
  for (size_t i = 97; i < headerLength; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[headerLength], 0x1A);
  // Opened in any variant, it is variant 9 with two fields.
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), 1), 0);
  XBFILEINFO info{};
  ASSERT_EQ(XBDDINFO(h, &info), 0);
  EXPECT_EQ(V(info.variant), 9);
  XBRECINFO rec{};
  ASSERT_EQ(XBDDRINFO(h, &rec), 0);
  EXPECT_EQ(V(rec.fieldCount), 2);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(DbfCreate, WidestFilesOpenAgain) {
  // 1023 fields in variant 5 gives a header of 32 x 1023 + 33 bytes.
  ASSERT_EQ(Create(Many(1023, 'L', 1), 5), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), 5), 0);
  XBRECINFO rec{};
  ASSERT_EQ(XBDDRINFO(h, &rec), 0);
  EXPECT_EQ(V(rec.fieldCount), 1023);
  EXPECT_EQ(V(rec.recordLength), 1024);
  EXPECT_EQ(XBDDCLOSE(h), 0);
  // Eight 'C' fields of 1023 and one of 7 in variant 6: 8192 bytes a record.
  std::vector<XBFIELDDEF> defs = Many(8, 'C', 1023);
  defs.push_back(Def("LAST", 'C', 7));
  ASSERT_EQ(Create(defs, 6), 0);
  ASSERT_EQ(XBDDOPENX(&h, File("t.dbf").c_str(), 6), 0);
  uint32_t no = 0;
  ASSERT_EQ(XBDDFPUT(h, 8, "1234567"), 0);
  ASSERT_EQ(XBDDRPUT(h, &no, XB_PUT_APPEND), 0);
  ASSERT_EQ(XBDDRGET(h, 1), 0);
  EXPECT_EQ(StoredField(h, 8), "1234567");
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(DbfCreate, CreateTruncatesAnExistingFile) {
  MakeNumberedFile(File("t.dbf"), 5);
  ASSERT_EQ(Create({Def("A", 'C', 4)}, 1), 0);
  EXPECT_EQ(Slurp(File("t.dbf")).size(), 32u + 32u + 1u + 1u);
}

}  // namespace
}  // namespace kvtest
