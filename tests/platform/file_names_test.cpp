// Delete, rename and attributes by name; the temporary folder; the file
// layer's process settings.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/kernel/files.h"
#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const std::string& path, DWORD share) {
  return CreateFileA(path.c_str(), kReadWrite, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

class FileNames : public ::testing::Test {
 protected:
  kvtest::TempDir dir_;
};

TEST_F(FileNames, OpenFilesCannotBeDeletedNorRenamed) {
  const std::string path = dir_.File("open.dbf");
  const std::string target = dir_.File("moved.dbf");
  kvtest::WriteWholeFile(path, "content");

  for (DWORD share : {DWORD{0}, kShared}) {
    HANDLE file = Open(path, share);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFileA(path.c_str(), target.c_str()));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(file);
  }
  // Open in another process: refused as well.
  kvtest::Child holder([&] { return Open(path, kShared) != INVALID_HANDLE_VALUE ? 0 : 1; });
  ASSERT_EQ(holder.WaitReady(), 0);
  EXPECT_FALSE(DeleteFileA(path.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileA(path.c_str(), target.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(holder.Join(), 0);
  EXPECT_EQ(kvtest::ReadWholeFile(path), "content");

  // Closed everywhere: both work.
  ASSERT_TRUE(MoveFileA(path.c_str(), target.c_str()));
  EXPECT_FALSE(kvtest::PathExists(path));
  EXPECT_EQ(kvtest::ReadWholeFile(target), "content");
  ASSERT_TRUE(DeleteFileA(target.c_str()));
  EXPECT_FALSE(kvtest::PathExists(target));
}

TEST_F(FileNames, RenameNeverReplacesAnExistingFile) {
  const std::string from = dir_.File("new.dbf");
  const std::string to = dir_.File("old.dbf");
  kvtest::WriteWholeFile(from, "new");
  kvtest::WriteWholeFile(to, "old");
  EXPECT_FALSE(MoveFileA(from.c_str(), to.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(kvtest::ReadWholeFile(from), "new");
  EXPECT_EQ(kvtest::ReadWholeFile(to), "old");
}

TEST_F(FileNames, MissingNamesGiveWindowsErrorNumbers) {
  const std::string absent = dir_.File("absent.dbf");
  const std::string inMissingFolder = dir_.File("nowhere/absent.dbf");
  const std::string present = dir_.File("present.dbf");
  kvtest::WriteWholeFile(present, "x");

  EXPECT_FALSE(DeleteFileA(absent.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA(inMissingFolder.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA(dir_.path().c_str()));  // a folder
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileA(nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  EXPECT_FALSE(MoveFileA(absent.c_str(), dir_.File("x").c_str()));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(MoveFileA(present.c_str(), inMissingFolder.c_str()));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(kvtest::ReadWholeFile(present), "x");

  EXPECT_EQ(GetFileAttributesA(present.c_str()), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(GetFileAttributesA(dir_.path().c_str()), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesA(absent.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(inMissingFolder.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(""), INVALID_FILE_ATTRIBUTES);
}

// Restores an environment variable when the test ends.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const char* name) : name_(name) {
    const char* value = getenv(name);
    if (value != nullptr) saved_ = value;
    had_ = value != nullptr;
  }
  ~ScopedEnvironment() {
    if (had_) {
      setenv(name_, saved_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

TEST(TempPath, FollowsTmpdirWithATrailingSlash) {
  ScopedEnvironment keep("TMPDIR");
  char buffer[256];

  unsetenv("TMPDIR");
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
  EXPECT_STREQ(buffer, "/tmp/");

  setenv("TMPDIR", "/var/scratch", 1);
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 13u);
  EXPECT_STREQ(buffer, "/var/scratch/");

  setenv("TMPDIR", "/var/scratch/", 1);
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 13u);
  EXPECT_STREQ(buffer, "/var/scratch/");

  // Too small (the NUL does not fit): the size needed, buffer untouched.
  std::strcpy(buffer, "keep");
  EXPECT_EQ(GetTempPathA(13, buffer), 14u);
  EXPECT_STREQ(buffer, "keep");
  EXPECT_EQ(GetTempPathA(0, nullptr), 14u);
}

TEST(ProcessSettings, HandleCountRaisesTheSoftLimit) {
  // In a child, so that the test process keeps its own limit.
  EXPECT_EQ(kvtest::RunInChild([] {
              struct rlimit limit {};
              getrlimit(RLIMIT_NOFILE, &limit);
              if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 200) return 10;
              limit.rlim_cur = 40;
              if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 11;
              if (SetHandleCount(20) != 40) return 12;  // already enough: unchanged
              if (SetHandleCount(150) < 150) return 13;
              getrlimit(RLIMIT_NOFILE, &limit);
              return limit.rlim_cur >= 150 ? 0 : 14;
            }),
            0);
}

TEST(ProcessSettings, ErrorModeReturnsThePreviousMode) {
  const UINT original = SetErrorMode(1);
  EXPECT_EQ(SetErrorMode(0x8001), 1u);
  EXPECT_EQ(SetErrorMode(original), 0x8001u);
}

}  // namespace
