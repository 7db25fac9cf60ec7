// Files written by python3-dbf, GDAL and Free Pascal's TDbf, read by the
// engine and compared with what those tools and python3-dbfread read.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/xbase_oracle/engine_session.h"
#include "tests/xbase_oracle/expectation.h"
#include "tests/xbase_oracle/oracle_compare.h"
#include "tests/xbase_oracle/oracle_dir.h"

namespace kvtest {
namespace {

// Every file scripts/oracles/make_all.sh writes. A name here without its
// file fails; a file there without its name fails OracleFileSet.
const char* const kOracleFiles[] = {
    "py_db3_plain", "py_db3_memo",   "py_db3_empty", "py_db3_empty_memo",
    "py_db3_many",  "py_db3_short",  "py_db3_wide",  "py_fp_memo",
    "py_vfp",       "gdal_basic",    "gdal_noeof",   "gdal_nulls",
    "tdbf_l3",      "tdbf_l3_memo",  "tdbf_l4",      "tdbf_l4_memo",
    "tdbf_l25",     "tdbf_l25_memo", "tdbf_l7",      "tdbf_l7_memo",
    "tdbf_l30",
};

std::string FileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class OracleRoundTrip : public ::testing::TestWithParam<const char*> {};

// Opens the file with every variant: the variants that accept its version
// byte open it (or refuse it for what follows the version byte), the others
// refuse it with -18. With the first variant that opens it, every record and
// field is compared (opened for writing: reading must not change the file);
// with the others, read-only, the structure and the last record.
TEST_P(OracleRoundTrip, ReadsAsTheToolsDo) {
  const auto exp = LoadExpectation(OracleDir() / (std::string(GetParam()) + ".expect"));
  SCOPED_TRACE(exp.dataFile.filename().string() + " written by " + exp.tool);
  const std::string original = FileBytes(exp.dataFile);
  ASSERT_FALSE(original.empty());
  ASSERT_EQ(static_cast<uint8_t>(original[0]), exp.version)
      << "the file is not the one its writer meant";

  EngineSession engine(4);
  bool compared = false;
  for (int variant = 1; variant <= 9; ++variant) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    const auto mode = static_cast<uint16_t>(compared ? variant | XB_OPEN_READONLY : variant);
    if (!VariantAccepts(variant, exp.version)) {
      ExpectRefusedOpen(exp.dataFile, mode, XB_E_FORMAT);
      continue;
    }
    if (exp.afterVersion != 0) {
      ExpectRefusedOpen(exp.dataFile, mode, static_cast<XBSTATUS>(exp.afterVersion));
      continue;
    }
    const Holdings before = Holdings::Now();
    XBHANDLE handle = XB_NO_HANDLE;
    ASSERT_EQ(XBDDOPENX(&handle, exp.dataFile.c_str(), mode), XB_OK);
    ASSERT_NE(handle, XB_NO_HANDLE);
    CompareStructure(handle, exp, variant);
    const uint32_t count = exp.count.value_or(0);
    if (!compared)
      CompareRecords(handle, exp, 1, count);
    else if (count > 0)
      CompareRecords(handle, exp, count, count);
    compared = true;

    // Outside 1..count: -4, and the record in the buffer stays current.
    for (uint32_t outside : {0u, count + 1}) {
      EXPECT_EQ(XBDDRGETX(handle, nullptr, outside), XB_E_SEEK) << "record " << outside;
      ResetStatus();
    }
    EXPECT_EQ(XBDDCLOSE(handle), XB_OK);
    EXPECT_EQ(Holdings::Now(), before) << "blocks or files left after the close";
  }
  if (exp.count) {
    EXPECT_TRUE(compared) << "no variant opened a file the engine must read";
  }
  EXPECT_TRUE(FileBytes(exp.dataFile) == original) << "reading changed the file";
}

INSTANTIATE_TEST_SUITE_P(Files, OracleRoundTrip, ::testing::ValuesIn(kOracleFiles),
                         [](const auto& param) { return std::string(param.param); });

// Date styles wider than the 8 stored digits: XBDDFGET gives the whole
// text, while in the unpacked record the date keeps its slot of 9 bytes and
// the next field stays intact.
TEST(OracleDateStyles, WideStylesKeepTheUnpackedLayout) {
  const auto exp = LoadExpectation(OracleDir() / "gdal_basic.expect");
  const OracleReading& gdal = *exp.ValueReadings().at(0);
  ASSERT_EQ(exp.fields.size(), 6u);
  ASSERT_EQ(exp.fields[5].type, 'D');  // the last field: its slot ends the record
  ASSERT_EQ(exp.fields[4].type, 'N');
  const size_t dateAt = 1 + 25 + 17 + 8 + 8 + 8;  // flag, NAME, CITY, three numbers
  struct Style {
    int16_t number;
    const char* layout;  // where the digits of yyyymmdd go
  };
  for (const Style& style : {Style{7, "67.45.0123"}, Style{15, "0123.45.67"},
                             Style{2, "45/67/0123"}, Style{5, "674523"}}) {
    SCOPED_TRACE("date style " + std::to_string(style.number));
    EngineSession engine(style.number);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDDOPENX(&h, exp.dataFile.c_str(), 1 | XB_OPEN_READONLY), XB_OK);
    for (uint32_t r = 1; r <= *exp.count; ++r) {
      SCOPED_TRACE("record " + std::to_string(r));
      const std::string& digits = gdal.records[r - 1].values[5].bytes;
      std::string expected = style.layout;
      for (char& c : expected)
        if (c >= '0' && c <= '9') c = digits[static_cast<size_t>(c - '0')];
      char text[32];
      std::memset(text, '#', sizeof text);
      EXPECT_EQ(XBDDRGETX(h, nullptr, r), XB_OK);
      EXPECT_EQ(XBDDFGET(h, 5, text), XB_OK);
      EXPECT_EQ(std::string(text), expected);

      std::vector<char> record(dateAt + 9 + 16, '#');
      EXPECT_EQ(XBDDRGETX(h, record.data(), r), XB_OK);
      EXPECT_NE(std::memchr(record.data() + dateAt, '\0', 9), nullptr) << "no NUL in the slot";
      EXPECT_EQ(std::string(record.data() + dateAt), expected.substr(0, 8));
      EXPECT_EQ(std::string(record.begin() + dateAt + 9, record.end()), std::string(16, '#'))
          << "the date ran past its slot";
      double qty = 0;
      std::memcpy(&qty, record.data() + dateAt - 16, sizeof qty);
      EXPECT_EQ(qty, std::strtod(gdal.records[r - 1].values[3].bytes.c_str(), nullptr));
    }
    EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  }
}

// The fixture writes exactly the files listed above.
TEST(OracleFileSet, EveryWrittenFileIsRead) {
  std::set<std::string> listed(std::begin(kOracleFiles), std::end(kOracleFiles));
  std::set<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(OracleDir()))
    if (entry.path().extension() == ".expect") written.insert(entry.path().stem().string());
  EXPECT_EQ(written, listed);
}

}  // namespace
}  // namespace kvtest
