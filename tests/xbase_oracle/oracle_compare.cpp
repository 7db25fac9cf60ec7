#include "tests/xbase_oracle/oracle_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/xbase_oracle/engine_session.h"
#include "tests/xbase_oracle/memo_text.h"

namespace kvtest {
namespace {

constexpr uint8_t kSentinel = 0xA5;  // bytes the engine must not touch
constexpr size_t kGuard = 16;        // sentinel bytes after every output

size_t UnpackedSize(const OracleField& f) {
  switch (f.type) {
    case 'C':
    case 'D':
      return static_cast<size_t>(f.length) + 1;
    case 'N':
    case 'F':
      return sizeof(double);
    case 'M':
      return sizeof(uint32_t);
    default:
      return static_cast<size_t>(f.length);
  }
}

bool Blank(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' '; });
}

std::string RightTrimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string Lowered(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// Failures recorded so far in the running test.
int FailureCount() {
  return ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

void ExpectGuardIntact(const std::vector<uint8_t>& buffer, size_t used, const char* what) {
  for (size_t i = used; i < buffer.size(); ++i) {
    if (buffer[i] != kSentinel) {
      ADD_FAILURE() << what << " wrote beyond its " << used << " bytes (at +" << i - used << ")";
      return;
    }
  }
}

// A stored date that is not blank but that every tool reads as no date (GDAL
// writes 00000000 for a null date) does not read in style 4: the engine
// reports -15 for it.
bool UnreadableDate(const OracleField& f, const std::string& raw,
                    const std::vector<const OracleValue*>& readings) {
  if (f.type != 'D' || Blank(raw)) return false;
  return std::all_of(readings.begin(), readings.end(),
                     [](const OracleValue* v) { return v->null; });
}

struct FieldCheck {
  const Expectation& exp;
  const OracleField& field;
  const std::string& raw;
  std::vector<const OracleValue*> readings;
  std::vector<std::string> readers;
};

// Checks one converted value (XBDDFGET, or a field of the unpacked record)
// against every tool's reading. `out` holds at least UnpackedSize bytes.
void ExpectValue(const FieldCheck& c, const uint8_t* out) {
  const OracleField& f = c.field;
  for (size_t r = 0; r < c.readings.size(); ++r) {
    const OracleValue& v = *c.readings[r];
    SCOPED_TRACE("field " + f.name + " as " + c.readers[r] + " reads it");
    switch (f.type) {
      case 'C': {
        std::string text(reinterpret_cast<const char*>(out), static_cast<size_t>(f.length));
        EXPECT_EQ(out[f.length], 0) << "no NUL after the text";
        EXPECT_EQ(RightTrimmed(text), v.null ? "" : v.bytes);
        break;
      }
      case 'D': {
        std::string text(reinterpret_cast<const char*>(out), 8);
        EXPECT_EQ(out[8], 0) << "no NUL after the date";
        EXPECT_EQ(text, v.null ? std::string(8, ' ') : v.bytes);
        break;
      }
      case 'N':
      case 'F': {
        double value;
        std::memcpy(&value, out, sizeof value);
        const double expected = v.null ? 0.0 : std::strtod(v.bytes.c_str(), nullptr);
        EXPECT_EQ(value, expected)
            << "stored \"" << c.raw << "\", tool reads \"" << v.bytes << "\"";
        break;
      }
      case 'L': {
        uint8_t expected;
        if (!v.null)
          expected = v.bytes == "T" ? 1 : 0;
        else
          expected = c.raw == " " ? '?' : kSentinel;  // '?' stored: output untouched
        EXPECT_EQ(out[0], expected) << "stored '" << c.raw << "'";
        break;
      }
      case 'M': {
        uint32_t block;
        std::memcpy(&block, out, sizeof block);
        const std::string text = v.null ? "" : v.bytes;
        if (block == 0) {
          EXPECT_EQ(text, "") << "block 0 (stored \"" << c.raw << "\") but the tool reads a memo";
        } else {
          try {
            EXPECT_EQ(MemoText(MemoFileFor(c.exp.dataFile, c.exp.memo), c.exp.memo, block), text)
                << "memo block " << block;
          } catch (const std::exception& e) {
            ADD_FAILURE() << "memo block " << block << ": " << e.what();
          }
        }
        break;
      }
      default:
        ADD_FAILURE() << "no rule for field type " << f.type;
    }
  }
}

void CompareRecord(XBHANDLE handle, const Expectation& exp, uint32_t r) {
  SCOPED_TRACE("record " + std::to_string(r));
  const OracleRecord& raw = exp.RawReading()->records[r - 1];
  const auto valueReadings = exp.ValueReadings();
  for (const OracleReading* reading : valueReadings)
    ASSERT_EQ(reading->records[r - 1].deleted, raw.deleted)
        << reading->reader << " and dbfread disagree on the deletion flag";

  std::vector<FieldCheck> checks;
  size_t unreadable = exp.fields.size();  // first field whose value the engine refuses
  for (size_t i = 0; i < exp.fields.size(); ++i) {
    FieldCheck c{exp, exp.fields[i], raw.values[i].bytes, {}, {}};
    for (const OracleReading* reading : valueReadings) {
      c.readings.push_back(&reading->records[r - 1].values[i]);
      c.readers.push_back(reading->reader);
    }
    if (unreadable == exp.fields.size() && UnreadableDate(c.field, c.raw, c.readings))
      unreadable = i;
    checks.push_back(std::move(c));
  }

  // The whole record, unpacked.
  size_t unpacked = 1;
  for (const auto& f : exp.fields) unpacked += UnpackedSize(f);
  std::vector<uint8_t> record(unpacked + kGuard, kSentinel);
  const XBSTATUS readStatus = XBDDRGETX(handle, record.data(), r);
  if (unreadable < exp.fields.size()) {
    EXPECT_EQ(readStatus, XB_E_DATE) << "field " << exp.fields[unreadable].name << " holds \""
                                     << raw.values[unreadable].bytes << "\"";
    ResetStatus();
  } else {
    EXPECT_EQ(readStatus, raw.deleted ? XB_DELETED : XB_OK);
    ExpectGuardIntact(record, unpacked, "XBDDRGETX");
  }
  EXPECT_EQ(record[0], raw.deleted ? '*' : ' ');
  size_t at = 1;
  for (size_t i = 0; i < unreadable; ++i) {
    SCOPED_TRACE("unpacked by XBDDRGETX");
    ExpectValue(checks[i], record.data() + at);
    at += UnpackedSize(exp.fields[i]);
  }

  EXPECT_EQ(XBDDRSTAT(handle), raw.deleted ? XB_DELETED : XB_OK);
  uint32_t current = 0;
  EXPECT_EQ(XBDDRNUM(handle, &current), XB_OK);
  EXPECT_EQ(current, r);

  // Field by field.
  for (size_t i = 0; i < exp.fields.size(); ++i) {
    const OracleField& f = exp.fields[i];
    const uint16_t no = static_cast<uint16_t>(i);
    std::vector<uint8_t> text(static_cast<size_t>(f.length) + 1 + kGuard, kSentinel);
    EXPECT_EQ(XBDDFGETS(handle, no, reinterpret_cast<char*>(text.data())), XB_OK) << f.name;
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(text.data()), static_cast<size_t>(f.length)),
        checks[i].raw)
        << "XBDDFGETS " << f.name;
    EXPECT_EQ(text[f.length], 0) << "XBDDFGETS " << f.name << ": no NUL";
    ExpectGuardIntact(text, static_cast<size_t>(f.length) + 1, "XBDDFGETS");

    std::vector<uint8_t> value(UnpackedSize(f) + kGuard, kSentinel);
    const XBSTATUS got = XBDDFGET(handle, no, value.data());
    if (UnreadableDate(f, checks[i].raw, checks[i].readings)) {
      EXPECT_EQ(got, XB_E_DATE) << "XBDDFGET " << f.name << " holds \"" << checks[i].raw << "\"";
      ResetStatus();
      continue;
    }
    EXPECT_EQ(got, XB_OK) << "XBDDFGET " << f.name;
    SCOPED_TRACE("XBDDFGET");
    ExpectValue(checks[i], value.data());
    ExpectGuardIntact(value, UnpackedSize(f), "XBDDFGET");
  }
}

}  // namespace

void CompareStructure(XBHANDLE handle, const Expectation& exp, int variant) {
  const size_t n = exp.fields.size();
  uint32_t count = 0;
  EXPECT_EQ(XBDDSIZE(handle, &count), XB_OK);
  EXPECT_EQ(count, exp.count.value_or(0));

  // One definition more than there are fields: it must stay untouched.
  std::vector<XBFIELDDEF> defs(n + 1);
  std::memset(defs.data(), kSentinel, defs.size() * sizeof(XBFIELDDEF));
  uint16_t longest = 0;
  EXPECT_EQ(XBDDFINFO(handle, &longest, defs.data()), XB_OK);
  int expectedLongest = 0;
  for (size_t i = 0; i < n; ++i) {
    const OracleField& f = exp.fields[i];
    SCOPED_TRACE("field " + std::to_string(i) + " " + f.name);
    expectedLongest = std::max(expectedLongest, f.length);
    EXPECT_EQ(std::string(defs[i].name, strnlen(defs[i].name, sizeof defs[i].name)), f.name);
    EXPECT_LT(strnlen(defs[i].name, sizeof defs[i].name), sizeof defs[i].name) << "no NUL";
    EXPECT_EQ(int{defs[i].type}, static_cast<uint16_t>(f.type));
    EXPECT_EQ(int{defs[i].length}, f.length);
    EXPECT_EQ(int{defs[i].decimals}, f.type == 'C' ? 0 : f.decimals);

    uint16_t number = 0xFFFF;
    EXPECT_EQ(XBDDFNAM2NO(handle, &number, Lowered(f.name).c_str()), XB_OK);
    EXPECT_EQ(number, i);
    char name[12] = {};
    EXPECT_EQ(XBDDFNO2NAM(handle, name, static_cast<uint16_t>(i)), XB_OK);
    EXPECT_EQ(std::string(name), f.name);
  }
  const auto* tail = reinterpret_cast<const uint8_t*>(&defs[n]);
  EXPECT_TRUE(std::all_of(tail, tail + sizeof(XBFIELDDEF), [](uint8_t b) {
    return b == kSentinel;
  })) << "XBDDFINFO wrote more definitions than there are fields";
  EXPECT_EQ(longest, expectedLongest);

  XBRECINFO recInfo{};
  EXPECT_EQ(XBDDRINFO(handle, &recInfo), XB_OK);
  int recordLength = 1;
  for (const auto& f : exp.fields) recordLength += f.length;
  EXPECT_EQ(int{recInfo.recordLength}, recordLength);
  EXPECT_EQ(size_t{recInfo.fieldCount}, n);

  XBFILEINFO info{};
  EXPECT_EQ(XBDDINFO(handle, &info), XB_OK);
  EXPECT_EQ(info.variant & 0x7F, variant);
  EXPECT_EQ(int{info.hasMemo}, exp.memo == "none" ? 0 : 1);
  EXPECT_EQ(std::string(info.path), exp.dataFile.string());

  if (exp.lastUpdate) {
    char date[16] = {};
    EXPECT_EQ(XBDDLUD(handle, date, 4), XB_OK);
    EXPECT_EQ(std::string(date), *exp.lastUpdate) << "date of the last update";
  }
}

void CompareRecords(XBHANDLE handle, const Expectation& exp, uint32_t first, uint32_t last) {
  ASSERT_NE(exp.RawReading(), nullptr) << "no raw reading by dbfread in the expectation";
  ASSERT_FALSE(exp.ValueReadings().empty());
  int failingRecords = 0;
  for (uint32_t r = first; r <= last; ++r) {
    const int before = FailureCount();
    CompareRecord(handle, exp, r);
    if (FailureCount() != before && ++failingRecords == 5) {
      ADD_FAILURE() << "records after " << r << " not compared: five records differ already";
      return;
    }
  }
}

}  // namespace kvtest
