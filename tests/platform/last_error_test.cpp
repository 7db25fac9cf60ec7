// The last error is kept per thread.
#include <gtest/gtest.h>

#include <thread>

#include "platform/kernel/files.h"

namespace {

using namespace kvp;

TEST(LastError, EachThreadHasItsOwn) {
  SetLastError(ERROR_SHARING_VIOLATION);
  DWORD seenInThread = 99;
  DWORD afterFailure = 0;
  std::thread other([&] {
    seenInThread = GetLastError();
    CreateFileA("/nonexistent-folder/x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    afterFailure = GetLastError();
  });
  other.join();
  EXPECT_EQ(seenInThread, ERROR_SUCCESS);
  EXPECT_EQ(afterFailure, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

}  // namespace
