// Service threads kept for joining: a stopped server's threads may still be
// finishing after their sessions ended; joining waits for exactly those.
#include "comm/net/service_threads.h"

#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/threads.h"
#include "tests/comm_net/service_support.h"

namespace {

using kvnettest::LocalPin;
using kvnettest::Session;
using kvnettest::WaitFor;

std::atomic<int> gSessionsEnded{0};
std::atomic<int> gServicesReturned{0};

// Ends its session when the client goes, then lingers before returning, as
// a service thread does while it frees what its session used.
void LingeringService(clCHANNEL* channel) {
  char buffer[64];
  while (channel->lRecv(buffer, sizeof buffer) > 0) {
  }
  ++gSessionsEnded;
  kvp::Sleep(300);
  ++gServicesReturned;
}

// The same, for a service whose threads nobody waits for.
void PlainLingeringService(clCHANNEL* channel) {
  LingeringService(channel);
}

class ServiceThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    gSessionsEnded = 0;
    gServicesReturned = 0;
  }
  Session session_;
  LocalPin pin_{"127.0.0.1"};
  uint16_t port_ = kvnettest::FreePort();
};

TEST_F(ServiceThreads, JoiningWaitsForThreadsThatOutliveTheirSessions) {
  kvnet::KeepServiceThreads(&LingeringService);
  clSERVER server(&LingeringService, port_, 0);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
  for (int i = 0; i < 3; ++i) {
    clCLIENT client(nullptr, "127.0.0.1", 1000, port_, "user", "secret", 0);
    ASSERT_EQ(client.nInit(), 0);
    ASSERT_EQ(client.nConnect(nullptr, 1000, 0), 0) << client.nGetLastError();
    EXPECT_EQ(client.nDisconnect(), 0);
  }
  ASSERT_TRUE(WaitFor([] { return gSessionsEnded == 3; }, 10));
  EXPECT_EQ(server.nStop(), 0);
  EXPECT_EQ(kvnet::ServiceThreadsOf(&server), 3u);
  kvnet::JoinServiceThreads(&server);
  EXPECT_EQ(gServicesReturned, 3);
  EXPECT_EQ(kvp::RunningThreadCount(), 0u);
  EXPECT_EQ(kvnet::ServiceThreadsOf(&server), 0u);
  EXPECT_EQ(nEndWinSock(), 0);
}

TEST_F(ServiceThreads, EndedThreadsAreReleasedAsNewOnesStart) {
  kvnet::KeepServiceThreads(&LingeringService);
  clSERVER server(&LingeringService, port_, 0);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
  for (int i = 0; i < 5; ++i) {
    clCLIENT client(nullptr, "127.0.0.1", 1000, port_, "user", "secret", 0);
    ASSERT_EQ(client.nInit(), 0);
    ASSERT_EQ(client.nConnect(nullptr, 1000, 0), 0) << client.nGetLastError();
    EXPECT_EQ(client.nDisconnect(), 0);
    // Each thread has returned before the next client comes.
    ASSERT_TRUE(WaitFor([i] { return gServicesReturned == i + 1; }, 10));
    ASSERT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 1; }, 10));  // the listener
  }
  EXPECT_EQ(server.nStop(), 0);
  // Only the last one can still be on record: the others were released
  // when the next thread started.
  EXPECT_LE(kvnet::ServiceThreadsOf(&server), 1u);
  kvnet::JoinServiceThreads(&server);
  EXPECT_EQ(nEndWinSock(), 0);
}

TEST_F(ServiceThreads, ServicesNotKeptRunOnByThemselves) {
  EXPECT_FALSE(kvnet::ServiceThreadsKept(&PlainLingeringService));
  clSERVER server(&PlainLingeringService, port_, 0);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
  clCLIENT client(nullptr, "127.0.0.1", 1000, port_, "user", "secret", 0);
  ASSERT_EQ(client.nInit(), 0);
  ASSERT_EQ(client.nConnect(nullptr, 1000, 0), 0) << client.nGetLastError();
  EXPECT_EQ(client.nDisconnect(), 0);
  ASSERT_TRUE(WaitFor([] { return gSessionsEnded == 1; }, 10));
  EXPECT_EQ(server.nStop(), 0);
  EXPECT_EQ(kvnet::ServiceThreadsOf(&server), 0u);
  EXPECT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
  EXPECT_EQ(nEndWinSock(), 0);
}

}  // namespace
