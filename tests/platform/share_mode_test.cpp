// Windows share modes emulated with a lock on the reserved byte: tested
// within one process and across processes.
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
constexpr DWORD kUnshared = 0;

HANDLE Open(const std::string& path, DWORD share, DWORD disposition = OPEN_EXISTING,
            DWORD access = kReadWrite) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

// The result a child reports for an open: 0 when it succeeded (the handle
// stays open), else the Windows error.
int OpenAndReport(const std::string& path, DWORD share, DWORD disposition = OPEN_EXISTING,
                  DWORD access = kReadWrite) {
  return Open(path, share, disposition, access) != INVALID_HANDLE_VALUE
             ? 0
             : static_cast<int>(GetLastError());
}

class ShareModes : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("SHARED.DBF");
    kvtest::WriteWholeFile(path_, "record data");
  }
  kvtest::TempDir dir_;
  std::string path_;
};

TEST_F(ShareModes, UnsharedOpenExcludesEveryOtherOpenInTheSameProcess) {
  HANDLE owner = Open(path_, kUnshared);
  ASSERT_NE(owner, INVALID_HANDLE_VALUE);
  for (DWORD share : {kUnshared, kShared, DWORD{FILE_SHARE_READ}}) {
    for (DWORD access : {DWORD{GENERIC_READ}, kReadWrite}) {
      SetLastError(0);
      EXPECT_EQ(Open(path_, share, OPEN_EXISTING, access), INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
  }
  ASSERT_TRUE(CloseHandle(owner));
  HANDLE next = Open(path_, kUnshared);
  EXPECT_NE(next, INVALID_HANDLE_VALUE);
  CloseHandle(next);
}

TEST_F(ShareModes, SharedOpensCoexistAndKeepUnsharedOnesOut) {
  HANDLE first = Open(path_, kShared);
  HANDLE second = Open(path_, kShared, OPEN_EXISTING, GENERIC_READ);
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(path_, kUnshared), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

  // Another process joins the shared opens but cannot take the file alone.
  EXPECT_EQ(kvtest::RunInChild([&] { return OpenAndReport(path_, kShared); }), 0);
  EXPECT_EQ(kvtest::RunInChild([&] { return OpenAndReport(path_, kUnshared); }),
            static_cast<int>(ERROR_SHARING_VIOLATION));

  CloseHandle(first);
  EXPECT_EQ(Open(path_, kUnshared), INVALID_HANDLE_VALUE);  // the second still holds it
  CloseHandle(second);
  HANDLE alone = Open(path_, kUnshared);
  EXPECT_NE(alone, INVALID_HANDLE_VALUE);
  CloseHandle(alone);
}

TEST_F(ShareModes, UnsharedOpenInAnotherProcessExcludesOpensHere) {
  kvtest::Child holder([&] { return OpenAndReport(path_, kUnshared); });
  ASSERT_EQ(holder.WaitReady(), 0);
  EXPECT_EQ(Open(path_, kShared), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(Open(path_, kUnshared, OPEN_EXISTING, GENERIC_READ), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  ASSERT_EQ(holder.Join(), 0);  // the child exits and its open goes

  HANDLE mine = Open(path_, kUnshared);
  EXPECT_NE(mine, INVALID_HANDLE_VALUE);
  CloseHandle(mine);
}

TEST_F(ShareModes, UnsharedOpenHereExcludesOpensInAnotherProcess) {
  HANDLE mine = Open(path_, kUnshared);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  EXPECT_EQ(kvtest::RunInChild([&] { return OpenAndReport(path_, kShared); }),
            static_cast<int>(ERROR_SHARING_VIOLATION));
  CloseHandle(mine);
  EXPECT_EQ(kvtest::RunInChild([&] { return OpenAndReport(path_, kShared); }), 0);
}

TEST_F(ShareModes, TruncationIsRefusedWhileAnotherHoldsTheFile) {
  // Held unshared in this process: neither a child nor this process may
  // empty it through CREATE_ALWAYS or TRUNCATE_EXISTING.
  HANDLE mine = Open(path_, kUnshared);
  ASSERT_NE(mine, INVALID_HANDLE_VALUE);
  for (DWORD disposition : {DWORD{CREATE_ALWAYS}, DWORD{TRUNCATE_EXISTING}}) {
    EXPECT_EQ(kvtest::RunInChild([&] { return OpenAndReport(path_, kShared, disposition); }),
              static_cast<int>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(path_, kShared, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(kvtest::ReadWholeFile(path_), "record data");
  }
  CloseHandle(mine);

  // Held shared by another process: an unshared re-creation is refused too.
  kvtest::Child holder([&] { return OpenAndReport(path_, kShared); });
  ASSERT_EQ(holder.WaitReady(), 0);
  EXPECT_EQ(Open(path_, kUnshared, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(kvtest::ReadWholeFile(path_), "record data");
  EXPECT_EQ(holder.Join(), 0);
}

TEST_F(ShareModes, OpenOfAKilledHolderIsGone) {
  kvtest::Child holder([&] { return OpenAndReport(path_, kUnshared); });
  ASSERT_EQ(holder.WaitReady(), 0);
  ASSERT_EQ(Open(path_, kShared), INVALID_HANDLE_VALUE);
  EXPECT_EQ(holder.KillAndJoin(SIGKILL), 128 + SIGKILL);
  HANDLE mine = Open(path_, kUnshared);
  EXPECT_NE(mine, INVALID_HANDLE_VALUE);
  CloseHandle(mine);
}

TEST_F(ShareModes, ConcurrentUnsharedOpensAdmitExactlyOne) {
  // Eight processes race for the file alone; one wins, the rest see 32.
  constexpr int kRacers = 8;
  std::vector<std::unique_ptr<kvtest::Child>> racers;
  for (int i = 0; i < kRacers; ++i) {
    racers.push_back(
        std::make_unique<kvtest::Child>([&] { return OpenAndReport(path_, kUnshared); }));
  }
  int winners = 0;
  for (auto& racer : racers) {
    int result = racer->WaitReady();
    if (result == 0) {
      ++winners;
    } else {
      EXPECT_EQ(result, static_cast<int>(ERROR_SHARING_VIOLATION));
    }
  }
  EXPECT_EQ(winners, 1);
}

}  // namespace
