// Opening, reading, writing, seeking and sizing through the file layer.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "platform/kernel/files.h"
#include "tests/platform/test_support.h"

namespace {

using namespace kvp;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShared = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const std::string& path, DWORD access, DWORD share = kShared,
            DWORD disposition = OPEN_EXISTING) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

bool Write(HANDLE file, const std::string& bytes) {
  DWORD done = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
         done == bytes.size();
}

std::string Read(HANDLE file, DWORD count) {
  std::string bytes(count, '\0');
  DWORD done = 0;
  if (!ReadFile(file, bytes.data(), count, &done, nullptr)) return "<failed>";
  bytes.resize(done);
  return bytes;
}

class FileIo : public ::testing::Test {
 protected:
  kvtest::TempDir dir_;
};

TEST_F(FileIo, DispositionsCreateTruncateAndReportExistence) {
  const std::string path = dir_.File("data.dbf");

  HANDLE file = Open(path, kReadWrite, kShared, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "0123456789"));
  ASSERT_TRUE(CloseHandle(file));

  SetLastError(0);
  EXPECT_EQ(Open(path, kReadWrite, kShared, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

  // OPEN_ALWAYS keeps the bytes and tells that the file was there.
  file = Open(path, kReadWrite, kShared, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  CloseHandle(file);

  // CREATE_ALWAYS empties an existing file and says so too.
  file = Open(path, kReadWrite, kShared, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);
  ASSERT_TRUE(Write(file, "abc"));
  CloseHandle(file);

  file = Open(path, kReadWrite, kShared, TRUNCATE_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);
  CloseHandle(file);

  // On a new file both report success with no error.
  const std::string other = dir_.File("new.dbf");
  SetLastError(12345);
  file = Open(other, kReadWrite, kShared, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(file);
  EXPECT_TRUE(kvtest::PathExists(other));

  EXPECT_EQ(Open(dir_.File("absent.dbf"), kReadWrite, kShared, TRUNCATE_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(kvtest::PathExists(dir_.File("absent.dbf")));
}

TEST_F(FileIo, MissingFilesAndFoldersGiveWindowsErrorNumbers) {
  kvtest::WriteWholeFile(dir_.File("plain"), "x");
  struct Case {
    std::string path;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {dir_.File("absent.dbf"), OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {dir_.File("no-folder/absent.dbf"), OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {dir_.File("no-folder/new.dbf"), CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
      {dir_.File("plain/below.dbf"), OPEN_EXISTING, ERROR_PATH_NOT_FOUND},  // a file as folder
      {dir_.path(), OPEN_EXISTING, ERROR_ACCESS_DENIED},                    // a folder as file
      {dir_.File(std::string(300, 'n')), CREATE_ALWAYS, ERROR_FILENAME_EXCED_RANGE},
      {"", OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(Open(c.path, kReadWrite, kShared, c.disposition), INVALID_HANDLE_VALUE) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(dir_.File("plain"), GENERIC_READ, 0, 9), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FileIo, ReadsStopAtTheEndWithoutError) {
  const std::string path = dir_.File("short");
  kvtest::WriteWholeFile(path, "hello");
  HANDLE file = Open(path, GENERIC_READ);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Read(file, 3), "hel");
  EXPECT_EQ(Read(file, 100), "lo");  // fewer than asked
  EXPECT_EQ(Read(file, 100), "");    // at the end: TRUE with 0 bytes
  DWORD done = 77;
  EXPECT_TRUE(ReadFile(file, nullptr, 0, &done, nullptr));
  EXPECT_EQ(done, 0u);
  char byte = 0;
  EXPECT_FALSE(ReadFile(file, &byte, 1, &done, &byte));  // overlapped input is not offered
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  EXPECT_FALSE(ReadFile(file, nullptr, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(file);
}

TEST_F(FileIo, AccessIsEnforcedByTheHandle) {
  const std::string path = dir_.File("guarded");
  kvtest::WriteWholeFile(path, "original");

  HANDLE reader = Open(path, GENERIC_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  DWORD done = 99;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(SetEndOfFile(reader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(FlushFileBuffers(reader));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(reader);
  EXPECT_EQ(kvtest::ReadWholeFile(path), "original");

  HANDLE writer = Open(path, GENERIC_WRITE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  char buffer[4];
  EXPECT_FALSE(ReadFile(writer, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(Write(writer, "OR"));
  EXPECT_TRUE(FlushFileBuffers(writer));
  CloseHandle(writer);
  EXPECT_EQ(kvtest::ReadWholeFile(path), "ORiginal");
}

TEST_F(FileIo, ReadOnlyHandleStillTakesExclusiveLocks) {
  // The descriptor behind a GENERIC_READ handle is opened for writing too,
  // so its locks are write locks that exclude every other handle.
  const std::string path = dir_.File("locked");
  kvtest::WriteWholeFile(path, "data");
  HANDLE reader = Open(path, GENERIC_READ);
  HANDLE other = Open(path, GENERIC_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(LockFile(reader, 0x7FFFFFBE, 0, 1, 0));
  EXPECT_FALSE(LockFile(other, 0x7FFFFFBE, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  CloseHandle(reader);
  CloseHandle(other);
}

TEST_F(FileIo, FileThatOnlyAllowsReadingOpensForReading) {
  // As root every file can be opened for writing, so the child drops to an
  // unprivileged user to meet the permissions the fallback is for.
  const std::string path = dir_.File("readonly");
  kvtest::WriteWholeFile(path, "frozen");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);

  kvtest::Child child([&] {
    if (geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
      return 200;
    }
    HANDLE writer = Open(path, kReadWrite);
    if (writer != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED) return 201;
    if (Open(path, GENERIC_READ, kShared, CREATE_ALWAYS) != INVALID_HANDLE_VALUE) return 202;
    HANDLE reader = Open(path, GENERIC_READ);
    if (reader == INVALID_HANDLE_VALUE) return 203;
    if (Read(reader, 100) != "frozen") return 204;
    // Its descriptor is read-only: its locks are read locks.
    if (!LockFile(reader, 100, 0, 10, 0)) return 205;
    return 0;  // holds the lock until released
  });
  ASSERT_EQ(child.WaitReady(), 0);
  // The read lock still keeps out an exclusive lock of a writable handle.
  HANDLE writer = Open(path, kReadWrite);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(LockFile(writer, 105, 0, 1, 0));
  EXPECT_EQ(GetLastError(), ERROR_LOCK_VIOLATION);
  EXPECT_EQ(child.Join(), 0);
  EXPECT_TRUE(LockFile(writer, 105, 0, 1, 0));
  CloseHandle(writer);
  EXPECT_EQ(kvtest::ReadWholeFile(path), "frozen");
}

TEST_F(FileIo, SeeksSplitSixtyFourBitPositions) {
  HANDLE file = Open(dir_.File("big"), kReadWrite, kShared, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "0123456789"));

  EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_EQ(SetFilePointer(file, 2, nullptr, FILE_CURRENT), 6u);
  EXPECT_EQ(Read(file, 2), "67");
  EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(SetFilePointer(file, -7, nullptr, FILE_CURRENT), 0u);

  // A negative result fails and leaves the position where it was.
  SetFilePointer(file, 5, nullptr, FILE_BEGIN);
  EXPECT_EQ(SetFilePointer(file, -6, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(Read(file, 1), "5");
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // 5 GiB + 2: high part 1, low part 1 GiB + 2 (a sparse file).
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 0x40000002, &high, FILE_BEGIN), 0x40000002u);
  EXPECT_EQ(high, 1);
  ASSERT_TRUE(Write(file, "Z"));
  DWORD sizeHigh = 0;
  EXPECT_EQ(GetFileSize(file, &sizeHigh), 0x40000003u);
  EXPECT_EQ(sizeHigh, 1u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);

  // Without a high part the position must fit 32 bits.
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // A high part of -1 with a low part makes one negative distance.
  high = -1;
  EXPECT_EQ(SetFilePointer(file, -3, &high, FILE_END), 0x40000000u);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(Read(file, 1), std::string(1, '\0'));

  // A valid position whose low half is all ones is told apart by the error.
  high = 0;
  EXPECT_EQ(SetFilePointer(file, -1, &high, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(high, 0);
  CloseHandle(file);
}

TEST_F(FileIo, EndOfFileTruncatesAndExtendsWithZeros) {
  const std::string path = dir_.File("sized");
  HANDLE file = Open(path, kReadWrite, kShared, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(Write(file, "abcdef"));
  SetFilePointer(file, 3, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(file));
  SetFilePointer(file, 5, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(kvtest::ReadWholeFile(path), std::string("abc\0\0", 5));
}

TEST_F(FileIo, StaleAndForgedHandlesAreRefused) {
  const std::string path = dir_.File("closed");
  kvtest::WriteWholeFile(path, "x");
  HANDLE file = Open(path, GENERIC_READ);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  char byte = 0;
  DWORD done = 5;
  for (HANDLE bad : {file, INVALID_HANDLE_VALUE, HANDLE{nullptr},
                     reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x12345))}) {
    SetLastError(0);
    EXPECT_FALSE(ReadFile(bad, &byte, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(WriteFile(bad, &byte, 1, &done, nullptr));
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
    EXPECT_FALSE(LockFile(bad, 0, 0, 1, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }

  // Handle numbers are not reused at once: the next open is another number.
  HANDLE again = Open(path, GENERIC_READ);
  EXPECT_NE(again, file);
  CloseHandle(again);
}

TEST_F(FileIo, ManyHandlesOnOneFileKeepTheirOwnPositions) {
  const std::string path = dir_.File("positions");
  kvtest::WriteWholeFile(path, "abcdefgh");
  HANDLE first = Open(path, GENERIC_READ);
  HANDLE second = Open(path, GENERIC_READ);
  EXPECT_EQ(Read(first, 3), "abc");
  EXPECT_EQ(Read(second, 2), "ab");
  EXPECT_EQ(Read(first, 2), "de");
  CloseHandle(first);
  CloseHandle(second);
}

}  // namespace
