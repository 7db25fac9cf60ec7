// Damaged and hostile headers: every refusal gives its status, leaves the out
// handle at 65535, keeps the code until XBESCODE(0) and leaves no memory
// block or file behind; the unusual but valid layouts open and read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/dbf_builder.h"
#include "tests/support/temp_dir.h"
#include "tests/xbase_oracle/engine_session.h"

namespace kvtest {
namespace {

// Two fields, two records: the base every damaged header starts from.
DbfBuilder Sample() {
  DbfBuilder b;
  b.Field("NAME", 'C', 6).Field("AMOUNT", 'N', 5, 1);
  b.Record(
       "Alice "
       " 12.5")
      .Record(
          "Bob   "
          " -1.0");
  return b;
}

class HeaderQuirks : public ::testing::Test {
 protected:
  EngineSession engine_{4};
  TempDir dir_;

  std::filesystem::path Write(const std::string& bytes, const char* name = "q.dbf") {
    const std::filesystem::path path = dir_.File(name);
    DbfBuilder::WriteFile(path, bytes);
    return path;
  }

  // Opens, expects `status` (0 or a warning), returns the handle.
  XBHANDLE Open(const std::filesystem::path& path, uint16_t mode, XBSTATUS status = XB_OK) {
    XBHANDLE handle = XB_NO_HANDLE;
    EXPECT_EQ(XBDDOPENX(&handle, path.c_str(), mode), status);
    EXPECT_NE(handle, XB_NO_HANDLE);
    return handle;
  }

  std::string FieldText(XBHANDLE handle, uint16_t field, size_t length) {
    std::string text(length + 1, '#');
    EXPECT_EQ(XBDDFGETS(handle, field, text.data()), XB_OK);
    EXPECT_EQ(text[length], '\0');
    return text.substr(0, length);
  }
};

TEST_F(HeaderQuirks, VersionBytesOfOtherFormatsAreRefusedByEveryVariant) {
  // Visual Objects, Visual FoxPro (plain and with autoincrement), dBASE 7
  // (plain and with memo), FoxBASE, dBASE IV SQL tables, HiPer-Six.
  for (uint8_t version : {0x00, 0x02, 0x04, 0x07, 0x30, 0x31, 0x43, 0x63, 0x8C, 0xCB, 0xE5, 0xFB}) {
    SCOPED_TRACE("version 0x" + std::to_string(version));
    const auto path = Write(Sample().Version(version).Bytes());
    for (int variant = 1; variant <= 9; ++variant)
      ExpectRefusedOpen(path, static_cast<uint16_t>(variant), XB_E_FORMAT);
  }
}

TEST_F(HeaderQuirks, MemoVersionBytesOpenOnlyWithTheirVariants) {
  for (uint8_t version : {0x83, 0x8B, 0xF5}) {
    DbfBuilder b = Sample();
    b.Version(version);
    const auto path = Write(b.Bytes());
    for (int variant = 1; variant <= 9; ++variant) {
      SCOPED_TRACE("version " + std::to_string(version) + " variant " + std::to_string(variant));
      if (!VariantAccepts(variant, version)) {
        ExpectRefusedOpen(path, static_cast<uint16_t>(variant), XB_E_FORMAT);
        continue;
      }
      XBHANDLE h = Open(path, static_cast<uint16_t>(variant));
      EXPECT_EQ(XBDDCLOSE(h), XB_OK);
    }
  }
}

TEST_F(HeaderQuirks, MemoFieldNeedsAMemoVersionByte) {
  DbfBuilder b;
  b.Field("NAME", 'C', 4)
      .Field("NOTES", 'M', 10)
      .Record(
          "abcd"
          "         1");
  ExpectRefusedOpen(Write(b.Bytes()), 1, XB_E_FORMAT);  // 0x03: no memo file
  ExpectRefusedOpen(Write(b.Bytes()), 4, XB_E_FORMAT);  // FoxPro wants 0xF5
  b.Version(0xF5);
  ExpectRefusedOpen(Write(b.Bytes()), 1, XB_E_FORMAT);  // 0xF5 is FoxPro's only
  XBHANDLE h = Open(Write(b.Bytes()), 4);
  XBFILEINFO info{};
  EXPECT_EQ(XBDDINFO(h, &info), XB_OK);
  EXPECT_EQ(int{info.hasMemo}, 1);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, TruncatedHeadersAreReadFailures) {
  const std::string whole = Sample().Bytes();
  // Shorter than the 32-byte header, and cut inside the descriptors.
  for (size_t size :
       {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{48}, size_t{64}, size_t{95}}) {
    SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
    ExpectRefusedOpen(Write(whole.substr(0, size)), 1, XB_E_READ);
  }
  // The header promises five descriptors; the file holds two and a record.
  ExpectRefusedOpen(Write(Sample().HeaderLength(32 * 5 + 33).Bytes()), 1, XB_E_READ);
}

TEST_F(HeaderQuirks, HeaderLengthBeyondTheFileOrOverflowingIsRefused) {
  // 2046 descriptors promised by a file of a few bytes: a read failure, not
  // an allocation of the promised size read from nowhere.
  ExpectRefusedOpen(Write(Sample().HeaderLength(0xFFE1).Bytes()), 1, XB_E_READ);
  ExpectRefusedOpen(Write(Sample().HeaderLength(0xFFE0).Bytes()), 1, XB_E_READ);
  // 0xFFFF is 31 beyond a multiple of 32.
  ExpectRefusedOpen(Write(Sample().HeaderLength(0xFFFF).Bytes()), 1, XB_E_HEADER_LENGTH);
  // Shorter than the header itself: no field count can come from it.
  for (uint16_t length : {0, 1, 2, 31}) {
    SCOPED_TRACE("header length " + std::to_string(length));
    ExpectRefusedOpen(Write(Sample().HeaderLength(length).Bytes()), 1, XB_E_HEADER_LENGTH);
  }
}

TEST_F(HeaderQuirks, HeaderLengthMustBeAMultipleOf32PlusAtMost2) {
  const uint16_t natural = Sample().NaturalHeaderLength();  // 32 * 2 + 33
  for (int extra : {3, 4, 8, 16, 31}) {
    SCOPED_TRACE("header length 32n + " + std::to_string(extra));
    DbfBuilder b = Sample();
    b.HeaderLength(static_cast<uint16_t>(natural - 1 + extra));
    ExpectRefusedOpen(Write(b.Bytes()), 1, XB_E_HEADER_LENGTH);
  }
  // 32n + 2 is allowed, and the records start there: one byte later than
  // this file's writer put them (its 0x1A end byte makes up the length).
  // Record 1 then begins with the 'A' of "Alice", which is no space: the
  // record reads as deleted.
  DbfBuilder b = Sample();
  b.HeaderLength(static_cast<uint16_t>(natural + 1));
  XBHANDLE h = Open(Write(b.Bytes()), 1);
  EXPECT_EQ(XBDDRGETX(h, nullptr, 1), XB_DELETED);
  EXPECT_EQ(FieldText(h, 0, 6), "lice  ");
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, RecordLengthMustBeTheSumOfTheFields) {
  const uint16_t natural = Sample().NaturalRecordLength();
  for (uint16_t length :
       {uint16_t{0}, uint16_t{1}, uint16_t(natural - 1), uint16_t(natural + 1), uint16_t{0xFFFF}}) {
    SCOPED_TRACE("record length " + std::to_string(length));
    ExpectRefusedOpen(Write(Sample().RecordLength(length).Bytes()), 1, XB_E_RECORD_LENGTH);
  }
}

TEST_F(HeaderQuirks, FieldLengthsThatWrapSixteenBitsDoNotMatch) {
  // 1 + 65535 + 1 = 65537, which a 16-bit running total would see as 1.
  DbfBuilder b;
  b.Field("HUGE", 'C', 0xFF, 0xFF).Field("ONE", 'C', 1).RecordLength(1);
  ExpectRefusedOpen(Write(b.Bytes()), 1, XB_E_RECORD_LENGTH);
  // One field of 65535 bytes: the record would need 65536.
  DbfBuilder c;
  c.Field("HUGE", 'C', 0xFF, 0xFF).RecordLength(0);
  ExpectRefusedOpen(Write(c.Bytes()), 1, XB_E_RECORD_LENGTH);
}

TEST_F(HeaderQuirks, FieldNamesMustHaveOneToElevenBytes) {
  // An empty name, first or later.
  DbfBuilder first;
  first.Field("", 'C', 3).Record("abc");
  ExpectRefusedOpen(Write(first.Bytes()), 1, XB_E_FIELD_NAME);
  DbfBuilder later;
  later.Field("A", 'C', 3).Field(std::string("\0XYZ", 4), 'C', 2).Record("abcde");
  ExpectRefusedOpen(Write(later.Bytes()), 1, XB_E_FIELD_NAME);

  // Eleven name bytes leave no NUL before the type byte: a valid name.
  // Garbage after a NUL is not part of the name; lower case is raised.
  DbfBuilder b;
  b.Field("ABCDEFGHIJK", 'C', 3).Field(std::string("ab\0\xFF\xFE", 5), 'n', 2).Record("xyz12");
  XBHANDLE h = Open(Write(b.Bytes()), 1);
  XBFIELDDEF defs[2];
  uint16_t longest = 0;
  EXPECT_EQ(XBDDFINFO(h, &longest, defs), XB_OK);
  EXPECT_STREQ(defs[0].name, "ABCDEFGHIJK");
  EXPECT_EQ(int{defs[0].type}, 'C');
  EXPECT_STREQ(defs[1].name, "AB");
  EXPECT_EQ(int{defs[1].type}, 'N');
  char name[12];
  EXPECT_EQ(XBDDFNO2NAM(h, name, 0), XB_OK);
  EXPECT_STREQ(name, "ABCDEFGHIJK");
  uint16_t number = 99;
  EXPECT_EQ(XBDDFNAM2NO(h, &number, "abcdefghijk"), XB_OK);
  EXPECT_EQ(number, 0);
  EXPECT_EQ(XBDDRGETX(h, nullptr, 1), XB_OK);
  double value = 0;
  EXPECT_EQ(XBDDFGET(h, 1, &value), XB_OK);
  EXPECT_EQ(value, 12.0);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, UnknownFieldTypesAreRefused) {
  for (char type : {'X', '0', 'I', 'B', 'G', 'T', '@', '+', 'O', '\0'}) {
    SCOPED_TRACE(std::string("type ") + type);
    DbfBuilder b;
    b.Field("A", 'C', 2).Field("B", type, 4).Record("ab1234");
    ExpectRefusedOpen(Write(b.Bytes()), 1, XB_E_FIELD_TYPE);
  }
}

TEST_F(HeaderQuirks, ReservedDescriptorAndHeaderBytesAreIgnored) {
  // python3-dbf keeps field offsets in descriptor bytes 12..15, FoxPro
  // flags in 18; damaged files hold anything there.
  DbfBuilder b;
  FieldSpec name{"NAME", 'C', 6, 0, {0xFF, 0xEE, 0xDD, 0xCC}, {}};
  name.reserved18.fill(0xAB);
  FieldSpec amount{"AMOUNT", 'N', 5, 1, {0x07, 0x00, 0x00, 0x00}, {}};
  amount.reserved18.fill(0xFF);
  b.Field(name).Field(amount).Record(
      "Alice "
      " 12.5");
  for (size_t offset = 12; offset < 32; ++offset)
    if (offset != 28) b.HeaderByte(offset, static_cast<uint8_t>(0xF0 + offset % 16));
  for (int variant : {1, 2, 8}) {
    SCOPED_TRACE("variant " + std::to_string(variant));
    XBHANDLE h = Open(Write(b.Bytes()), static_cast<uint16_t>(variant));
    XBFIELDDEF defs[2];
    uint16_t longest = 0;
    EXPECT_EQ(XBDDFINFO(h, &longest, defs), XB_OK);
    EXPECT_EQ(int{defs[0].length}, 6);
    EXPECT_EQ(int{defs[0].decimals}, 0);
    EXPECT_EQ(int{defs[1].length}, 5);
    EXPECT_EQ(int{defs[1].decimals}, 1);
    XBFILEINFO info{};
    EXPECT_EQ(XBDDINFO(h, &info), XB_OK);
    EXPECT_EQ(int{info.flag14}, 0xF0 + 14);
    EXPECT_EQ(int{info.flag15}, 0xF0 + 15);
    EXPECT_EQ(XBDDRGETX(h, nullptr, 1), XB_OK);
    EXPECT_EQ(FieldText(h, 0, 6), "Alice ");
    double value = 0;
    EXPECT_EQ(XBDDFGET(h, 1, &value), XB_OK);
    EXPECT_EQ(value, 12.5);
    EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  }
}

TEST_F(HeaderQuirks, ProductionFlagIsCheckedByVariants2And8Only) {
  DbfBuilder b = Sample();
  b.HeaderByte(28, 2);
  const auto path = Write(b.Bytes());
  ExpectRefusedOpen(path, 2, XB_E_PRODUCTION_FLAG);
  ExpectRefusedOpen(path, 8, XB_E_PRODUCTION_FLAG);
  XBHANDLE h = Open(path, 1);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  b.HeaderByte(28, 1);
  h = Open(Write(b.Bytes()), 8);
  XBFILEINFO info{};
  EXPECT_EQ(XBDDINFO(h, &info), XB_OK);
  EXPECT_EQ(int{info.production}, 1);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, TerminatorBlockMakesVariant9WhateverWasAsked) {
  DbfBuilder b = Sample();
  b.TerminatorBlock();
  const auto path = Write(b.Bytes());
  for (int asked : {1, 2, 4, 9}) {
    SCOPED_TRACE("asked variant " + std::to_string(asked));
    XBHANDLE h = Open(path, static_cast<uint16_t>(asked));
    XBFILEINFO info{};
    EXPECT_EQ(XBDDINFO(h, &info), XB_OK);
    EXPECT_EQ(info.variant & 0x7F, 9);
    XBRECINFO rec{};
    EXPECT_EQ(XBDDRINFO(h, &rec), XB_OK);
    EXPECT_EQ(int{rec.fieldCount}, 2);
    EXPECT_EQ(XBDDRGETX(h, nullptr, 2), XB_OK);
    EXPECT_EQ(FieldText(h, 0, 6), "Bob   ");
    EXPECT_EQ(FieldText(h, 1, 5), " -1.0");
    EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  }
}

TEST_F(HeaderQuirks, CharacterFieldLengthTakesTheDecimalByteAsHighByte) {
  // Length byte 0 and decimal byte 1: 256 characters; 0x2C and 2: 556.
  std::string first(256, 'a');
  first.back() = 'Z';
  std::string second(556, ' ');
  second.replace(0, 5, "hello");
  second.replace(550, 6, "world!");
  DbfBuilder b;
  b.Field("WIDE", 'C', 0, 1)
      .Field("WIDER", 'C', 0x2C, 2)
      .Field("N", 'N', 3)
      .Record(first + second + "-42");
  XBHANDLE h = Open(Write(b.Bytes()), 1);
  XBFIELDDEF defs[3];
  uint16_t longest = 0;
  EXPECT_EQ(XBDDFINFO(h, &longest, defs), XB_OK);
  EXPECT_EQ(longest, 556);
  EXPECT_EQ(int{defs[0].length}, 256);
  EXPECT_EQ(int{defs[0].decimals}, 0);
  EXPECT_EQ(int{defs[1].length}, 556);
  EXPECT_EQ(int{defs[1].decimals}, 0);
  XBRECINFO rec{};
  EXPECT_EQ(XBDDRINFO(h, &rec), XB_OK);
  EXPECT_EQ(int{rec.recordLength}, 1 + 256 + 556 + 3);

  std::vector<char> unpacked(1 + 257 + 557 + 8 + 16, '\x5A');
  EXPECT_EQ(XBDDRGETX(h, unpacked.data(), 1), XB_OK);
  EXPECT_EQ(std::string(unpacked.data() + 1), first);
  EXPECT_EQ(std::string(unpacked.data() + 1 + 257), second);
  double n = 0;
  std::memcpy(&n, unpacked.data() + 1 + 257 + 557, sizeof n);
  EXPECT_EQ(n, -42.0);
  EXPECT_EQ(unpacked[1 + 257 + 557 + 8], '\x5A') << "written beyond the unpacked record";
  EXPECT_EQ(FieldText(h, 0, 256), first);
  EXPECT_EQ(FieldText(h, 1, 556), second);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, TheLargestFieldCountOpens) {
  // Header length 0xFFE1: 2046 descriptors, the most a 16-bit header length
  // allows. All one-byte character fields.
  DbfBuilder b;
  std::string record;
  for (int i = 0; i < 2046; ++i) {
    b.Field("F" + std::to_string(i), 'C', 1);
    record += static_cast<char>('a' + i % 26);
  }
  b.Record(record);
  ASSERT_EQ(b.NaturalHeaderLength(), 0xFFE1);
  XBHANDLE h = Open(Write(b.Bytes()), 1);
  XBRECINFO rec{};
  EXPECT_EQ(XBDDRINFO(h, &rec), XB_OK);
  EXPECT_EQ(int{rec.fieldCount}, 2046);
  EXPECT_EQ(int{rec.recordLength}, 2047);
  std::vector<XBFIELDDEF> defs(2046);
  uint16_t longest = 0;
  EXPECT_EQ(XBDDFINFO(h, &longest, defs.data()), XB_OK);
  EXPECT_STREQ(defs[2045].name, "F2045");
  EXPECT_EQ(XBDDRGETX(h, nullptr, 1), XB_OK);
  EXPECT_EQ(FieldText(h, 2045, 1), std::string(1, static_cast<char>('a' + 2045 % 26)));
  EXPECT_EQ(FieldText(h, 0, 1), "a");
  char text[4];
  EXPECT_EQ(XBDDFGETS(h, 2046, text), XB_E_FIELD_NUMBER);
  ResetStatus();
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
}

TEST_F(HeaderQuirks, RefusalsLeaveTheEngineUsable) {
  // Refusal after refusal, then a good file: no slot, block or file is lost
  // on the way (more refusals than the engine has handles).
  const auto bad = Write(Sample().RecordLength(3).Bytes(), "bad.dbf");
  const auto good = Write(Sample().Bytes(), "good.dbf");
  const Holdings before = Holdings::Now();
  for (int i = 0; i < 150; ++i) {
    XBHANDLE h = 7;
    ASSERT_EQ(XBDDOPENX(&h, bad.c_str(), 1), XB_E_RECORD_LENGTH);
    ASSERT_EQ(h, XB_NO_HANDLE);
    ASSERT_EQ(XBESCODE(0), XB_OK);
  }
  EXPECT_EQ(Holdings::Now(), before);
  XBHANDLE h = Open(good, 1);
  EXPECT_EQ(XBDDRGETX(h, nullptr, 2), XB_OK);
  EXPECT_EQ(XBDDCLOSE(h), XB_OK);
  EXPECT_EQ(Holdings::Now(), before);
}

}  // namespace
}  // namespace kvtest
