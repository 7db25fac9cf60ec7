// Failures in the middle of IDX and NTX bulk builds: a read error (data file,
// sort file) or a write error (sort file, index pages, header) at several
// points of the build, and a disk that will not grow the index file. A
// failed build returns the error and leaves neither the index file nor a
// sort file behind; a build the failure did not reach is complete and sound.
#include <gtest/gtest.h>

#include <functional>

#include "platform/kernel/fault.h"
#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/bulk_idx_support.h"
#include "tests/xbase/idx_support.h"
#include "tests/xbase/ntx_support.h"

namespace kvtest {
namespace {

using kvp::fault::Op;

constexpr uint32_t kRecords = 20000;  // several sorted runs

class BulkIdxFailure : public BulkTest {
 protected:
  void TearDown() override {
    kvp::fault::Reset();
    BulkTest::TearDown();
  }

  // Runs `build` once to count the calls of `op`, then again with the nth
  // call failing for n spread over the build; `sound` checks a finished one.
  void InjectAt(Op op, uint32_t error, const std::string& index,
                const std::function<XBSTATUS()>& build, const std::function<std::string()>& sound) {
    kvp::fault::Reset();
    ASSERT_EQ(build(), 0);
    const unsigned calls = kvp::fault::Calls(op);
    ASSERT_GT(calls, 4u);
    ASSERT_EQ(sound(), "");
    int failed = 0;
    for (const unsigned nth :
         {1u, 2u, calls / 5, calls / 3, calls / 2, 2 * calls / 3, calls - 2, calls - 1, calls}) {
      SCOPED_TRACE("call " + std::to_string(nth) + " of " + std::to_string(calls));
      std::remove(index.c_str());
      kvp::fault::Reset();
      kvp::fault::Arm(op, nth, error);
      const XBSTATUS s = build();
      kvp::fault::Arm(op, 0, 0);
      EXPECT_TRUE(SortFilesIn(dir_.path()).empty()) << "sort file left behind";
      if (s < 0) {
        ++failed;
        EXPECT_FALSE(std::ifstream(index).good()) << "index file left after " << s;
        XBESCODE(0);
      } else {
        EXPECT_EQ(sound(), "");
      }
    }
    EXPECT_GE(failed, 5);
  }

  XBHANDLE Data() {
    const std::string path = File("data.dbf");
    WriteBulkDataFile(path, kRecords, 41);
    return OpenData(path);
  }
};

std::string IdxSound(const std::string& path, size_t records) {
  const IdxCheckResult r = CheckIdxFile(path);
  if (!r.error.empty()) return r.error;
  return r.entries.size() == records ? "" : "entries missing";
}

std::string NtxSound(const std::string& path, size_t records) {
  const NtxCheckResult r = CheckNtxFile(path);
  if (!r.error.empty()) return r.error;
  return r.entries.size() == records ? "" : "entries missing";
}

TEST_F(BulkIdxFailure, ReadAndWriteErrorsInStandardAndCompactBuilds) {
  const XBHANDLE data = Data();
  const std::string idx = File("fail.idx");
  for (const uint16_t word : {uint16_t{'C'}, uint16_t{'C' | XB_IDX_COMPACT}}) {
    SCOPED_TRACE(word);
    auto build = [&] { return XBDIINDEX(data, idx.c_str(), word, "CODE+NAME", 13); };
    auto sound = [&] { return IdxSound(idx, kRecords); };
    InjectAt(Op::Read, 30 /* read fault */, idx, build, sound);
    InjectAt(Op::Write, 29 /* write fault */, idx, build, sound);
  }
}

TEST_F(BulkIdxFailure, ReadAndWriteErrorsInNtxBuilds) {
  const XBHANDLE data = Data();
  const std::string ntx = File("fail.ntx");
  auto build = [&] { return XBDCINDEX(data, ntx.c_str(), 'N', "AMOUNT", 10, 2); };
  auto sound = [&] { return NtxSound(ntx, kRecords); };
  InjectAt(Op::Read, 30, ntx, build, sound);
  InjectAt(Op::Write, 29, ntx, build, sound);
}

TEST_F(BulkIdxFailure, FullDiskWhenTheIndexGrows) {
  const XBHANDLE data = Data();
  kvp::fault::Reset();
  kvp::fault::Arm(Op::Truncate, 1, 112 /* disk full */, true);
  const std::string idx = File("full.idx");
  EXPECT_LT(XBDIINDEX(data, idx.c_str(), 'C', "NAME", 10), 0);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(idx).good());
  const std::string ntx = File("full.ntx");
  EXPECT_LT(XBDCINDEX(data, ntx.c_str(), 'C', "NAME", 10, 0), 0);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(ntx).good());
  kvp::fault::Reset();
}

}  // namespace
}  // namespace kvtest
