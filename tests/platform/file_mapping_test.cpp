// Read-only file mappings: argument checks as on Windows, views that see
// later writes, and the guarded copy that turns a file cut short into
// ERROR_HANDLE_EOF while a fault outside it still ends the process.
#include "platform/kernel/file_mapping.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "platform/kernel/files.h"
#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

class FileMapping : public ::testing::Test {
 protected:
  HANDLE Open(const std::string& path, DWORD access = GENERIC_READ | GENERIC_WRITE) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  kvtest::TempDir dir_;
};

TEST_F(FileMapping, RefusesWhatAReadOnlyMappingCannotBe) {
  const std::string empty = dir_.File("empty"), some = dir_.File("some");
  kvtest::WriteWholeFile(empty, "");
  kvtest::WriteWholeFile(some, "12345");
  HANDLE e = Open(empty);
  ASSERT_NE(e, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingA(e, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
  HANDLE f = Open(some);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 6, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
  EXPECT_EQ(CreateFileMappingA(f, nullptr, 0x04 /* PAGE_READWRITE */, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(
      CreateFileMappingA(reinterpret_cast<HANDLE>(0x7777), nullptr, PAGE_READONLY, 0, 0, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HANDLE w = Open(some, GENERIC_WRITE);
  ASSERT_NE(w, INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFileMappingA(w, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 4096, 0), nullptr);  // not a granule
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 6), nullptr);  // past the mapping
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(MapViewOfFile(f, FILE_MAP_READ, 0, 0, 0), nullptr);  // a file is no mapping
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  char byte = 0;
  EXPECT_FALSE(UnmapViewOfFile(&byte));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  EXPECT_FALSE(ReadMappedView(nullptr, &byte, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(CloseHandle(m));
  for (HANDLE h : {e, f, w}) EXPECT_TRUE(CloseHandle(h));
}

TEST_F(FileMapping, ViewSeesLaterWritesAndOutlivesTheFileHandle) {
  const std::string path = dir_.File("data");
  kvtest::WriteWholeFile(path, std::string(10000, 'a'));
  HANDLE f = Open(path);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  const auto* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  ASSERT_NE(SetFilePointer(f, 9000, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(f, "XYZ", 3, &done, nullptr));
  EXPECT_TRUE(CloseHandle(f));  // the mapping keeps the file
  char out[4] = {};
  ASSERT_TRUE(ReadMappedView(view + 8999, out, 4));
  EXPECT_EQ(std::string(out, 4), "aXYZ");
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));  // once only
  EXPECT_TRUE(CloseHandle(m));
}

TEST_F(FileMapping, CopyFromAFileCutShortFailsCleanly) {
  const std::string path = dir_.File("cut");
  kvtest::WriteWholeFile(path, std::string(3 * 4096, 'b'));
  HANDLE f = Open(path);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
  const auto* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(::truncate(path.c_str(), 100), 0);
  char out[16];
  // A page that is gone: the fault is caught.
  EXPECT_FALSE(ReadMappedView(view + 2 * 4096, out, sizeof out));
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
  // The tail of the last page reads as zeros: told apart by the file's size.
  EXPECT_FALSE(ReadMappedView(view + 95, out, 10));
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
  ASSERT_TRUE(ReadMappedView(view + 90, out, 10));
  EXPECT_EQ(std::string(out, 10), std::string(10, 'b'));
  // A copy from before the cut into the page after it: only its last byte
  // is looked at, and that page faults.
  std::string across(4100, '\0');
  EXPECT_FALSE(ReadMappedView(view + 90, across.data(), across.size()));
  EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
  // Caught faults leave the handler working: a second one is caught too.
  EXPECT_FALSE(ReadMappedView(view + 4096, out, 1));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(m));
  EXPECT_TRUE(CloseHandle(f));
}

TEST_F(FileMapping, AFaultOutsideTheGuardedCopyStillEndsTheProcess) {
  const std::string path = dir_.File("raw");
  kvtest::WriteWholeFile(path, std::string(2 * 4096, 'c'));
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HANDLE f = Open(path);
    HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
    const auto* view = static_cast<const volatile char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 0));
    if (view == nullptr || ::truncate(path.c_str(), 10) != 0) ::_exit(2);
    const char c = view[4096];  // a bare read of a page that is gone
    ::_exit(c == 'c' ? 3 : 4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer's own handler (the one before ours) reports the fault and
  // exits.
  ASSERT_TRUE(WIFSIGNALED(status) ||
              (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 2 &&
               WEXITSTATUS(status) != 3 && WEXITSTATUS(status) != 4));
#else
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGBUS);
#endif
}

}  // namespace
