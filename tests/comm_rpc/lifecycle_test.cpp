// Servers stopped with sessions in progress, leaks after many sessions,
// a server in another process, and two servers with twenty clients calling
// and transferring in parallel for a bounded time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/kernel/threads.h"
#include "tests/comm_rpc/rpc_support.h"

namespace {

using kvrpctest::CallRecord;

bool EchoCall(clCLIENT* client, int32_t value) {
  CallRecord call("EchoI32", 4);
  call.Value(4, static_cast<uint32_t>(value), 4);
  return call.Run(client) == 0 && call.ResultI32() == value;
}

TEST(Lifecycle, StopEndsSessionsInProgressAndJoinsTheirThreads) {
  kvrpctest::ServerDirectory directory;
  directory.Passwords("alice=Secret\n");
  kvrpctest::MessageLog log;
  kvrpctest::RunningServer server(0);
  clCLIENT* idle = kvrpctest::Connect(server.Port());
  ASSERT_NE(idle, nullptr);
  kvrpctest::RawConnection stuck(server.Port());
  std::vector<unsigned char> half = kvrpctest::RawHeader("EchoI32", 0, 4);
  half.resize(50);
  ASSERT_TRUE(stuck.Send(half));  // its session waits for the rest
  ASSERT_TRUE(kvnettest::WaitFor([] { return kvp::RunningThreadCount() >= 3; }, 10));
  EXPECT_TRUE(server.Stop());
  // The listener, both sessions and their service threads have ended by the
  // time the stop returns: none of them still runs the library's code.
  EXPECT_EQ(kvp::RunningThreadCount(), 0u);
  EXPECT_TRUE(stuck.ClosedByPeer());
  DeconnecteLibrairie(idle);
}

TEST(Lifecycle, StopOfSomethingElseIsRefused) {
  EXPECT_EQ(bStopServeur(nullptr), 0);
  EXPECT_EQ(pclStartServeur(2, 1, 0), nullptr);
}

TEST(Lifecycle, ManySessionsLeaveNoDescriptorBlockOrThread) {
  kvrpctest::ServerDirectory directory;
  directory.Passwords("alice=Secret\n");
  kvrpctest::MessageLog log;
  directory.Write("f.txt", "hello");
  const int descriptors = kvnettest::OpenDescriptors();
  const size_t blocks = kvp::GlobalLiveBlocks();
  {
    kvrpctest::RunningServer calls(0);
    kvrpctest::RunningServer files(1);
    for (int i = 0; i < 30; ++i) {
      clCLIENT* client = kvrpctest::Connect(i % 2 == 0 ? calls.Port() : files.Port(), i % 2);
      ASSERT_NE(client, nullptr);
      ASSERT_TRUE(EchoCall(client, i));
      kvp::HGLOBAL handle = kvp::GlobalAlloc(kvp::GHND, 8);
      CallRecord grow("GrowBlock", 1);
      grow.Reference(3, 10, kvp::GlobalLock(handle), 8).Value(7, 64, 4);
      ASSERT_EQ(grow.Run(client), 0);
      kvrpctest::FreeBlockAt(grow.SlotPointer(0));
      if (i % 2 == 1) {
        ASSERT_EQ(nFTPGet(client, directory.File("f.txt").c_str(),
                          directory.File("g" + std::to_string(i)).c_str(), 0, 0),
                  0);
        ASSERT_EQ(KVRPC_WaitTransfers(30000), 1);
      }
      if (i % 5 == 0) {  // some sessions end with a fault
        CallRecord null("ReadNull", 4);
        EXPECT_EQ(null.Run(client), 6);
      }
      DeconnecteLibrairie(client);
    }
    EXPECT_TRUE(calls.Stop());
    EXPECT_TRUE(files.Stop());
    EXPECT_EQ(kvp::RunningThreadCount(), 0u);
  }
  EXPECT_TRUE(kvnettest::WaitFor(
      [descriptors] { return kvnettest::OpenDescriptors() == descriptors; }, 10));
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
}

// The server runs in a child process; the client here.
TEST(Lifecycle, ServerInAnotherProcess) {
  kvrpctest::ServerDirectory directory;
  directory.Passwords("alice=Secret\n");
  int ready[2];
  int quit[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(quit), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    close(quit[1]);
    int code = 1;
    {
      kvrpctest::RunningServer server(0);
      const uint16_t port = server.Port();
      if (write(ready[1], &port, sizeof port) == sizeof port) {
        char byte;
        (void)!read(quit[0], &byte, 1);  // until the parent closes its end
        code = server.Stop() ? 0 : 2;
      }
    }
    _exit(code);
  }
  close(ready[1]);
  close(quit[0]);
  uint16_t port = 0;
  ASSERT_EQ(read(ready[0], &port, sizeof port), static_cast<ssize_t>(sizeof port));
  {
    kvnettest::LocalPin pin("127.0.0.1");
    kvrpctest::MessageLog log;
    clCLIENT* client = kvrpctest::Connect(port);
    ASSERT_NE(client, nullptr);
    EXPECT_TRUE(EchoCall(client, -31));
    CallRecord null("ReadNull", 4);
    EXPECT_EQ(null.Run(client), 6);  // the fault stays in the server's process
    DeconnecteLibrairie(client);
    clCLIENT* again = kvrpctest::Connect(port);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(EchoCall(again, 5));
    DeconnecteLibrairie(again);
  }
  close(quit[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  close(ready[0]);
}

// Two servers, twenty clients: calls on the call server, calls and
// transfers on the file server, for KV_RPC_STRESS_SECONDS.
TEST(Lifecycle, TwoServersAndTwentyClientsInParallel) {
  const int seconds =
      static_cast<int>(kvrpctest::Bound("KV_RPC_STRESS_SECONDS", KV_RPC_STRESS_SECONDS));
  kvrpctest::ServerDirectory directory;
  directory.Passwords("alice=Secret\n");
  kvrpctest::MessageLog log;
  const std::string payload = kvnettest::PatternBytes(50000, 3);
  directory.Write("source.bin", payload);
  const int descriptors = kvnettest::OpenDescriptors();
  const size_t blocks = kvp::GlobalLiveBlocks();
  std::atomic<long> calls{0};
  std::atomic<long> transfers{0};
  std::atomic<int> failures{0};
  {
    kvrpctest::RunningServer callServer(0);
    kvrpctest::RunningServer fileServer(1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::vector<std::thread> clients;
    for (int c = 0; c < 20; ++c) {
      clients.emplace_back([&, c] {
        const bool files = c % 2 == 1;
        int round = 0;
        while (std::chrono::steady_clock::now() < end && failures == 0) {
          // The listener's backlog is 5: with twenty clients reconnecting, a
          // connection attempt the kernel dropped is retried a second or
          // three later, so the wait is longer than the other tests'.
          clCLIENT* client =
              kvrpctest::Connect(files ? fileServer.Port() : callServer.Port(), files ? 1 : 0,
                                 "Secret", "*" KV_RPC_TEST_MODULE, 15000);
          if (client == nullptr) {
            std::printf("client %d: no connection in round %d\n", c, round);
            ++failures;
            return;
          }
          for (int i = 0; i < 20; ++i) {
            if (!EchoCall(client, c * 100000 + round * 100 + i)) {
              std::printf("client %d: call %d of round %d failed\n", c, i, round);
              ++failures;
            }
            ++calls;
          }
          if (files) {
            const std::string target = directory.File("t" + std::to_string(c) + ".bin");
            if (nFTPPut(client, directory.File("source.bin").c_str(), target.c_str(), 0, 0) != 1)
              ++failures;
            ++transfers;
          }
          DeconnecteLibrairie(client);
          ++round;
        }
      });
    }
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(KVRPC_WaitTransfers(60000), 1);
    EXPECT_TRUE(callServer.Stop());
    EXPECT_TRUE(fileServer.Stop());
  }
  EXPECT_EQ(failures.load(), 0);
  if (failures != 0)
    for (const auto& box : log.Boxes())
      std::printf("box %s: %s\n", box.caption.c_str(), box.text.c_str());
  EXPECT_GT(calls.load(), 20 * 20);
  EXPECT_GT(transfers.load(), 10);
  for (int c = 1; c < 20; c += 2)
    EXPECT_EQ(directory.Read("t" + std::to_string(c) + ".bin"), payload) << c;
  EXPECT_TRUE(kvnettest::WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
  EXPECT_TRUE(kvnettest::WaitFor(
      [descriptors] { return kvnettest::OpenDescriptors() == descriptors; }, 10));
  EXPECT_EQ(kvp::GlobalLiveBlocks(), blocks);
  std::printf("stress: %ld calls, %ld transfers in %d s\n", calls.load(), transfers.load(),
              seconds);
}

}  // namespace
