// Two servers (one plain, one scrambled) and twenty clients exchanging
// echoes in parallel for a bounded time (KV_NET_STRESS_SECONDS, set by the
// build: shorter under the sanitizers); clients reconnect every few
// exchanges. Afterwards no thread, descriptor or socket-service start is
// left over (leaks of memory are the sanitizer build's to find).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "platform/kernel/threads.h"
#include "tests/comm_net/service_support.h"

namespace {

using kvnettest::EchoOnce;
using kvnettest::EchoService;
using kvnettest::LocalPin;
using kvnettest::PatternBytes;

double StressSeconds() {
  const char* text = ::getenv("KV_NET_STRESS_SECONDS");
  const double seconds = text != nullptr ? std::atof(text) : 5.0;
  return seconds > 0 && seconds <= 60 ? seconds : 5.0;
}

TEST(Stress, TwoServersTwentyClients) {
  kvnettest::Session session;
  const int threadsBefore = kvnettest::ThreadBaseline();
  const int descriptorsBefore = kvnettest::OpenDescriptors();
  const int startsBefore = kvp::WSAStartupCount();
  LocalPin pin("127.0.0.1");
  const uint16_t ports[2] = {kvnettest::FreePort(), kvnettest::FreePort()};
  ASSERT_NE(ports[0], ports[1]);
  auto plain = std::make_unique<clSERVER>(EchoService, ports[0], 0);
  auto scrambled = std::make_unique<clSERVER>(EchoService, ports[1], 1);
  ASSERT_EQ(plain->nInit(), 0);
  ASSERT_EQ(scrambled->nInit(), 0);
  ASSERT_EQ(plain->nStart(), 0);
  ASSERT_EQ(scrambled->nStart(), 0);

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(StressSeconds());
  std::atomic<long> exchanges{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 20; ++c) {
    clients.emplace_back([&, c] {
      const int which = c % 2;
      uint32_t seed = static_cast<uint32_t>(c) * 7919u;
      while (std::chrono::steady_clock::now() < deadline) {
        clCLIENT client(nullptr, "127.0.0.1", 0, ports[which], nullptr, nullptr, which);
        if (client.nInit() != 0 || client.nConnect(nullptr, 2000, 0) != 0) {
          ++failures;
          return;
        }
        for (int i = 0; i < 25 && std::chrono::steady_clock::now() < deadline; ++i) {
          seed = seed * 1103515245u + 12345u;
          const size_t size = 1 + (seed >> 8) % (i % 5 == 0 ? 70000 : 700);
          if (!EchoOnce(client.pclGetChannel(), PatternBytes(size, seed))) {
            ++failures;
            return;
          }
          ++exchanges;
        }
        if (client.nDisconnect() != 0) ++failures;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(exchanges.load(), 200);
  EXPECT_EQ(plain->nStop(), 0);
  EXPECT_EQ(scrambled->nStop(), 0);
  EXPECT_EQ(nEndWinSock(), 0);
  EXPECT_EQ(nEndWinSock(), 0);
  plain.reset();
  scrambled.reset();
  EXPECT_TRUE(kvnettest::WaitFor([] { return kvp::RunningThreadCount() == 0; }, 20));
  EXPECT_TRUE(kvnettest::WaitFor([&] { return kvnettest::ProcessThreads() == threadsBefore; }, 20));
  EXPECT_EQ(kvnettest::OpenDescriptors(), descriptorsBefore);
  EXPECT_EQ(kvp::WSAStartupCount(), startsBefore);
  std::printf("%ld exchanges in %.0f s\n", exchanges.load(), StressSeconds());
}

}  // namespace
