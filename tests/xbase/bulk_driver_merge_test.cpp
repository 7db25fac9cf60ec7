// The driver with a family of its own: keys so long that more runs than
// elements fit the sort buffer (each run then merges through a window of
// one element), every element handed over once and in order, and the
// family's Finish not called after a failure.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/xbase/bulk_fixture.h"
#include "xbase/build/bulk_build.h"
#include "xbase/frame/endian.h"

namespace kvtest {
namespace {

// Keys of `length` bytes: the record's NAME field, then filler.
class RecordingFamily : public kv::xb::bulk::FamilyBuilder {
 public:
  explicit RecordingFamily(int length) : length_(length) {}
  int KeyLength() const override { return length_; }
  XBSTATUS MakeKey(XBHANDLE data, uint32_t record, uint8_t* out) override {
    const uint8_t* buffer = kv::xb::bulk::RecordBuffer(data);
    std::memset(out, static_cast<int>('a' + record % 3), static_cast<size_t>(length_));
    std::memcpy(out, buffer + 1, 10);
    ++made;
    return 0;
  }
  XBSTATUS Append(const uint8_t* sortKey, uint32_t record) override {
    keys.emplace_back(reinterpret_cast<const char*>(sortKey), static_cast<size_t>(length_));
    records.push_back(record);
    return failAt != 0 && records.size() == failAt ? XB_E_WRITE : 0;
  }
  XBSTATUS Finish() override {
    ++finished;
    return 0;
  }
  const char* ModuleName() const override { return "Cindex"; }

  int length_;
  uint32_t made = 0;
  int finished = 0;
  size_t failAt = 0;
  std::vector<std::string> keys;
  std::vector<uint32_t> records;
};

class BulkDriverMerge : public BulkTest {};

TEST_F(BulkDriverMerge, MoreRunsThanElementsPerBufferStillMerge) {
  // 1000-byte keys: 64 elements per 65000-byte buffer, so 5000 records make
  // 79 runs, more than 64.
  const uint32_t count = 5000;
  const std::string path = File("long.dbf");
  WriteDataFile(path, {{"NAME", 'C', 10}}, count, [](uint32_t r) {
    char text[11];
    std::snprintf(text, sizeof text, "%010u", (r * 2654435761u) % 1009u);
    return std::vector<std::string>{text};
  });
  XBHANDLE data = OpenData(path);
  uint32_t size = 0;
  ASSERT_EQ(XBDDSIZE(data, &size), 0);
  RecordingFamily family(1000);
  ASSERT_EQ(kv::xb::bulk::RunBulkBuild(data, File("x.idx").c_str(), family), 0);
  EXPECT_EQ(family.made, count);
  EXPECT_EQ(family.finished, 1);
  ASSERT_EQ(family.records.size(), count);
  std::vector<bool> seen(count + 1, false);
  for (size_t i = 0; i < count; ++i) {
    ASSERT_FALSE(seen[family.records[i]]);
    seen[family.records[i]] = true;
    if (i > 0) {
      const int c = std::memcmp(family.keys[i - 1].data(), family.keys[i].data(), 1000);
      ASSERT_TRUE(c < 0 || (c == 0 && family.records[i - 1] < family.records[i])) << i;
    }
  }
}

TEST_F(BulkDriverMerge, AFamilyFailureStopsTheMergeWithoutFinish) {
  const std::string path = File("short.dbf");
  WriteDataFile(path, {{"NAME", 'C', 10}}, 20000,
                [](uint32_t r) { return std::vector<std::string>{std::to_string(r % 77)}; });
  XBHANDLE data = OpenData(path);
  uint32_t size = 0;
  ASSERT_EQ(XBDDSIZE(data, &size), 0);
  RecordingFamily family(10);
  family.failAt = 7777;
  EXPECT_EQ(kv::xb::bulk::RunBulkBuild(data, File("x.ntx").c_str(), family), XB_E_WRITE);
  XBESCODE(0);
  EXPECT_EQ(family.records.size(), 7777u);
  EXPECT_EQ(family.finished, 0);
  // The data file is unlocked again: a lock of its own succeeds.
  int16_t lockStatus = -1;
  EXPECT_EQ(XBDDLOCK(data, 2, &lockStatus), 0);
  EXPECT_EQ(lockStatus, 0);
  EXPECT_EQ(XBDDUNLOCK(data, 2, &lockStatus), 0);
}

TEST_F(BulkDriverMerge, KeysLongerThanAnyFamilyUsesAreRefused) {
  const std::string path = File("one.dbf");
  WriteDataFile(path, {{"NAME", 'C', 10}}, 3,
                [](uint32_t r) { return std::vector<std::string>{std::to_string(r)}; });
  XBHANDLE data = OpenData(path);
  uint32_t size = 0;
  ASSERT_EQ(XBDDSIZE(data, &size), 0);
  RecordingFamily family(2000);
  EXPECT_LT(kv::xb::bulk::RunBulkBuild(data, File("x.idx").c_str(), family), 0);
  XBESCODE(0);
  EXPECT_EQ(family.made, 0u);
}

}  // namespace
}  // namespace kvtest
