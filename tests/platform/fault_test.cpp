// Failure injection: the armed call of each kind fails with the chosen
// error and leaves no trace; the calls around it are untouched.
#include "platform/kernel/fault.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "tests/platform/test_support.h"

namespace {

using namespace kvp;
using fault::Op;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const std::string& path, DWORD disposition) {
  return CreateFileA(path.c_str(), kReadWrite, kShared, nullptr, disposition, 0, nullptr);
}

class FaultInjection : public ::testing::Test {
 protected:
  void SetUp() override { fault::Reset(); }
  void TearDown() override { fault::Reset(); }
  kvtest::TempDir dir_;
};

TEST_F(FaultInjection, TheNthWriteFailsAndOnlyThatOne) {
  const std::string path = dir_.File("log.dat");
  HANDLE file = Open(path, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  fault::Arm(Op::Write, 3, ERROR_DISK_FULL);
  const char* pieces[] = {"a", "b", "c", "d", "e"};
  std::string results;
  for (const char* piece : pieces) {
    DWORD done = 9;
    const bool written = WriteFile(file, piece, 1, &done, nullptr);
    results += written ? 'W' : 'F';
    if (!written) {
      EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
      EXPECT_EQ(done, 0u);
    }
  }
  EXPECT_EQ(results, "WWFWW");
  EXPECT_EQ(fault::Calls(Op::Write), 5u);
  CloseHandle(file);
  EXPECT_EQ(kvtest::ReadWholeFile(path), "abde");
}

TEST_F(FaultInjection, StickyFailuresLastUntilReset) {
  HANDLE file = Open(dir_.File("sticky"), CREATE_ALWAYS);
  fault::Arm(Op::Write, 2, ERROR_HANDLE_DISK_FULL, /*sticky=*/true);
  DWORD done = 0;
  EXPECT_TRUE(WriteFile(file, "1", 1, &done, nullptr));
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(WriteFile(file, "2", 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_DISK_FULL);
  }
  fault::Reset();
  EXPECT_EQ(fault::Calls(Op::Write), 0u);
  EXPECT_TRUE(WriteFile(file, "3", 1, &done, nullptr));
  CloseHandle(file);
}

TEST_F(FaultInjection, ArmingZeroDisarmsAndRearmingReplaces) {
  HANDLE file = Open(dir_.File("rearm"), CREATE_ALWAYS);
  DWORD done = 0;
  fault::Arm(Op::Write, 1, ERROR_DISK_FULL);
  fault::Arm(Op::Write, 0, ERROR_DISK_FULL);
  EXPECT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
  fault::Arm(Op::Write, 1, ERROR_DISK_FULL);
  fault::Arm(Op::Write, 2, ERROR_ACCESS_DENIED);  // replaces the first
  EXPECT_TRUE(WriteFile(file, "x", 1, &done, nullptr));
  EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Other kinds were never armed.
  char byte = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  EXPECT_TRUE(ReadFile(file, &byte, 1, &done, nullptr));
  CloseHandle(file);
}

TEST_F(FaultInjection, CallsRejectedForBadArgumentsAreNotCounted) {
  fault::Arm(Op::Write, 1, ERROR_DISK_FULL);
  DWORD done = 0;
  EXPECT_FALSE(WriteFile(INVALID_HANDLE_VALUE, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(fault::Calls(Op::Write), 0u);
  HANDLE file = Open(dir_.File("counted"), CREATE_ALWAYS);
  EXPECT_FALSE(WriteFile(file, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  CloseHandle(file);
}

TEST_F(FaultInjection, EveryFileOperationKindCanFailWithoutSideEffects) {
  const std::string existing = dir_.File("existing");
  const std::string absent = dir_.File("absent");
  kvtest::WriteWholeFile(existing, "keep me");
  constexpr DWORD kError = ERROR_ACCESS_DENIED;

  fault::Arm(Op::Create, 1, kError);
  EXPECT_EQ(Open(absent, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), kError);
  EXPECT_FALSE(kvtest::PathExists(absent));
  fault::Arm(Op::Create, 1, kError);
  EXPECT_EQ(Open(existing, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvtest::ReadWholeFile(existing), "keep me");

  fault::Arm(Op::Open, 1, ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(existing, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  fault::Arm(Op::Open, 1, kError);
  EXPECT_EQ(Open(existing, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvtest::ReadWholeFile(existing), "keep me");

  fault::Arm(Op::Rename, 1, kError);
  EXPECT_FALSE(MoveFileA(existing.c_str(), absent.c_str()));
  EXPECT_EQ(GetLastError(), kError);
  EXPECT_TRUE(kvtest::PathExists(existing));
  EXPECT_FALSE(kvtest::PathExists(absent));

  fault::Arm(Op::Erase, 1, kError);
  EXPECT_FALSE(DeleteFileA(existing.c_str()));
  EXPECT_EQ(GetLastError(), kError);
  EXPECT_TRUE(kvtest::PathExists(existing));

  HANDLE file = Open(existing, OPEN_EXISTING);
  HANDLE other = Open(existing, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  fault::Arm(Op::Lock, 1, ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(LockFile(file, 10, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_TRUE(LockFile(other, 10, 0, 1, 0));  // the failed lock holds nothing
  EXPECT_FALSE(UnlockFile(file, 10, 0, 1, 0));

  fault::Arm(Op::Truncate, 1, kError);
  SetFilePointer(file, 2, nullptr, FILE_BEGIN);
  EXPECT_FALSE(SetEndOfFile(file));
  EXPECT_EQ(GetLastError(), kError);
  EXPECT_EQ(GetFileSize(file, nullptr), 7u);

  fault::Arm(Op::Read, 2, ERROR_INVALID_DATA);
  char buffer[8] = {};
  DWORD done = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  EXPECT_TRUE(ReadFile(file, buffer, 2, &done, nullptr));
  EXPECT_FALSE(ReadFile(file, buffer, 2, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 2u);  // nothing consumed
  CloseHandle(file);
  CloseHandle(other);

  EXPECT_EQ(fault::Calls(Op::Create), 2u);
  EXPECT_EQ(fault::Calls(Op::Open), 4u);
  EXPECT_EQ(fault::Calls(Op::Read), 2u);
}

TEST_F(FaultInjection, AllocationsFailAndLeaveBlocksAsTheyWere) {
  const size_t live = GlobalLiveBlocks();
  fault::Arm(Op::Alloc, 1, ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalAlloc(GHND, 64), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalLiveBlocks(), live);

  HGLOBAL block = GlobalAlloc(GHND, 16);
  ASSERT_NE(block, 0u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  bytes[0] = 0x5A;
  GlobalUnlock(block);
  fault::Arm(Op::Alloc, 1, ERROR_OUTOFMEMORY);
  EXPECT_EQ(GlobalReAlloc(block, 4096, GHND), 0u);
  EXPECT_EQ(GetLastError(), ERROR_OUTOFMEMORY);
  EXPECT_EQ(GlobalSize(block), 16u);
  EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(block))[0], 0x5A);
  GlobalUnlock(block);
  // Changing attributes allocates nothing and is not failed.
  fault::Arm(Op::Alloc, 1, ERROR_OUTOFMEMORY);
  EXPECT_EQ(GlobalReAlloc(block, 0, GMEM_MODIFY | GMEM_MOVEABLE), block);
  EXPECT_EQ(GlobalFree(block), 0u);
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST_F(FaultInjection, ExactlyTheArmedCallFailsUnderConcurrency) {
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  const size_t live = GlobalLiveBlocks();
  fault::Arm(Op::Alloc, 777, ERROR_NOT_ENOUGH_MEMORY);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
        if (block == 0) {
          if (GetLastError() == ERROR_NOT_ENOUGH_MEMORY) ++failures;
        } else {
          GlobalFree(block);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 1);
  EXPECT_EQ(fault::Calls(Op::Alloc), static_cast<unsigned>(kThreads * kEach));
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

}  // namespace
