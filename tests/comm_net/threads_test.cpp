// Windows-style threads: exit codes, STILL_ACTIVE, waits with a limit,
// closing the handle of a running thread, failed creation.
#include "platform/kernel/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/kernel/fault.h"
#include "platform/kernel/files.h"
#include "tests/comm_net/net_support.h"

namespace {

// A thread body that waits until the test opens its gate.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  std::atomic<kvp::DWORD> seenId{0};
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      open = true;
    }
    opened.notify_all();
  }
};

kvp::DWORD WaitAtGate(void* parameter) {
  Gate* gate = static_cast<Gate*>(parameter);
  gate->seenId = kvp::GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(gate->mutex);
  gate->opened.wait(lock, [&] { return gate->open; });
  return 4242;
}

TEST(Threads, ExitCodeIsStillActiveUntilTheThreadReturns) {
  Gate gate;
  kvp::DWORD id = 0;
  kvp::HANDLE thread = kvp::CreateThread(nullptr, 0, WaitAtGate, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  kvp::DWORD code = 0;
  ASSERT_TRUE(kvp::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, kvp::STILL_ACTIVE);
  EXPECT_EQ(kvp::WaitForSingleObject(thread, 20), kvp::WAIT_TIMEOUT);
  EXPECT_EQ(kvp::RunningThreadCount(), 1u);
  gate.Open();
  EXPECT_EQ(kvp::WaitForSingleObject(thread, kvp::INFINITE), kvp::WAIT_OBJECT_0);
  ASSERT_TRUE(kvp::GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 4242u);
  EXPECT_EQ(id, gate.seenId.load());
  EXPECT_NE(id, kvp::GetCurrentThreadId());
  EXPECT_TRUE(kvp::CloseHandle(thread));
  // A closed handle is refused, not followed.
  EXPECT_FALSE(kvp::GetExitCodeThread(thread, &code));
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_INVALID_HANDLE);
  EXPECT_EQ(kvp::WaitForSingleObject(thread, 0), kvp::WAIT_FAILED);
}

TEST(Threads, ClosingARunningThreadsHandleLetsItFinish) {
  auto gate = std::make_unique<Gate>();
  const int before = kvnettest::ThreadBaseline();
  kvp::HANDLE thread = kvp::CreateThread(nullptr, 0, WaitAtGate, gate.get(), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(kvp::CloseHandle(thread));
  gate->Open();
  EXPECT_TRUE(kvnettest::WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
  EXPECT_TRUE(kvnettest::WaitFor([&] { return kvnettest::ProcessThreads() == before; }, 10));
}

TEST(Threads, InjectedFailureGivesNoThread) {
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  Gate gate;
  EXPECT_EQ(kvp::CreateThread(nullptr, 0, WaitAtGate, &gate, 0, nullptr), nullptr);
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(kvp::RunningThreadCount(), 0u);
  kvp::fault::Reset();
  EXPECT_EQ(kvp::CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(kvp::GetLastError(), kvp::ERROR_INVALID_PARAMETER);
}

}  // namespace
