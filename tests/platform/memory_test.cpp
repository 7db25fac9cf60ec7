// Moveable global memory: zero filling, lock counts, handle lookup from
// addresses, stale handles, moving locked blocks and concurrent use.
#include "platform/kernel/memory.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Lets the huge-allocation test see a null from malloc under
// AddressSanitizer too, instead of a report.
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}

namespace {

using namespace kvp;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// Runs one test of this program again in a fresh process with `options` in
// ASAN_OPTIONS; returns its exit status.
int RerunWithSanitizerOptions(const char* test, const char* options) {
  fflush(nullptr);
  pid_t child = fork();
  if (child == 0) {
    setenv("ASAN_OPTIONS", options, 1);
    const std::string filter = std::string("--gtest_filter=") + test;
    execl("/proc/self/exe", "platform_tests", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool AllBytesAre(const void* data, size_t from, size_t to, unsigned char value) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t i = from; i < to; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST(GlobalMemory, ZeroInitFillsNewBlocksAndGrownBytes) {
  HGLOBAL block = GlobalAlloc(GHND, 1000);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(GlobalSize(block), 1000u);
  void* data = GlobalLock(block);
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(AllBytesAre(data, 0, 1000, 0));
  std::memset(data, 0xAA, 1000);
  GlobalUnlock(block);

  ASSERT_EQ(GlobalReAlloc(block, 100000, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
  EXPECT_EQ(GlobalSize(block), 100000u);
  data = GlobalLock(block);
  EXPECT_TRUE(AllBytesAre(data, 0, 1000, 0xAA));
  EXPECT_TRUE(AllBytesAre(data, 1000, 100000, 0));
  GlobalUnlock(block);
  GlobalFree(block);
}

TEST(GlobalMemory, ShrinkThenGrowZeroesTheRegrownBytes) {
  // A block shrunk in place still holds its old bytes beyond the new size;
  // growing it again must zero them, not bring them back.
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 64);
  void* data = GlobalLock(block);
  std::memset(data, 0xFF, 64);
  ASSERT_EQ(GlobalReAlloc(block, 8, GMEM_MOVEABLE), block);
  ASSERT_EQ(GlobalReAlloc(block, 64, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
  data = GlobalLock(block);
  EXPECT_TRUE(AllBytesAre(data, 0, 8, 0xFF));
  EXPECT_TRUE(AllBytesAre(data, 8, 64, 0));
  GlobalFree(block);
}

TEST(GlobalMemory, LocksAreCounted) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 32);
  EXPECT_EQ(GlobalFlags(block), 0u);
  void* first = GlobalLock(block);
  void* second = GlobalLock(block);
  EXPECT_EQ(first, second);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 2u);

  EXPECT_TRUE(GlobalUnlock(block));  // still locked once
  SetLastError(12345);
  EXPECT_FALSE(GlobalUnlock(block));  // now unlocked
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(GlobalUnlock(block));  // was not locked
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_EQ(GlobalFlags(block), 0u);

  for (int i = 0; i < 300; ++i) GlobalLock(block);
  EXPECT_EQ(GlobalFlags(block), GMEM_LOCKCOUNT);  // the count saturates in the flags
  EXPECT_EQ(GlobalFree(block), 0u);               // a locked block may be freed
}

TEST(GlobalMemory, HandleFromAnyAddressInsideABlock) {
  HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE, 100);
  HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE, 100);
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  auto* base = static_cast<char*>(GlobalLock(a));
  auto* other = static_cast<char*>(GlobalLock(b));
  auto* nothing = static_cast<char*>(GlobalLock(empty));
  ASSERT_NE(nothing, nullptr);
  EXPECT_EQ(GlobalSize(empty), 0u);

  EXPECT_EQ(GlobalHandle(base), a);
  EXPECT_EQ(GlobalHandle(base + 1), a);
  EXPECT_EQ(GlobalHandle(base + 99), a);
  EXPECT_NE(GlobalHandle(base + 100), a);  // one past the end belongs to no block of ours
  EXPECT_EQ(GlobalHandle(other + 50), b);
  EXPECT_EQ(GlobalHandle(nothing), empty);
  EXPECT_EQ(GlobalHandle(nullptr), 0u);
  int onStack = 0;
  EXPECT_EQ(GlobalHandle(&onStack), 0u);

  GlobalFree(a);
  EXPECT_EQ(GlobalHandle(other + 50), b);
  GlobalFree(b);
  GlobalFree(empty);
}

TEST(GlobalMemory, InvalidAndStaleHandlesAreRefused) {
  const HGLOBAL forged = 0xDEADBEEF;
  SetLastError(0);
  EXPECT_EQ(GlobalFree(forged), forged);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalLock(forged), nullptr);
  EXPECT_EQ(GlobalFlags(forged), GMEM_INVALID_HANDLE);
  EXPECT_EQ(GlobalSize(forged), 0u);
  EXPECT_EQ(GlobalReAlloc(forged, 10, GMEM_MOVEABLE), 0u);
  EXPECT_FALSE(GlobalUnlock(forged));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalLock(0), nullptr);

  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 10);
  ASSERT_EQ(GlobalFree(block), 0u);
  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GlobalFree(block), block);  // a double free is refused
  EXPECT_EQ(GlobalFlags(block), GMEM_INVALID_HANDLE);
  // The next blocks get other numbers, so the stale one stays invalid.
  std::vector<HGLOBAL> fresh;
  for (int i = 0; i < 100; ++i) fresh.push_back(GlobalAlloc(GMEM_MOVEABLE, 10));
  for (HGLOBAL h : fresh) {
    EXPECT_NE(h, block);
    EXPECT_NE(h, 0u);
    GlobalFree(h);
  }
  EXPECT_EQ(GlobalLock(block), nullptr);
}

TEST(GlobalMemory, LockedBlocksMoveOnlyWhenTheCallerAllowsIt) {
  HGLOBAL block = GlobalAlloc(GHND, 16);
  auto* address = static_cast<char*>(GlobalLock(block));
  std::memcpy(address, "stable", 7);

  // Shrinking stays in place.
  ASSERT_EQ(GlobalReAlloc(block, 8, 0), block);
  EXPECT_EQ(GlobalLock(block), address);
  GlobalUnlock(block);

  // Growing far beyond the allocation cannot stay in place: refused.
  EXPECT_EQ(GlobalReAlloc(block, 1 << 20, GMEM_ZEROINIT), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(GlobalSize(block), 8u);
  EXPECT_EQ(GlobalHandle(address + 4), block);

  // With GMEM_MOVEABLE it may move; the lock count goes along.
  ASSERT_EQ(GlobalReAlloc(block, 1 << 20, GMEM_MOVEABLE | GMEM_ZEROINIT), block);
  EXPECT_EQ(GlobalFlags(block), 1u);
  auto* moved = static_cast<char*>(GlobalLock(block));
  EXPECT_STREQ(moved, "stable");
  EXPECT_TRUE(AllBytesAre(moved, 8, 1 << 20, 0));
  EXPECT_EQ(GlobalHandle(moved + 500000), block);
  GlobalFree(block);
}

TEST(GlobalMemory, ModifyChangesAttributesOnly) {
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, 24);
  EXPECT_EQ(GlobalReAlloc(block, 999, GMEM_MODIFY | GMEM_MOVEABLE), block);
  EXPECT_EQ(GlobalSize(block), 24u);
  GlobalFree(block);
}

TEST(GlobalMemory, ImpossibleSizesFailCleanly) {
  const char* options = getenv("ASAN_OPTIONS");
  if (kAddressSanitizer &&
      (options == nullptr || std::strstr(options, "allocator_may_return_null=1") == nullptr)) {
    // The sanitizer's allocator aborts on an impossible size unless told to
    // return null instead: run this test again in a process that tells it.
    EXPECT_EQ(RerunWithSanitizerOptions("GlobalMemory.ImpossibleSizesFailCleanly",
                                        "allocator_may_return_null=1"),
              0);
    return;
  }
  const size_t live = GlobalLiveBlocks();
  EXPECT_EQ(GlobalAlloc(GHND, SIZE_MAX / 2), 0u);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  EXPECT_EQ(GlobalReAlloc(block, SIZE_MAX / 2, GMEM_MOVEABLE), 0u);
  EXPECT_EQ(GlobalSize(block), 4u);
  GlobalFree(block);
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

TEST(GlobalMemory, ConcurrentThreadsShareTheTableSafely) {
  const size_t live = GlobalLiveBlocks();
  constexpr int kThreads = 4;
  constexpr int kRounds = 3000;
  std::vector<std::thread> threads;
  std::vector<int> faults(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &faults] {
      std::mt19937 random(static_cast<unsigned>(t) + 1);
      std::vector<HGLOBAL> kept;
      for (int round = 0; round < kRounds; ++round) {
        const size_t size = 1 + random() % 512;
        HGLOBAL block = GlobalAlloc(GHND, size);
        auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
        if (bytes == nullptr || !AllBytesAre(bytes, 0, size, 0)) ++faults[t];
        std::memset(bytes, t + 1, size);
        if (GlobalHandle(bytes + size - 1) != block) ++faults[t];
        GlobalUnlock(block);
        if (GlobalReAlloc(block, size * 2, GMEM_MOVEABLE | GMEM_ZEROINIT) != block) ++faults[t];
        bytes = static_cast<unsigned char*>(GlobalLock(block));
        if (!AllBytesAre(bytes, 0, size, static_cast<unsigned char>(t + 1))) ++faults[t];
        GlobalUnlock(block);
        kept.push_back(block);
        if (kept.size() > 20) {  // free in another order than allocated
          const size_t victim = random() % kept.size();
          if (GlobalFree(kept[victim]) != 0) ++faults[t];
          kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(victim));
        }
      }
      for (HGLOBAL block : kept) GlobalFree(block);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(faults[t], 0) << "thread " << t;
  EXPECT_EQ(GlobalLiveBlocks(), live);
}

}  // namespace
