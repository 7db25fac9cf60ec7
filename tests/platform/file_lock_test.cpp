// Byte-range locks: exclusive per handle, in one process and across
// processes, released on close and when the holder dies.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/files.h"
#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Record r's lock byte and the file-lock regions the engine uses.
constexpr DWORD RecordByte(DWORD record) {
  return 0x7FFFFFBF - record;
}
constexpr DWORD kAllRecordsOffset = 0x5FFFFFC0;
constexpr DWORD kAllRecordsLength = 0x1FFFFFFF;

HANDLE OpenShared(const std::string& path) {
  return CreateFileA(path.c_str(), kReadWrite, kShared, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// What a child reports for a lock: 0 when taken (and held), else the error.
int LockAndReport(const std::string& path, DWORD offset, DWORD length) {
  HANDLE file = OpenShared(path);
  if (file == INVALID_HANDLE_VALUE) return 250;
  return LockFile(file, offset, 0, length, 0) ? 0 : static_cast<int>(GetLastError());
}

class Locks : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("locks.dbf");
    kvtest::WriteWholeFile(path_, "header");
  }
  kvtest::TempDir dir_;
  std::string path_;
};

TEST_F(Locks, TwoHandlesOfOneProcessConflict) {
  HANDLE first = OpenShared(path_);
  HANDLE second = OpenShared(path_);
  ASSERT_TRUE(LockFile(first, RecordByte(5), 0, 1, 0));
  EXPECT_FALSE(LockFile(second, RecordByte(5), 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  // A region that covers the record conflicts too; a neighbour does not.
  EXPECT_FALSE(LockFile(second, kAllRecordsOffset, 0, kAllRecordsLength, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_TRUE(LockFile(second, RecordByte(6), 0, 1, 0));
  EXPECT_TRUE(LockFile(second, RecordByte(4), 0, 1, 0));

  ASSERT_TRUE(UnlockFile(first, RecordByte(5), 0, 1, 0));
  EXPECT_TRUE(LockFile(second, RecordByte(5), 0, 1, 0));
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(Locks, AHandleCannotLockBytesItHoldsAlready) {
  // As on Windows; it also keeps a test-and-release of a larger region from
  // dropping the handle's own record locks inside it.
  HANDLE file = OpenShared(path_);
  HANDLE other = OpenShared(path_);
  ASSERT_TRUE(LockFile(file, RecordByte(1), 0, 1, 0));
  EXPECT_FALSE(LockFile(file, RecordByte(1), 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(LockFile(file, kAllRecordsOffset, 0, kAllRecordsLength, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(UnlockFile(file, kAllRecordsOffset, 0, kAllRecordsLength, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  // The record lock is still there.
  EXPECT_FALSE(LockFile(other, RecordByte(1), 0, 1, 0));
  CloseHandle(file);
  CloseHandle(other);
}

TEST_F(Locks, UnlockNeedsTheExactRangeThisHandleLocked) {
  HANDLE file = OpenShared(path_);
  HANDLE other = OpenShared(path_);
  EXPECT_FALSE(UnlockFile(file, 100, 0, 10, 0));  // never locked
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);

  ASSERT_TRUE(LockFile(file, 100, 0, 10, 0));
  EXPECT_FALSE(UnlockFile(other, 100, 0, 10, 0));  // locked by another handle
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_FALSE(UnlockFile(file, 100, 0, 5, 0));  // part of it
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_FALSE(UnlockFile(file, 95, 0, 20, 0));  // more than it
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_FALSE(LockFile(other, 104, 0, 1, 0));  // all of it still held

  EXPECT_TRUE(UnlockFile(file, 100, 0, 10, 0));
  EXPECT_FALSE(UnlockFile(file, 100, 0, 10, 0));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_TRUE(LockFile(other, 104, 0, 1, 0));
  CloseHandle(file);
  CloseHandle(other);
}

TEST_F(Locks, RangesThatCannotBeLockedAreRefused) {
  HANDLE file = OpenShared(path_);
  const auto reservedHigh = static_cast<DWORD>(kShareLockOffset >> 32);
  struct Range {
    DWORD offsetLow, offsetHigh, lengthLow, lengthHigh;
  } refused[] = {
      {10, 0, 0, 0},                   // no bytes
      {0, reservedHigh, 1, 0},         // the share-mode byte itself
      {0, 0, 0xFFFFFFFF, 0xFFFFFFFF},  // everything, share byte included
      {0xFFFFFFFF, 0xFFFFFFFF, 2, 0},  // beyond the largest offset
      {0, 0x80000000, 1, 0},           // offset above 2^63
  };
  for (const Range& r : refused) {
    EXPECT_FALSE(LockFile(file, r.offsetLow, r.offsetHigh, r.lengthLow, r.lengthHigh));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  }
  // Next to the share byte is fine, and the share mode is left intact.
  EXPECT_TRUE(LockFile(file, 0xFFFFFFFF, reservedHigh - 1, 1, 0));
  EXPECT_TRUE(LockFile(file, 1, reservedHigh, 1, 0));
  HANDLE unshared = CreateFileA(path_.c_str(), kReadWrite, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(unshared, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(file);
}

TEST_F(Locks, LocksConflictAcrossProcesses) {
  kvtest::Child holder([&] { return LockAndReport(path_, RecordByte(1), 1); });
  ASSERT_EQ(holder.WaitReady(), 0);
  HANDLE mine = OpenShared(path_);
  EXPECT_FALSE(LockFile(mine, RecordByte(1), 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_FALSE(LockFile(mine, kAllRecordsOffset, 0, kAllRecordsLength, 0));
  EXPECT_TRUE(LockFile(mine, RecordByte(2), 0, 1, 0));

  // And the other way round: what this process holds, a child cannot take.
  EXPECT_EQ(kvtest::RunInChild([&] { return LockAndReport(path_, RecordByte(2), 1); }),
            static_cast<int>(ERROR_LOCK_VIOLATION));
  EXPECT_EQ(holder.Join(), 0);
  EXPECT_TRUE(LockFile(mine, RecordByte(1), 0, 1, 0));
  CloseHandle(mine);
}

TEST_F(Locks, CloseReleasesEveryLockOfTheHandle) {
  HANDLE first = OpenShared(path_);
  HANDLE second = OpenShared(path_);
  for (DWORD record = 1; record <= 50; ++record) {
    ASSERT_TRUE(LockFile(first, RecordByte(record), 0, 1, 0));
  }
  ASSERT_TRUE(CloseHandle(first));
  EXPECT_TRUE(LockFile(second, kAllRecordsOffset, 0, kAllRecordsLength, 0));
  CloseHandle(second);
}

TEST_F(Locks, KilledHolderReleasesItsLocks) {
  kvtest::Child holder([&] { return LockAndReport(path_, kAllRecordsOffset, kAllRecordsLength); });
  ASSERT_EQ(holder.WaitReady(), 0);
  HANDLE mine = OpenShared(path_);
  EXPECT_FALSE(LockFile(mine, RecordByte(9), 0, 1, 0));
  EXPECT_EQ(holder.KillAndJoin(SIGKILL), 128 + SIGKILL);
  EXPECT_TRUE(LockFile(mine, RecordByte(9), 0, 1, 0));
  CloseHandle(mine);
}

TEST_F(Locks, SharedSlotsCountUpToTheHolders) {
  // Five processes each take the first free one-byte slot, as a shared file
  // lock does: every one ends with a slot of its own.
  constexpr DWORD kFirstSlot = 0x7FFFFFFC;
  constexpr int kHolders = 5;
  auto takeSlot = [&]() -> int {
    HANDLE file = OpenShared(path_);
    for (DWORD slot = kFirstSlot; slot > kFirstSlot - 62; --slot) {
      if (LockFile(file, slot, 0, 1, 0)) return static_cast<int>(kFirstSlot - slot);
    }
    return 255;
  };
  std::vector<std::unique_ptr<kvtest::Child>> holders;
  std::vector<bool> taken(62, false);
  for (int i = 0; i < kHolders; ++i) {
    holders.push_back(std::make_unique<kvtest::Child>(takeSlot));
    int slot = holders.back()->WaitReady();
    ASSERT_GE(slot, 0);
    ASSERT_LT(slot, 62);
    EXPECT_FALSE(taken[static_cast<size_t>(slot)]) << "slot " << slot << " given twice";
    taken[static_cast<size_t>(slot)] = true;
  }
  EXPECT_EQ(takeSlot(), kHolders);  // this process gets the next one
}

}  // namespace
