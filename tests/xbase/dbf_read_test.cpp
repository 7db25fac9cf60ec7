// Opening data files of every variant and reading their records and fields.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/fault.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace {

using kvtest::DbfBuilder;

class DbfRead : public kvtest::EngineTest {
 protected:
  // Writes the bytes and opens them; returns the open status.
  XBSTATUS OpenBytes(const std::string& bytes, uint16_t mode = 0) {
    path_ = File("t" + std::to_string(counter_++) + ".dbf");
    DbfBuilder::WriteFile(path_, bytes);
    return XBDDOPENX(&h_, path_.c_str(), mode);
  }
  // Opens and expects a refusal that leaves nothing behind.
  void ExpectRefused(const std::string& bytes, XBSTATUS code, uint16_t mode = 0) {
    const size_t blocks = kvp::GlobalLiveBlocks();
    EXPECT_EQ(OpenBytes(bytes, mode), code);
    EXPECT_EQ(h_, XB_NO_HANDLE);
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
    XBESCODE(0);
  }
  static DbfBuilder Mixed() {
    DbfBuilder b;
    b.Field("NAME", 'C', 10)
        .Field("BORN", 'D', 8)
        .Field("AMOUNT", 'N', 8, 2)
        .Field("OK", 'L', 1)
        .Field("RATE", 'F', 10, 4);
    return b;
  }
  XBHANDLE h_ = XB_NO_HANDLE;
  std::string path_;
  int counter_ = 0;
};

TEST_F(DbfRead, SingleByteAndBlockTerminatorsBothOpen) {
  auto plain = Mixed().Row({"a", "19960229", "   12.50", "T", "    0.1250"});
  ASSERT_EQ(OpenBytes(plain.Bytes()), 0);
  XBFILEINFO info;
  ASSERT_EQ(XBDDINFO(h_, &info), 0);
  EXPECT_EQ(+info.variant, 1);
  XBDDCLOSE(h_);
  auto block = Mixed().TerminatorBlock().Row({"a", "19960229", "   12.50", "T", "0.125"});
  ASSERT_EQ(OpenBytes(block.Bytes(), 3), 0);
  ASSERT_EQ(XBDDINFO(h_, &info), 0);
  EXPECT_EQ(+info.variant, 9);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char name[16];
  ASSERT_EQ(XBDDFGETS(h_, 0, name), 0);
  EXPECT_STREQ(name, "a         ");
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, HeaderLengthMustBeNearAMultipleOf32) {
  auto bytes = Mixed().Bytes();
  kvtest::PutLe16(bytes, 8, 5 * 32 + 35);  // 32n + 3
  ExpectRefused(bytes, XB_E_HEADER_LENGTH);
  kvtest::PutLe16(bytes, 8, 16);  // shorter than the header itself
  ExpectRefused(bytes, XB_E_HEADER_LENGTH);
}

TEST_F(DbfRead, CharacterFieldLengthTakesTheDecimalByteAsHighByte) {
  DbfBuilder b;
  b.Field("LONG", 'C', 0, 1).Row({std::string(255, 'x') + "y"});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  XBFIELDDEF def;
  uint16_t longest = 0;
  ASSERT_EQ(XBDDFINFO(h_, &longest, &def), 0);
  EXPECT_EQ(+def.length, 256);
  EXPECT_EQ(+def.decimals, 0);
  EXPECT_EQ(longest, 256);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  std::vector<char> text(300, '#');
  ASSERT_EQ(XBDDFGETS(h_, 0, text.data()), 0);
  EXPECT_EQ(std::strlen(text.data()), 256u);
  EXPECT_EQ(text[255], 'y');
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, LengthMismatchIsOnlyAWarning) {
  auto b = Mixed().Row({"a"}).Row({"b"});
  auto bytes = b.Bytes();
  bytes.pop_back();  // no end byte: still exact
  ASSERT_EQ(OpenBytes(bytes), 0);
  XBDDCLOSE(h_);
  bytes.pop_back();  // one byte short of the last record
  EXPECT_EQ(OpenBytes(bytes), XB_BAD_LENGTH);
  EXPECT_EQ(XBDDRGET(h_, 1), 0);
  EXPECT_EQ(XBDDRGET(h_, 2), XB_E_READ) << "the cut record cannot be read whole";
  XBESCODE(0);
  XBDDCLOSE(h_);
  auto longer = b.Bytes();
  longer.resize(longer.size() - 1 + b.NaturalRecordLength(), 0x1A);  // a whole record of end bytes
  EXPECT_EQ(OpenBytes(longer), 0);
  XBDDCLOSE(h_);
  longer.push_back(0);  // trailing garbage
  EXPECT_EQ(OpenBytes(longer), XB_BAD_LENGTH);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, HeaderCountLowerThanTheRecordsPresentLimitsReads) {
  auto b = Mixed().Row({"one"}).Row({"two"}).Row({"three"});
  auto bytes = b.Bytes();
  kvtest::PutLe32(bytes, 4, 2);
  EXPECT_EQ(OpenBytes(bytes), XB_BAD_LENGTH);
  uint32_t count = 0;
  ASSERT_EQ(XBDDSIZE(h_, &count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(XBDDRGET(h_, 2), 0);
  EXPECT_EQ(XBDDRGET(h_, 3), XB_E_SEEK);
  XBESCODE(0);
  // Rereading the header count takes a new value written by another program.
  kvtest::PutLe32(bytes, 4, 3);
  std::FILE* f = std::fopen(path_.c_str(), "r+b");
  std::fseek(f, 4, SEEK_SET);
  std::fwrite(&bytes[4], 1, 4, f);
  std::fclose(f);
  EXPECT_EQ(XBDDHGET(h_), 0);
  ASSERT_EQ(XBDDSIZE(h_, &count), 0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(XBDDRGET(h_, 3), 0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, RecordNumbersOutsideTheFileGiveMinus4) {
  DbfBuilder b;
  b.Field("N", 'N', 3);
  for (int i = 1; i <= 10; ++i) b.Row({std::to_string(100 + i)});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  EXPECT_EQ(XBDDRGET(h_, 10), 0);
  double v = 0;
  ASSERT_EQ(XBDDFGET(h_, 0, &v), 0);
  EXPECT_EQ(v, 110.0);
  EXPECT_EQ(XBDDRGET(h_, 11), XB_E_SEEK);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(h_, 0), XB_E_SEEK);
  XBESCODE(0);
  uint32_t current = 0;
  ASSERT_EQ(XBDDRNUM(h_, &current), 0);
  EXPECT_EQ(current, 10u) << "a refused read leaves the buffer and the current record";
  ASSERT_EQ(XBDDFGET(h_, 0, &v), 0);
  EXPECT_EQ(v, 110.0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, OffsetsBeyondThe32BitLayoutGiveMinus4) {
  DbfBuilder b;
  b.Field("A", 'C', 254, 255);  // 65534 bytes and the flag: the longest record
  auto bytes = b.Bytes();
  kvtest::PutLe32(bytes, 4, 0xFFFFFFFFu);
  EXPECT_EQ(OpenBytes(bytes), XB_BAD_LENGTH);
  // Record 70000 starts past 4 GiB: no wrap-around to a low offset.
  EXPECT_EQ(XBDDRGET(h_, 70000), XB_E_SEEK);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(h_, 1), XB_E_READ);
  XBESCODE(0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, FieldNamesCompareWithoutCase) {
  ASSERT_EQ(OpenBytes(Mixed().Row({"zed"}).Bytes()), 0);
  uint16_t n = 99;
  ASSERT_EQ(XBDDFNAM2NO(h_, &n, "amount"), 0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(XBDDFNAM2NO(h_, &n, "nothing"), XB_E_FIELD_NAME);
  EXPECT_EQ(n, 5) << "not found gives the field count";
  XBESCODE(0);
  char name[12];
  ASSERT_EQ(XBDDFNO2NAM(h_, name, 4), 0);
  EXPECT_STREQ(name, "RATE");
  EXPECT_EQ(XBDDFNO2NAM(h_, name, 5), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char text[16];
  ASSERT_EQ(XBDDFNGETS(h_, "name", text), 0);
  EXPECT_STREQ(text, "zed       ");
  EXPECT_EQ(XBDDFGET(h_, 5, text), XB_E_FIELD_NUMBER);
  XBESCODE(0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, LowerCaseNamesAndTypesInTheFileAreTakenUpperCase) {
  DbfBuilder b;
  b.Field("price", 'n', 5, 1).Row({"  2.5"});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  XBFIELDDEF def;
  uint16_t longest;
  ASSERT_EQ(XBDDFINFO(h_, &longest, &def), 0);
  EXPECT_STREQ(def.name, "PRICE");
  EXPECT_EQ(+def.type, 'N');
  EXPECT_EQ(+def.decimals, 1);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, LogicalValues) {
  DbfBuilder b;
  b.Field("L", 'L', 1);
  for (const char* v : {"T", "y", "F", "n", "?", " ", "x"}) b.Row({v});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  const unsigned char expected[] = {1, 1, 0, 0, 0xEE, '?', 0xEE};
  for (uint32_t r = 1; r <= 7; ++r) {
    ASSERT_EQ(XBDDRGET(h_, r), 0);
    unsigned char out = 0xEE;
    ASSERT_EQ(XBDDFGET(h_, 0, &out), 0);
    EXPECT_EQ(out, expected[r - 1]) << "record " << r;
  }
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, BlankDatesAreAsWideAsTheStyle) {
  auto b = Mixed().Row({"a", "        "}).Row({"b", "20041231"});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  const std::pair<int16_t, const char*> cases[] = {
      {7, "          "}, {5, "      "}, {1, "        "}, {15, "          "}};
  for (auto [style, blank] : cases) {
    ASSERT_EQ(XBCDSTYLE(style), 0);
    char out[16];
    std::memset(out, '#', sizeof out);
    ASSERT_EQ(XBDDFGET(h_, 1, out), 0);
    EXPECT_STREQ(out, blank) << "style " << style;
  }
  ASSERT_EQ(XBDDRGET(h_, 2), 0);
  const std::pair<int16_t, const char*> dates[] = {
      {1, "12/31/04"}, {3, "2004/366"}, {4, "20041231"}, {7, "31.12.2004"}, {14, "04.12.31"}};
  for (auto [style, text] : dates) {
    ASSERT_EQ(XBCDSTYLE(style), 0);
    char out[16];
    ASSERT_EQ(XBDDFGET(h_, 1, out), 0);
    EXPECT_STREQ(out, text) << "style " << style;
  }
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, AStoredDateThatDoesNotReadIsAnError) {
  auto b = Mixed().Row({"a", "20040231"});
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  char out[16];
  EXPECT_EQ(XBDDFGET(h_, 1, out), XB_E_DATE);
  XBESCODE(0);
  char text[16];
  ASSERT_EQ(XBDDFGETS(h_, 1, text), 0) << "the text itself reads";
  EXPECT_STREQ(text, "20040231");
  XBDDCLOSE(h_);
}

// A stored date is written in the style straight from its digits, without
// the calendar arithmetic of the date calls: every month's last days, 29
// February in leap and common years, months 00 and 13 and days 00 and 32
// must read as XBCDI2S writes (or refuses) the same date, in every style.
TEST_F(DbfRead, StoredDatesReadAsTheDateCallsWriteThem) {
  DbfBuilder b;
  b.Field("D", 'D', 8);
  struct Stored {
    int year, month, day;
  };
  std::vector<Stored> dates;
  for (int year : {0, 1, 1900, 1996, 1999, 2000, 2100, 2400, 9999})
    for (int month = 0; month <= 13; ++month)
      for (int day = 0; day <= 32; ++day) {
        char text[40];
        std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
        b.Row({text});
        dates.push_back({year, month, day});
      }
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  int valid = 0;
  for (int16_t style = 1; style <= 15; ++style) {
    ASSERT_EQ(XBCDSTYLE(style), 0);
    for (size_t r = 0; r < dates.size(); ++r) {
      const Stored& d = dates[r];
      ASSERT_EQ(XBDDRGET(h_, static_cast<uint32_t>(r + 1)), 0);
      char expected[16] = {}, got[16];
      std::memset(got, '#', sizeof got);
      const XBSTATUS wanted = XBCDI2S(expected, style, static_cast<int16_t>(d.year),
                                      static_cast<int16_t>(d.month), static_cast<int16_t>(d.day));
      XBESCODE(0);
      const XBSTATUS s = XBDDFGET(h_, 0, got);
      XBESCODE(0);
      const std::string what = "style " + std::to_string(style) + " date " +
                               std::to_string(d.year) + "-" + std::to_string(d.month) + "-" +
                               std::to_string(d.day);
      if (wanted < 0) {
        EXPECT_EQ(s, XB_E_DATE) << what;
        continue;
      }
      ++valid;
      ASSERT_EQ(s, 0) << what;
      EXPECT_STREQ(got, expected) << what;
    }
  }
  // Both sides could agree and still be wrong: nine years, of which 0, 1996,
  // 2000 and 2400 are leap years (1900 and 2100 are not), in 15 styles.
  EXPECT_EQ(valid, 15 * (9 * 365 + 4));
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, NumbersReadAsDoubles) {
  DbfBuilder b;
  b.Field("N", 'N', 10, 3).Field("M", 'M', 10);
  b.Row({"   -12.500", "        42"});
  b.Row({"          ", "          "});
  b.Row({"**********", "   7  "});
  b.Row({"  1.5e3   ", "-3"});
  auto bytes = b.Bytes();
  bytes[0] = 0x83;
  ASSERT_EQ(OpenBytes(bytes), 0);
  const double numbers[] = {-12.5, 0.0, 0.0, 1500.0};
  const int32_t blocks[] = {42, 0, 7, -3};
  for (uint32_t r = 1; r <= 4; ++r) {
    ASSERT_EQ(XBDDRGET(h_, r), 0);
    double v = -1;
    int32_t m = -1;
    ASSERT_EQ(XBDDFGET(h_, 0, &v), 0);
    ASSERT_EQ(XBDDFGET(h_, 1, &m), 0);
    EXPECT_EQ(v, numbers[r - 1]) << r;
    EXPECT_EQ(m, blocks[r - 1]) << r;
  }
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, UnpackedRecordLayout) {
  auto b = Mixed().Row({"Zoe", "19960229", "  -12.50", "T", "    0.1250"}, true);
  auto bytes = b.Bytes();
  ASSERT_EQ(OpenBytes(bytes), 0);
  std::vector<uint8_t> out(1 + 11 + 9 + 8 + 1 + 8 + 16, 0xEE);
  EXPECT_EQ(XBDDRGETX(h_, out.data(), 1), XB_DELETED);
  EXPECT_EQ(XBDDRSTAT(h_), XB_DELETED);
  EXPECT_EQ(out[0], '*');
  EXPECT_STREQ(reinterpret_cast<char*>(&out[1]), "Zoe       ");
  EXPECT_STREQ(reinterpret_cast<char*>(&out[12]), "19960229");
  double amount, rate;
  std::memcpy(&amount, &out[21], 8);
  EXPECT_EQ(amount, -12.5);
  EXPECT_EQ(out[29], 1);
  std::memcpy(&rate, &out[30], 8);
  EXPECT_EQ(rate, 0.125);
  EXPECT_EQ(out[38], 0xEE) << "nothing written past the last field";
  // A ten-character date style is cut to the nine-byte slot, never written
  // over the next field.
  ASSERT_EQ(XBCDSTYLE(2), 0);
  EXPECT_EQ(XBDDRGETX(h_, out.data(), 1), XB_DELETED);
  EXPECT_EQ(std::strlen(reinterpret_cast<char*>(&out[12])), 8u);
  std::memcpy(&amount, &out[21], 8);
  EXPECT_EQ(amount, -12.5);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, VersionBytesEachVariantAccepts) {
  struct Case {
    uint8_t version;
    uint16_t variant;
    XBSTATUS expected;
  };
  const Case cases[] = {
      {0x03, 1, 0},  {0x83, 1, 0},  {0x8B, 1, XB_E_FORMAT},   {0x8B, 2, 0},
      {0xF5, 1, XB_E_FORMAT},       {0xF5, 4, 0},             {0xF5, 8, 0},
      {0x83, 4, XB_E_FORMAT},       {0x03, 8, 0},             {0x07, 1, XB_E_FORMAT},
      {0x30, 2, XB_E_FORMAT},       {0x04, 3, XB_E_FORMAT},   {0x83, 9, 0},
      {0x03, 0, 0},
  };
  for (const auto& c : cases) {
    auto bytes = Mixed().Row({"a"}).Bytes();
    bytes[0] = c.version;
    if (c.expected == 0) {
      EXPECT_EQ(OpenBytes(bytes, c.variant), 0) << std::hex << int{c.version} << " " << c.variant;
      XBDDCLOSE(h_);
    } else {
      ExpectRefused(bytes, c.expected, c.variant);
    }
  }
  ExpectRefused(Mixed().Bytes(), XB_E_ARGUMENT, 10);
}

TEST_F(DbfRead, MemoFieldsNeedTheirVersionByte) {
  DbfBuilder b;
  b.Field("NOTES", 'M', 10).Row({"         1"});
  auto bytes = b.Bytes();
  ExpectRefused(bytes, XB_E_FORMAT, 1);  // 0x03 with a memo field
  bytes[0] = 0x83;
  ASSERT_EQ(OpenBytes(bytes, 1), 0);
  XBFILEINFO info;
  ASSERT_EQ(XBDDINFO(h_, &info), 0);
  EXPECT_EQ(+info.hasMemo, 1);
  EXPECT_EQ(+info.variant, 1);
  XBDDCLOSE(h_);
  bytes[0] = 0x03;
  ExpectRefused(bytes, XB_E_FORMAT, 8);
  bytes[0] = 0xF5;
  ASSERT_EQ(OpenBytes(bytes, 8), 0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, ProductionFlagIsCheckedInVariantsTwoAndEight) {
  auto bytes = Mixed().Bytes();
  bytes[28] = 2;
  ExpectRefused(bytes, XB_E_PRODUCTION_FLAG, 2);
  ExpectRefused(bytes, XB_E_PRODUCTION_FLAG, 8);
  ASSERT_EQ(OpenBytes(bytes, 1), 0);
  XBDDCLOSE(h_);
  bytes[28] = 1;
  bytes[14] = 0x21;
  bytes[15] = 0x42;
  ASSERT_EQ(OpenBytes(bytes, 2 | XB_OPEN_SHARED_PROD), 0);
  XBFILEINFO info;
  ASSERT_EQ(XBDDINFO(h_, &info), 0);
  EXPECT_EQ(+info.production, 1);
  EXPECT_EQ(+info.flag14, 0x21);
  EXPECT_EQ(+info.flag15, 0x42);
  EXPECT_EQ(+info.openFlags, 2 | 4) << "0x800 opens shared with the production bit";
  EXPECT_STREQ(info.path, path_.c_str());
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, DescriptorsThatDoNotAddUpAreRefused) {
  auto bytes = Mixed().Row({"a"}).Bytes();
  bytes[10] += 1;  // record length one more than the fields
  ExpectRefused(bytes, XB_E_RECORD_LENGTH);
  bytes[10] = 0;
  bytes[11] = 0;  // record length 0
  ExpectRefused(bytes, XB_E_RECORD_LENGTH);
  bytes = Mixed().Bytes();
  std::memset(&bytes[32], 0, 11);  // a name of no characters
  ExpectRefused(bytes, XB_E_FIELD_NAME);
  bytes = Mixed().Bytes();
  bytes[32 + 11] = 'X';
  ExpectRefused(bytes, XB_E_FIELD_TYPE);
}

TEST_F(DbfRead, ElevenCharacterNamesAndReservedGarbageAreFine) {
  DbfBuilder b;
  b.Field("ABCDEFGHIJK", 'C', 3).Field("B", 'N', 2).Row({"xyz", "42"});
  auto bytes = b.Bytes();
  for (int i = 12; i < 16; ++i) bytes[32 + i] = 0xA5;  // reserved bytes
  for (int i = 18; i < 32; ++i) bytes[64 + i] = 0x5A;
  ASSERT_EQ(OpenBytes(bytes), 0);
  char name[12];
  ASSERT_EQ(XBDDFNO2NAM(h_, name, 0), 0);
  EXPECT_STREQ(name, "ABCDEFGHIJK");
  uint16_t n;
  ASSERT_EQ(XBDDFNAM2NO(h_, &n, "abcdefghijk"), 0);
  EXPECT_EQ(n, 0);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, TruncatedFilesGiveAReadFailure) {
  auto bytes = Mixed().Row({"a"}).Bytes();
  ExpectRefused(bytes.substr(0, 20), XB_E_READ);
  ExpectRefused(bytes.substr(0, 100), XB_E_READ);
  // A header length far beyond the file: 2046 descriptors promised.
  kvtest::PutLe16(bytes, 8, 0xFFE1);
  ExpectRefused(bytes, XB_E_READ);
  ExpectRefused({}, XB_E_READ);
}

TEST_F(DbfRead, NullArgumentsAndWrongHandles) {
  XBHANDLE h;
  EXPECT_EQ(XBDDOPENX(nullptr, "x", 0), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDOPENX(&h, nullptr, 0), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDOPENX(&h, "", 0), XB_E_EMPTY_NAME);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(0, 1), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(XBDDRGET(500, 1), XB_E_HANDLE);
  XBESCODE(0);
  ASSERT_EQ(OpenBytes(Mixed().Row({"a"}).Bytes()), 0);
  EXPECT_EQ(XBDDFGET(h_, 0, nullptr), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDCLOSE(h_), 0);
  EXPECT_EQ(XBDDCLOSE(h_), XB_E_HANDLE) << "a closed handle is gone";
  XBESCODE(0);
}

TEST_F(DbfRead, EveryAllocationFailureDuringOpenLeavesNothingBehind) {
  const auto bytes = Mixed().Row({"a"}).Bytes();
  for (unsigned nth = 1; nth <= 6; ++nth) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, nth, kvp::ERROR_NOT_ENOUGH_MEMORY);
    const size_t blocks = kvp::GlobalLiveBlocks();
    const XBSTATUS s = OpenBytes(bytes);
    const unsigned calls = kvp::fault::Calls(kvp::fault::Op::Alloc);
    kvp::fault::Reset();
    if (s == 0) {
      EXPECT_LT(calls, nth) << "an open that succeeded made fewer allocations";
      XBDDCLOSE(h_);
      break;
    }
    EXPECT_EQ(s, XB_E_MEMORY) << nth;
    EXPECT_EQ(h_, XB_NO_HANDLE);
    EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks) << nth;
    XBESCODE(0);
  }
}

TEST_F(DbfRead, RecordBufferIsReachableByAddressAndHandle) {
  ASSERT_EQ(OpenBytes(Mixed().Row({"abc"}).Bytes()), 0);
  ASSERT_EQ(XBDDRGET(h_, 1), 0);
  XBRECINFO byAddress;
  XBRECINFOH byHandle;
  ASSERT_EQ(XBDDRINFO(h_, &byAddress), 0);
  ASSERT_EQ(XBDDRINFOH(h_, &byHandle), 0);
  EXPECT_EQ(+byAddress.recordLength, 1 + 10 + 8 + 8 + 1 + 10);
  EXPECT_EQ(+byAddress.fieldCount, 5);
  void* const buffer = byAddress.buffer;  // read out of the packed record
  EXPECT_EQ(std::memcmp(static_cast<char*>(buffer), " abc ", 5), 0);
  void* locked = kvp::GlobalLock(byHandle.buffer);
  EXPECT_EQ(locked, buffer);
  kvp::GlobalUnlock(byHandle.buffer);
  XBDDCLOSE(h_);
}

TEST_F(DbfRead, LastUpdateDateInAStyle) {
  auto b = Mixed();
  b.Date(104, 2, 29);
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  char text[16];
  ASSERT_EQ(XBDDLUD(h_, text, 11), 0);
  EXPECT_STREQ(text, "29/02/2004");
  EXPECT_EQ(XBDDLUD(h_, text, 16), XB_E_ARGUMENT);
  XBESCODE(0);
  XBDDCLOSE(h_);
  b.Date(104, 13, 1);
  ASSERT_EQ(OpenBytes(b.Bytes()), 0);
  EXPECT_EQ(XBDDLUD(h_, text, 4), XB_E_DATE);
  XBESCODE(0);
  XBDDCLOSE(h_);
}

}  // namespace
