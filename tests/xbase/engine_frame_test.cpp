// The engine frame: start and end, handle slots, sticky status codes, the
// log, quick close and the memory functions the host uses.
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/kernel/fault.h"
#include "platform/kernel/files.h"
#include "platform/kernel/profile.h"
#include "tests/support/dbf_builder.h"
#include "tests/support/engine_fixture.h"

namespace {

using kvtest::DbfBuilder;
using kvtest::EngineTest;

std::string SmallFile(const kvtest::TempDir& dir, const std::string& name = "small.dbf") {
  DbfBuilder b;
  b.Field("NAME", 'C', 10).Row({"alpha"}).Row({"beta"});
  const std::string path = dir.File(name);
  DbfBuilder::WriteFile(path, b.Bytes());
  return path;
}

TEST(EngineStart, FewerThanFiveFilesIsRefusedAndFiveGiveNoSlots) {
  kvtest::TempDir dir;
  EXPECT_EQ(XBDINIT(4, 0), XB_E_HANDLE);
  ASSERT_EQ(XBDINIT(5, 0), 0);  // runs the end of the failed start first
  XBHANDLE h = 0;
  EXPECT_EQ(XBDDOPENX(&h, SmallFile(dir).c_str(), 0), XB_E_NO_HANDLE);
  XBDTERM();
}

TEST(EngineStart, SlotCountIsCappedAtNinetyFive) {
  for (int16_t files : {100, 200}) {
    kvtest::TempDir dir;
    const std::string path = SmallFile(dir);
    ASSERT_EQ(XBDINIT(files, 0), 0);
    XBHANDLE h = 0;
    for (int i = 0; i < 95; ++i) {
      ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0) << "open " << i;
      EXPECT_EQ(h, i);  // the lowest free slot
    }
    EXPECT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), XB_E_NO_HANDLE);
    EXPECT_EQ(h, XB_NO_HANDLE);
    XBESCODE(0);
    ASSERT_EQ(XBDDCLOSE(40), 0);
    ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_SHARED), 0);
    EXPECT_EQ(h, 40);
    XBDTERM();
  }
}

TEST(EngineStart, EveryCallBeforeTheStartReturnsMinus59) {
  XBDTERM();
  EXPECT_EQ(XBECODE(), XB_E_NOT_STARTED);
  EXPECT_EQ(XBESCODE(0), XB_E_NOT_STARTED);
  EXPECT_EQ(XBDVERSION(3), XB_E_NOT_STARTED);
  XBHANDLE h = 0;
  EXPECT_EQ(XBDDOPENX(&h, "x.dbf", 0), XB_E_NOT_STARTED);
  EXPECT_EQ(XBDTERM(), XB_E_NOT_STARTED);
  KVHGLOBAL m = 0;
  EXPECT_EQ(_XBMALLOC(&m, 10), XB_E_NOT_STARTED);
}

TEST(EngineStart, HostEntryStartsWithHundredFiles) {
  EXPECT_EQ(KV5InitInstance(0, 0), 1);
  EXPECT_EQ(XBECODE(), 0);
  XBDTERM();
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { kvtest::UseProfileDir(profile_.path()); }
  void TearDown() override { XBDTERM(); }
  int16_t StyleAfterInit(int16_t style) {
    EXPECT_EQ(XBDINIT(100, style), 0);
    int16_t current = 0;
    char description[64];
    EXPECT_EQ(XBCDGSTYLE(&current, description), 0);
    return current;
  }
  kvtest::TempDir profile_;
};

TEST_F(SettingsTest, DateStyleOutsideRangeComesFromTheSettingsFile) {
  EXPECT_EQ(StyleAfterInit(0), 1);  // no settings file at all
  // The file name is matched without regard to case.
  std::ofstream(profile_.File("kvdb4xx.ini")) << "[Sort]\nDateSort=frenchl\n";
  EXPECT_EQ(StyleAfterInit(0), 11);
  EXPECT_EQ(StyleAfterInit(16), 11);
  EXPECT_EQ(StyleAfterInit(7), 7);
  EXPECT_EQ(StyleAfterInit(0x0107), 7);  // only the low byte counts
  std::ofstream(profile_.File("kvdb4xx.ini")) << "[sort]\ndatesort=EURODATE\n";
  EXPECT_EQ(StyleAfterInit(0), 6);
  std::ofstream(profile_.File("kvdb4xx.ini")) << "[sort]\ndatesort=KLINGON\n";
  EXPECT_EQ(StyleAfterInit(0), 1);
}

TEST_F(EngineTest, ErrorsAreStickyUntilReset) {
  XBHANDLE h = 0;
  EXPECT_EQ(XBDDOPENX(&h, File("missing.dbf").c_str(), 0), XB_E_OPEN);
  EXPECT_EQ(XBDVERSION(3), XB_E_OPEN);
  EXPECT_EQ(XBDDOPENX(&h, SmallFile(dir_).c_str(), 0), XB_E_OPEN);
  EXPECT_EQ(XBECODE(), XB_E_OPEN);
  EXPECT_EQ(XBESCODE(0), 0);
  EXPECT_EQ(XBDDOPENX(&h, SmallFile(dir_).c_str(), 0), 0);
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(EngineTest, WarningsDoNotBlockLaterCalls) {
  XBHANDLE h = 0;
  ASSERT_EQ(XBDDOPENX(&h, SmallFile(dir_).c_str(), 0), 0);
  EXPECT_EQ(XBESCODE(7), 7);
  EXPECT_EQ(XBECODE(), 7);
  EXPECT_EQ(XBDDRGET(h, 1), 0);  // a warning is cleared by the next call
  EXPECT_EQ(XBDDCLOSE(h), 0);
}

TEST_F(EngineTest, InterfaceVersionMustBeThree) {
  EXPECT_EQ(XBDVERSION(3), 0);
  EXPECT_EQ(XBDVERSION(2), XB_E_FORMAT);
  XBESCODE(0);
  EXPECT_EQ(XBDVERSION(4), XB_E_FORMAT);
  XBESCODE(0);
}

TEST_F(EngineTest, LogGetsOneTabSeparatedLinePerFailure) {
  const std::string log = File("xb.log");
  ASSERT_LT(log.size(), 30u) << "the log name must fit its 30 bytes";
  EXPECT_EQ(XBESLOG(1, log.c_str()), 0);
  XBHANDLE h = 0;
  EXPECT_EQ(XBDDOPENX(&h, File("missing.dbf").c_str(), 0), XB_E_OPEN);
  std::ifstream in(log);
  std::string line, rest;
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_TRUE(std::regex_match(line, std::regex("[A-Za-z]+\t[0-9]+\t-46"))) << line;
  EXPECT_FALSE(std::getline(in, rest)) << "only one line: " << rest;
  // A refused call writes a line too, with the sticky code.
  EXPECT_EQ(XBDVERSION(3), XB_E_OPEN);
  std::ifstream again(log);
  int lines = 0;
  while (std::getline(again, line)) ++lines;
  EXPECT_EQ(lines, 2);
  XBESCODE(0);
  EXPECT_EQ(XBESLOG(0, nullptr), 0);
  EXPECT_EQ(XBDDOPENX(&h, File("missing.dbf").c_str(), 0), XB_E_OPEN);
  std::ifstream third(log);
  lines = 0;
  while (std::getline(third, line)) ++lines;
  EXPECT_EQ(lines, 2) << "log mode 0 writes nothing";
  XBESCODE(0);
}

TEST_F(EngineTest, QuickClosedHandleReopensWithItsSharedReadOnlyState) {
  const std::string path = SmallFile(dir_);
  XBHANDLE h = 0;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), XB_OPEN_READONLY | XB_OPEN_SHARED), 0);
  ASSERT_EQ(XBDQCLOSE(), 0);
  // The file is really closed: another open, unshared, now succeeds. A
  // second handle meets the engine's share mode inside one process as it
  // would in another program, on both systems.
  kvp::HANDLE f = kvp::CreateFileA(path.c_str(), kvp::GENERIC_READ | kvp::GENERIC_WRITE, 0, nullptr,
                                   kvp::OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, kvp::INVALID_HANDLE_VALUE) << "error " << kvp::GetLastError();
  kvp::CloseHandle(f);
  EXPECT_EQ(XBDDRGET(h, 2), 0);
  char name[16] = {};
  EXPECT_EQ(XBDDFGETS(h, 0, name), 0);
  EXPECT_STREQ(name, "beta      ");
  XBFILEINFO info;
  ASSERT_EQ(XBDDINFO(h, &info), 0);
  EXPECT_EQ(+info.openFlags & 3, 3) << "read-only and shared kept";
  // Reopened shared: a second shared open coexists.
  XBHANDLE second = 0;
  EXPECT_EQ(XBDDOPENX(&second, path.c_str(), XB_OPEN_SHARED | XB_OPEN_READONLY), 0);
  XBDDCLOSE(second);
  XBDDCLOSE(h);
}

TEST_F(EngineTest, QuickClosedUnsharedHandleExcludesOthersAgainAfterReopen) {
  const std::string path = SmallFile(dir_);
  XBHANDLE h = 0;
  ASSERT_EQ(XBDDOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDQCLOSE(), 0);
  ASSERT_EQ(XBDDRGET(h, 1), 0);
  kvp::HANDLE f = kvp::CreateFileA(path.c_str(), kvp::GENERIC_READ, kvp::FILE_SHARE_READ, nullptr,
                                   kvp::OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(f, kvp::INVALID_HANDLE_VALUE) << "the reopened unshared file excludes other opens";
  EXPECT_EQ(kvp::GetLastError(), 32u);
  if (f != kvp::INVALID_HANDLE_VALUE) kvp::CloseHandle(f);
  XBDDCLOSE(h);
}

TEST_F(EngineTest, MemoryBlocksCarryZeroedSpareBytes) {
  KVHGLOBAL m = 0;
  ASSERT_EQ(_XBMALLOC(&m, 100), 0);
  void* p = nullptr;
  ASSERT_EQ(_XBMLOCK(&p, m), 0);
  auto* bytes = static_cast<unsigned char*>(p);
  for (int i = 0; i < 228; ++i) ASSERT_EQ(bytes[i], 0) << i;
  std::memset(bytes, 0xAB, 228);  // including the spare bytes
  ASSERT_EQ(_XBMUNLOCK(m), 0);
  ASSERT_EQ(_XBMRALLOC(&m, 300), 0);
  ASSERT_EQ(_XBMLOCK(&p, m), 0);
  bytes = static_cast<unsigned char*>(p);
  EXPECT_EQ(bytes[99], 0xAB);
  for (int i = 300; i < 428; ++i) ASSERT_EQ(bytes[i], 0) << i;
  // Freed through an address inside the block, with its lock still held.
  EXPECT_EQ(XBMFREE(bytes + 10), 0);
  EXPECT_NE(kvp::GlobalFlags(m) & kvp::GMEM_INVALID_HANDLE, 0u);
  // Freeing an invalid handle is not an error.
  EXPECT_EQ(_XBMFREE(m), 0);
  EXPECT_EQ(_XBMLOCK(&p, m), XB_E_LOCK_MEMORY);
  XBESCODE(0);
}

TEST_F(EngineTest, AllocationFailureGivesMinus3) {
  KVHGLOBAL m = 0;
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(_XBMALLOC(&m, 16), XB_E_MEMORY);
  kvp::fault::Reset();
  EXPECT_EQ(XBECODE(), XB_E_MEMORY);
  XBESCODE(0);
  ASSERT_EQ(_XBMALLOC(&m, 16), 0);
  EXPECT_EQ(_XBMFREE(m), 0);
}

}  // namespace
