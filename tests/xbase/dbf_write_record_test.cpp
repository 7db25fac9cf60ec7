// Appending, updating, deleting, undeleting and clearing records; the bytes
// they leave in the file, variant 7's end record, and write failures during
// an append.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/kernel/fault.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/packed.h"
#include "tests/xbase/dbf_write_support.h"

namespace kvtest {
namespace {

class DbfRecord : public EngineTest {
 protected:
  void Open(uint16_t variant = 1) {
    MakeNumberedFile(File("r.dbf"), 0, variant);
    ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), variant), 0);
  }
  void TearDown() override {
    kvp::fault::Reset();
    XBESCODE(0);
    if (h_ != XB_NO_HANDLE) XBDDCLOSE(h_);
    EngineTest::TearDown();
  }
  uint32_t Append(const char* name, double num) {
    EXPECT_EQ(XBDDFPUT(h_, 0, name), 0);
    EXPECT_EQ(XBDDFPUT(h_, 1, &num), 0);
    uint32_t no = 0;
    EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), 0);
    return no;
  }
  static constexpr size_t kHeader = 32 * 2 + 33;
  static constexpr size_t kRecord = 1 + 12 + 10;
  XBHANDLE h_ = XB_NO_HANDLE;
};

TEST_F(DbfRecord, AppendWritesRecordEndByteAndCount) {
  Open();
  EXPECT_EQ(Append("ONE", 1), 1u);
  uint32_t n = 0;
  ASSERT_EQ(XBDDRNUM(h_, &n), 0);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(Append("TWO", 2), 2u);
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 2u);
  const std::string b = Slurp(File("r.dbf"));
  ASSERT_EQ(b.size(), kHeader + 2 * kRecord + 1);
  EXPECT_EQ(Le32(b, 4), 2u);
  EXPECT_EQ(b.substr(kHeader, kRecord), " ONE               1.00");
  EXPECT_EQ(b.substr(kHeader + kRecord, kRecord), " TWO               2.00");
  EXPECT_EQ(b.back(), 0x1A);
  // Reopened, the file has both records and no length warning.
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), 1), 0);
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 2u);
}

TEST_F(DbfRecord, AppendClearsAStaleDeletionFlag) {
  Open();
  ASSERT_EQ(XBDDFPUTS(h_, 0, "X"), 0);
  std::vector<uint8_t> unpacked(1 + 13 + 8);
  ASSERT_EQ(Append("A", 1), 1u);
  ASSERT_EQ(XBDDRDEL(h_, 1), 0);
  ASSERT_EQ(XBDDRGET(h_, 1), XB_DELETED);
  uint32_t no = 0;
  ASSERT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), 0);  // the buffer still says '*'
  EXPECT_EQ(XBDDRGET(h_, 2), 0);
}

TEST_F(DbfRecord, Variant7EndsWithAWholeRecordOfEndBytes) {
  Open(7);
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(Append("V7", i), static_cast<uint32_t>(i));
    const std::string b = Slurp(File("r.dbf"));
    ASSERT_EQ(b.size(), kHeader + (i + 1) * kRecord);
    EXPECT_EQ(b.substr(kHeader + i * kRecord), std::string(kRecord, '\x1A'));
  }
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  // The file opens without the length warning.
  ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), 7), 0);
  uint32_t n = 0;
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 3u);
  ASSERT_EQ(XBDDRGET(h_, 3), 0);
  double num = 0;
  ASSERT_EQ(XBDDFGET(h_, 1, &num), 0);
  EXPECT_EQ(num, 3.0);
}

TEST_F(DbfRecord, UpdateRewritesInPlaceAndUndeletes) {
  Open();
  for (int i = 1; i <= 3; ++i) Append("R", i);
  ASSERT_EQ(XBDDRDEL(h_, 2), 0);
  ASSERT_EQ(XBDDRGET(h_, 2), XB_DELETED);
  ASSERT_EQ(XBDDFPUTS(h_, 0, "CHANGED"), 0);
  uint32_t no = 2;
  ASSERT_EQ(XBDDRPUT(h_, &no, XB_PUT_UPDATE), 0);
  EXPECT_EQ(no, 2u);
  uint32_t cur = 0;
  ASSERT_EQ(XBDDRNUM(h_, &cur), 0);
  EXPECT_EQ(cur, 2u);
  ASSERT_EQ(XBDDRGET(h_, 2), 0);  // present again
  EXPECT_EQ(StoredField(h_, 0), "CHANGED     ");
  const std::string b = Slurp(File("r.dbf"));
  EXPECT_EQ(b.size(), kHeader + 3 * kRecord + 1);
  EXPECT_EQ(Le32(b, 4), 3u);
  EXPECT_EQ(b.substr(kHeader + kRecord, kRecord), " CHANGED           2.00");
}

TEST_F(DbfRecord, UpdateAndModeArgumentChecks) {
  Open();
  Append("A", 1);
  uint32_t no = 0;
  EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_UPDATE), XB_E_SEEK);
  XBESCODE(0);
  no = 2;
  EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_UPDATE), XB_E_SEEK);
  XBESCODE(0);
  no = 1;
  EXPECT_EQ(XBDDRPUT(h_, &no, 1), XB_E_ARGUMENT);
  XBESCODE(0);
  EXPECT_EQ(XBDDRPUT(h_, &no, 0x0200), XB_E_ARGUMENT);
  XBESCODE(0);
  EXPECT_EQ(XBDDRPUT(h_, nullptr, XB_PUT_APPEND), XB_E_NULL);
  XBESCODE(0);
  EXPECT_EQ(XBDDRPUT(static_cast<XBHANDLE>(h_ + 1), &no, XB_PUT_APPEND), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_EQ(Slurp(File("r.dbf")).size(), kHeader + kRecord + 1);
}

TEST_F(DbfRecord, UnpackedRecordsRoundTripEveryType) {
  XBFIELDDEF defs[] = {Def("NAME", 'C', 6), Def("WHEN", 'D', 8),  Def("AMOUNT", 'N', 8, 2),
                       Def("OK", 'L', 1),   Def("NOTE", 'M', 10), Def("RATE", 'F', 12, 4)};
  ASSERT_EQ(XBDDCREATE(File("u.dbf").c_str(), 6, defs, 4), 0);
  ASSERT_EQ(XBDDOPENX(&h_, File("u.dbf").c_str(), 4), 0);
  // flag, C 6+1, D 8+1, N 8, L 1, M 4, F 8
  std::vector<uint8_t> rec(1 + 7 + 9 + 8 + 1 + 4 + 8, 0);
  rec[0] = '*';  // an append sets the flag to ' ' whatever it was
  std::memcpy(&rec[1], "HELLO", 6);
  std::memcpy(&rec[8], "20000101", 9);
  const double amount = -123.25, rate = 0.0625;
  const uint32_t block = 77;
  std::memcpy(&rec[17], &amount, 8);
  rec[25] = 'y';
  std::memcpy(&rec[26], &block, 4);
  std::memcpy(&rec[30], &rate, 8);
  uint32_t no = 0;
  ASSERT_EQ(XBDDRPUTX(h_, rec.data(), &no, XB_PUT_APPEND), 0);
  ASSERT_EQ(no, 1u);
  std::vector<uint8_t> back(rec.size(), 0xEE);
  ASSERT_EQ(XBDDRGETX(h_, back.data(), 1), 0);
  EXPECT_EQ(back[0], ' ');
  EXPECT_EQ(std::memcmp(&back[1], "HELLO ", 7), 0);
  EXPECT_EQ(std::memcmp(&back[8], "20000101", 9), 0);
  double d = 0;
  std::memcpy(&d, &back[17], 8);
  EXPECT_EQ(d, amount);
  EXPECT_EQ(back[25], 1);
  uint32_t m = 0;
  std::memcpy(&m, &back[26], 4);
  EXPECT_EQ(m, block);
  std::memcpy(&d, &back[30], 8);
  EXPECT_EQ(d, rate);
  // The record read back goes in again as an update, unchanged.
  const std::string before = Slurp(File("u.dbf"));
  ASSERT_EQ(XBDDRPUTX(h_, back.data(), &no, XB_PUT_UPDATE), 0);
  EXPECT_EQ(Slurp(File("u.dbf")), before);

  // A 'C' slot without its NUL is cut to the field (+5), not read beyond.
  std::memset(&rec[1], 'Z', 7);
  ASSERT_EQ(XBDDRPUTX(h_, rec.data(), &no, XB_PUT_UPDATE), XB_CUT);
  EXPECT_EQ(StoredField(h_, 0), "ZZZZZZ");
  // A value that does not fit stops the put: nothing is written.
  rec[25] = '?';
  const std::string kept = Slurp(File("u.dbf"));
  EXPECT_EQ(XBDDRPUTX(h_, rec.data(), &no, XB_PUT_APPEND), XB_E_VALUE);
  XBESCODE(0);
  EXPECT_EQ(Slurp(File("u.dbf")), kept);
  uint32_t n = 0;
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 1u);
}

TEST_F(DbfRecord, DeleteAndUndelete) {
  Open();
  for (int i = 1; i <= 3; ++i) Append("R", i);
  EXPECT_EQ(XBDDRDEL(h_, 2), 0);
  uint32_t cur = 0;
  ASSERT_EQ(XBDDRNUM(h_, &cur), 0);
  EXPECT_EQ(cur, 2u);
  EXPECT_EQ(XBDDRSTAT(h_), XB_DELETED);
  EXPECT_EQ(Slurp(File("r.dbf"))[kHeader + kRecord], '*');
  EXPECT_EQ(XBDDRDEL(h_, 2), 0);  // already deleted: nothing more
  EXPECT_EQ(XBDDRUNDEL(h_, 2), 0);
  EXPECT_EQ(Slurp(File("r.dbf"))[kHeader + kRecord], ' ');
  EXPECT_EQ(XBDDRSTAT(h_), 0);
  EXPECT_EQ(XBDDRUNDEL(h_, 2), 0);
  EXPECT_EQ(XBDDRDEL(h_, 0), XB_E_SEEK);
  XBESCODE(0);
  EXPECT_EQ(XBDDRUNDEL(h_, 4), XB_E_SEEK);
  XBESCODE(0);
  // Only the flag changed: the other records and the count are as written.
  const std::string b = Slurp(File("r.dbf"));
  EXPECT_EQ(Le32(b, 4), 3u);
  EXPECT_EQ(b.size(), kHeader + 3 * kRecord + 1);
}

TEST_F(DbfRecord, ClearAndFlush) {
  Open();
  Append("ABC", 5);
  ASSERT_EQ(XBDDRDEL(h_, 1), 0);
  EXPECT_EQ(XBDDRCLEAR(h_), 0);
  XBRECINFO info{};
  ASSERT_EQ(XBDDRINFO(h_, &info), 0);
  EXPECT_EQ(std::string(static_cast<const char*>(info.buffer), kRecord), std::string(kRecord, ' '));
  EXPECT_EQ(XBDDFLUSH(h_), XB_FLUSH_NOOP);
  EXPECT_EQ(XBDDFLUSH(static_cast<XBHANDLE>(h_ + 1)), XB_E_HANDLE);
}

TEST_F(DbfRecord, CloseWritesTheUpdateDateOnlyAfterAChange) {
  Open();
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  // An old date in the header: a close without change keeps it.
  std::string b = Slurp(File("r.dbf"));
  b[1] = 80;
  b[2] = 1;
  b[3] = 2;
  {
    FILE* f = std::fopen(File("r.dbf").c_str(), "wb");
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
  ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), 1), 0);
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  EXPECT_EQ(Slurp(File("r.dbf"))[1], 80);
  ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), 1), 0);
  Append("X", 1);
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  h_ = XB_NO_HANDLE;
  EXPECT_NE(Slurp(File("r.dbf"))[1], 80);
}

TEST_F(DbfRecord, ReadAheadDoesNotServeStaleRecords) {
  Open();
  for (int i = 1; i <= 5; ++i) Append("OLD", i);
  char name[13] = {};
  // Appends, updates and deletes go around the read-ahead buffer; what the
  // record reads return must follow them.
  ASSERT_EQ(XBDDRGET(h_, 3), 0);
  ASSERT_EQ(XBDDFPUTS(h_, 0, "NEW"), 0);
  uint32_t no = 3;
  ASSERT_EQ(XBDDRPUT(h_, &no, XB_PUT_UPDATE), 0);
  ASSERT_EQ(XBDDRGET(h_, 3), 0);
  ASSERT_EQ(XBDDFGETS(h_, 0, name), 0);
  EXPECT_STREQ(name, "NEW         ");
}

TEST_F(DbfRecord, WriteFailuresDuringAppendKeepTheCount) {
  Open();
  Append("A", 1);
  const std::string before = Slurp(File("r.dbf"));
  // First write: the record itself; second: the count.
  for (unsigned nth : {1u, 2u}) {
    SCOPED_TRACE("failing write " + std::to_string(nth));
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Write, nth, kvp::ERROR_DISK_FULL);
    uint32_t no = 0;
    EXPECT_EQ(XBDDRPUT(h_, &no, XB_PUT_APPEND), XB_E_WRITE);
    XBESCODE(0);
    uint32_t n = 0;
    ASSERT_EQ(XBDDSIZE(h_, &n), 0);
    EXPECT_EQ(n, 1u);
    const std::string after = Slurp(File("r.dbf"));
    EXPECT_EQ(Le32(after, 4), 1u);
    EXPECT_EQ(after.substr(0, before.size() - 1), before.substr(0, before.size() - 1));
  }
  kvp::fault::Reset();
  // The next append takes record 2 as if nothing had happened.
  EXPECT_EQ(Append("B", 2), 2u);
  ASSERT_EQ(XBDDCLOSE(h_), 0);
  ASSERT_EQ(XBDDOPENX(&h_, File("r.dbf").c_str(), 1), 0);
  uint32_t n = 0;
  ASSERT_EQ(XBDDSIZE(h_, &n), 0);
  EXPECT_EQ(n, 2u);
}

}  // namespace
}  // namespace kvtest
