// The read-ahead buffer that sequential passes (index builds) read through,
// and the engine's file layer beneath it.
#include "xbase/dbf/read_ahead.h"

#include "platform/kernel/fault.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

namespace {

using kv::xb::dbf::DataFile;

class ReadAhead : public kvtest::EngineTest {
 protected:
  DataFile& Open(size_t fieldLength, int records) {
    kvtest::DbfBuilder b;
    // 'C' lengths above 255 use the decimal byte as the high byte.
    b.Field("T", 'C', static_cast<uint8_t>(fieldLength & 0xFF),
            static_cast<uint8_t>(fieldLength >> 8));
    for (int r = 1; r <= records; ++r) b.Row({std::to_string(r)});
    kvtest::DbfBuilder::WriteFile(File("ra.dbf"), b.Bytes());
    EXPECT_EQ(XBDDOPENX(&h_, File("ra.dbf").c_str(), 0), 0);
    kv::xb::MakeCurrent(kv::xb::FindContext());
    return *static_cast<DataFile*>(kv::xb::Current().handles.Get(h_)->block.get());
  }
  std::string RecordText(const uint8_t* record, size_t length) {
    std::string s(reinterpret_cast<const char*>(record) + 1, length);
    return s.substr(0, s.find(' '));
  }
  XBHANDLE h_ = XB_NO_HANDLE;
};

TEST_F(ReadAhead, CapacityFollowsTheRecordLength) {
  struct Case {
    size_t fieldLength;  // record length is one more
    uint32_t capacity;
  };
  // 8 records when they take 512..16384 bytes; else what fits in 512 or
  // 16384 bytes, and one record at least.
  const Case cases[] = {{63, 8}, {2047, 8}, {9, 51}, {62, 8}, {2048, 7}, {20000, 1}};
  for (const auto& c : cases) {
    DataFile& file = Open(c.fieldLength, 3);
    ASSERT_EQ(kv::xb::dbf::PrepareReadAhead(file), 0);
    EXPECT_EQ(file.readAhead.capacity, c.capacity) << "record length " << c.fieldLength + 1;
    XBDDCLOSE(h_);
  }
}

TEST_F(ReadAhead, SequentialAndRandomReadsGiveEachRecord) {
  DataFile& file = Open(9, 120);  // 51 records a run
  const uint8_t* record = nullptr;
  for (uint32_t r = 1; r <= 120; ++r) {
    ASSERT_EQ(kv::xb::dbf::ReadAheadRecord(file, r, &record), 0);
    EXPECT_EQ(RecordText(record, 9), std::to_string(r));
  }
  EXPECT_EQ(file.readAhead.first, 103u);
  EXPECT_EQ(file.readAhead.held, 18u) << "fewer records near the end";
  for (uint32_t r : {5u, 119u, 1u, 52u, 51u}) {
    ASSERT_EQ(kv::xb::dbf::ReadAheadRecord(file, r, &record), 0);
    EXPECT_EQ(RecordText(record, 9), std::to_string(r));
  }
  EXPECT_EQ(kv::xb::dbf::ReadAheadRecord(file, 121, &record), XB_E_SEEK);
  XBESCODE(0);
  XBDDCLOSE(h_);
}

TEST_F(ReadAhead, AReadErrorIsReportedAndNothingStaleIsServed) {
  DataFile& file = Open(9, 120);
  const uint8_t* record = nullptr;
  ASSERT_EQ(kv::xb::dbf::ReadAheadRecord(file, 1, &record), 0);
  kvp::fault::Arm(kvp::fault::Op::Read, 1, 23 /* data error */);
  EXPECT_LT(kv::xb::dbf::ReadAheadRecord(file, 60, &record), 0);
  kvp::fault::Reset();
  XBESCODE(0);
  EXPECT_EQ(file.readAhead.held, 0u);
  ASSERT_EQ(kv::xb::dbf::ReadAheadRecord(file, 2, &record), 0);
  EXPECT_EQ(RecordText(record, 9), "2");
  XBDDCLOSE(h_);
}

TEST_F(ReadAhead, EraseOfAMissingFileIsAWarningAndRenameReportsNotFound) {
  kv::xb::MakeCurrent(kv::xb::FindContext());
  EXPECT_EQ(kv::xb::os::Erase(File("nothing.dbf").c_str()), XB_NOT_FOUND_ERASE);
  EXPECT_EQ(XBECODE(), XB_NOT_FOUND_ERASE) << "a warning, not an error";
  EXPECT_EQ(kv::xb::os::Rename(File("b").c_str(), File("nothing").c_str()),
            XB_E_RENAME_NOT_FOUND);
  XBESCODE(0);
  kvtest::DbfBuilder::WriteFile(File("a"), {1, 2, 3});
  EXPECT_FALSE(kv::xb::os::Exists(File("b").c_str()));
  EXPECT_EQ(kv::xb::os::Rename(File("b").c_str(), File("a").c_str()), 0);
  EXPECT_TRUE(kv::xb::os::Exists(File("b").c_str()));
  EXPECT_EQ(kv::xb::os::Erase(File("b").c_str()), 0);
  EXPECT_FALSE(kv::xb::os::Exists(File("b").c_str()));
}

}  // namespace
