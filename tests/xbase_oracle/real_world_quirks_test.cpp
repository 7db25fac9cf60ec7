// What real tools and interrupted writers leave in data files: record counts
// that disagree with the records present, missing or extra end bytes, and
// the many spellings of logicals and numbers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/dbf_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/xbase_oracle/engine_session.h"

namespace kvtest {
namespace {

// Three records of 8 bytes (flag, C(3), N(4)).
DbfBuilder ThreeRecords() {
  DbfBuilder b;
  b.Field("CODE", 'C', 3).Field("QTY", 'N', 4);
  b.Record(
       "one"
       "   1")
      .Record(
          "two"
          "  22")
      .Record(
          "six"
          " 333");
  return b;
}

class RealWorldQuirks : public ::testing::Test {
 protected:
  EngineSession engine_{4};
  TempDir dir_;

  XBHANDLE Open(const std::string& bytes, XBSTATUS status) {
    const std::filesystem::path path = dir_.File("real.dbf");
    DbfBuilder::WriteFile(path, bytes);
    XBHANDLE handle = XB_NO_HANDLE;
    EXPECT_EQ(XBDDOPENX(&handle, path.c_str(), 1), status);
    EXPECT_NE(handle, XB_NO_HANDLE);
    return handle;
  }

  std::string Code(XBHANDLE handle) {
    char text[4] = {};
    EXPECT_EQ(XBDDFGETS(handle, 0, text), XB_OK);
    return text;
  }

  // Records 1..readable read; the next one gives `beyond`.
  void ExpectReadable(XBHANDLE handle, uint32_t readable, XBSTATUS beyond) {
    const char* codes[] = {"one", "two", "six"};
    for (uint32_t r = 1; r <= readable; ++r) {
      SCOPED_TRACE("record " + std::to_string(r));
      EXPECT_EQ(XBDDRGETX(handle, nullptr, r), XB_OK);
      EXPECT_EQ(Code(handle), codes[r - 1]);
    }
    EXPECT_EQ(XBDDRGETX(handle, nullptr, readable + 1), beyond) << "record " << readable + 1;
    ResetStatus();
  }
};

TEST_F(RealWorldQuirks, HeaderCountBelowTheRecordsPresent) {
  // A writer that died before it updated the count: the file is longer than
  // the header says, and the records beyond the count are not readable.
  XBHANDLE h = Open(ThreeRecords().RecordCount(2).Bytes(), XB_BAD_LENGTH);
  uint32_t count = 0;
  EXPECT_EQ(XBDDSIZE(h, &count), XB_OK);
  EXPECT_EQ(count, 2u);
  ExpectReadable(h, 2, XB_E_SEEK);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);

  // Without the end byte, one record more than counted looks like the
  // one-record-length end filler: no warning, and still only two records.
  h = Open(ThreeRecords().RecordCount(2).NoEndByte().Bytes(), XB_OK);
  ExpectReadable(h, 2, XB_E_SEEK);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);

  h = Open(ThreeRecords().RecordCount(0).Bytes(), XB_BAD_LENGTH);
  ExpectReadable(h, 0, XB_E_SEEK);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(RealWorldQuirks, HeaderCountAboveTheRecordsPresent) {
  // Records the header announces but the file lacks fail to read; the ones
  // present still read.
  XBHANDLE h = Open(ThreeRecords().RecordCount(5).Bytes(), XB_BAD_LENGTH);
  ExpectReadable(h, 3, XB_E_READ);
  EXPECT_EQ(XBDDRGETX(h, nullptr, 5), XB_E_READ);
  ResetStatus();
  EXPECT_EQ(XBDDRGETX(h, nullptr, 6), XB_E_SEEK);
  ResetStatus();
  EXPECT_EQ(XBDDRGETX(h, nullptr, 2), XB_OK) << "the handle must survive failed reads";
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);

  // A count near 2^32: the last records would lie beyond 4 GiB.
  h = Open(ThreeRecords().RecordCount(0xFFFFFFFFu).Bytes(), XB_BAD_LENGTH);
  uint32_t count = 0;
  EXPECT_EQ(XBDDSIZE(h, &count), XB_OK);
  EXPECT_EQ(count, 0xFFFFFFFFu);
  EXPECT_EQ(XBDDRGETX(h, nullptr, 0xFFFFFFFFu), XB_E_SEEK);
  ResetStatus();
  EXPECT_EQ(XBDDRGETX(h, nullptr, 4), XB_E_READ);
  ResetStatus();
  ExpectReadable(h, 3, XB_E_READ);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(RealWorldQuirks, EndOfFileMarks) {
  const uint16_t rl = ThreeRecords().NaturalRecordLength();
  struct Case {
    const char* what;
    bool endByte;
    std::string tail;
    XBSTATUS status;
  };
  const Case cases[] = {
      {"no 0x1A (GDAL with DBF_EOF_CHAR=NO, many exporters)", false, "", XB_OK},
      {"one 0x1A", true, "", XB_OK},
      {"a whole record length of 0x1A", true, std::string(rl - 1u, '\x1A'), XB_OK},
      {"two end bytes", true, "\x1A", XB_BAD_LENGTH},
      {"a record length and one byte", true, std::string(rl, '\x1A'), XB_BAD_LENGTH},
      {"one byte short of a record length", true, std::string(rl - 2u, '\x1A'), XB_BAD_LENGTH},
      {"a page of zeros after the end byte", true, std::string(4096, '\0'), XB_BAD_LENGTH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DbfBuilder b = ThreeRecords();
    if (!c.endByte) b.NoEndByte();
    b.Tail(c.tail);
    XBHANDLE h = Open(b.Bytes(), c.status);
    // A wrong length is a warning only: every record reads.
    ExpectReadable(h, 3, XB_E_SEEK);
    EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  }
}

TEST_F(RealWorldQuirks, LastRecordCutShort) {
  // The file ends one byte into the last record's last field.
  const std::string whole = ThreeRecords().NoEndByte().Bytes();
  XBHANDLE h = Open(whole.substr(0, whole.size() - 1), XB_BAD_LENGTH);
  ExpectReadable(h, 2, XB_E_READ);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(RealWorldQuirks, LogicalSpellings) {
  // T/F from dBASE and Clipper, Y/N and lower case from other writers, '?'
  // from python3-dbf and FoxPro for "unknown", a space for blank, and binary
  // 0/1 from programs that wrote C booleans.
  struct Case {
    char stored;
    int value;  // -1: the caller's byte stays as it was
  };
  const Case cases[] = {{'T', 1},  {'F', 0},    {'Y', 1},  {'N', 0},  {'t', 1},
                        {'f', 0},  {'y', 1},    {'n', 0},  {'?', -1}, {' ', '?'},
                        {'\0', 0}, {'\x01', 1}, {'X', -1}, {'1', -1}};
  DbfBuilder b;
  b.Field("OK", 'L', 1).Field("TAG", 'C', 2);
  for (const Case& c : cases) b.Record(std::string(1, c.stored) + "ab");
  XBHANDLE h = Open(b.Bytes(), XB_OK);
  uint32_t r = 0;
  for (const Case& c : cases) {
    ++r;
    SCOPED_TRACE("stored byte " + std::to_string(static_cast<unsigned char>(c.stored)));
    const uint8_t expected = c.value < 0 ? 0x5A : static_cast<uint8_t>(c.value);
    uint8_t unpacked[1 + 1 + 3] = {0x33, 0x5A, 0x33, 0x33, 0x33};
    EXPECT_EQ(XBDDRGETX(h, unpacked, r), XB_OK);
    EXPECT_EQ(unpacked[1], expected) << "XBDDRGETX";
    uint8_t value = 0x5A;
    EXPECT_EQ(XBDDFGET(h, 0, &value), XB_OK);
    EXPECT_EQ(value, expected) << "XBDDFGET";
    char text[2] = {'#', '#'};
    EXPECT_EQ(XBDDFGETS(h, 0, text), XB_OK);
    EXPECT_EQ(text[0], c.stored);
    EXPECT_EQ(text[1], '\0');
  }
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(RealWorldQuirks, NumberSpellings) {
  // Numbers as various writers store them, read as the C library reads them:
  // leading zeros (TDbf's memo numbers), '*' runs (dBASE on overflow, GDAL
  // for nulls), left-aligned, exponents, a decimal comma, a lone sign.
  const char* stored[] = {"0000012.50", "**********", "12.5      ", "  1.5E+03 ",
                          "  -1.25e-2", "     12,50", "         -", "   -0000.0",
                          "  +7.00000", "9999999999", " 1 2 3    "};
  DbfBuilder b;
  b.Field("AMOUNT", 'N', 10, 2).Field("RATE", 'F', 10, 2);
  for (const char* s : stored) b.Record(std::string(s) + s);
  XBHANDLE h = Open(b.Bytes(), XB_OK);
  uint32_t r = 0;
  for (const char* s : stored) {
    ++r;
    SCOPED_TRACE(std::string("stored \"") + s + "\"");
    const double expected = std::strtod(s, nullptr);
    double unpacked[3] = {};
    std::vector<uint8_t> record(1 + 8 + 8);
    EXPECT_EQ(XBDDRGETX(h, record.data(), r), XB_OK);
    std::memcpy(&unpacked[0], record.data() + 1, 8);
    std::memcpy(&unpacked[1], record.data() + 9, 8);
    EXPECT_EQ(unpacked[0], expected);
    EXPECT_EQ(unpacked[1], expected);
    EXPECT_EQ(XBDDFGET(h, 1, &unpacked[2]), XB_OK);
    EXPECT_EQ(unpacked[2], expected);
  }
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

}  // namespace
}  // namespace kvtest
