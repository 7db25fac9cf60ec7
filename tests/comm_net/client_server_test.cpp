// Clients and servers over loopback: connections, scans of 127.0.0.x, the
// host check, the library's error codes, stopping with clients connected.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "comm/net/listener.h"
#include "platform/kernel/fault.h"
#include "platform/kernel/files.h"
#include "platform/kernel/threads.h"
#include "tests/comm_net/service_support.h"

namespace {

using kvnettest::EchoOnce;
using kvnettest::EchoService;
using kvnettest::Listen;
using kvnettest::LocalPin;
using kvnettest::PatternBytes;
using kvnettest::Session;
using kvnettest::WaitFor;

// Reads until the client goes; counts the bytes.
std::atomic<long> gHeldBytes{0};
void HoldService(clCHANNEL* channel) {
  char buffer[1000];
  while (channel->lRecv(buffer, sizeof buffer) == sizeof buffer) gHeldBytes += sizeof buffer;
}

class ClientServer : public ::testing::Test {
 protected:
  Session session_;
  LocalPin pin_{"127.0.0.1"};
  uint16_t port_ = kvnettest::FreePort();
};

TEST_F(ClientServer, PlainAndScrambledEcho) {
  for (long mode : {0L, 1L}) {
    clSERVER server(EchoService, port_, mode);
    ASSERT_EQ(server.nInit(), 0);
    ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
    clCLIENT client(nullptr, "127.0.0.1", 1000, port_, "user", "secret", mode);
    ASSERT_EQ(client.nInit(), 0);
    ASSERT_EQ(client.nConnect(nullptr, 1000, 0), 0) << client.nGetLastError();
    for (size_t size : {1u, 64u, 65531u, 200000u})
      EXPECT_TRUE(
          EchoOnce(client.pclGetChannel(), PatternBytes(size, static_cast<uint32_t>(size))));
    EXPECT_EQ(client.nDisconnect(), 0);
    EXPECT_EQ(server.nStop(), 0);
    EXPECT_EQ(nEndWinSock(), 0);
  }
  EXPECT_EQ(kvp::WSAStartupCount(), 1);  // the fixture's own session
  EXPECT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
}

TEST_F(ClientServer, ServerListensOnTheFirstLocalAddressOnly) {
  LocalPin pin("127.0.0.3,127.0.0.4");
  clSERVER server(EchoService, port_, 0);
  ASSERT_EQ(server.nInit(), 0);
  char text[256];
  ASSERT_NE(server.pszGetIPAddress(text), nullptr);
  EXPECT_STREQ(text, "127.0.0.3");
  ASSERT_EQ(server.nStart(), 0);
  clCLIENT first(nullptr, "127.0.0.3", 500, port_, nullptr, nullptr, 0);
  EXPECT_EQ(first.nConnect(nullptr, 500, 0), 0);
  clCLIENT second(nullptr, "127.0.0.4", 500, port_, nullptr, nullptr, 0);
  EXPECT_EQ(second.nConnect(nullptr, 500, 0), -1);
  EXPECT_EQ(second.nGetLastError(), kvp::WSAECONNREFUSED);
  EXPECT_EQ(server.nStop(), 0);
  nEndWinSock();
}

std::atomic<unsigned long> gServedRequest{0};
void RecordRequest(clCHANNEL* channel, unsigned long request) {
  if (channel != nullptr) gServedRequest = request;
}

TEST_F(ClientServer, ServiceRunsOnTheConnectionWithTheRequest) {
  auto listener = Listen(1, port_);
  clCLIENT client(RecordRequest, "127.0.0.1", 0, port_, nullptr, nullptr, 0);
  client.Service(5);
  EXPECT_EQ(client.nGetLastError(), kvp::WSAENOTCONN);
  EXPECT_EQ(gServedRequest.load(), 0u);
  ASSERT_EQ(client.nConnect(nullptr, 0, 0), 0);
  client.Service(0xFEEDul);
  EXPECT_EQ(gServedRequest.load(), 0xFEEDul);
}

// Started without nInit, a server still binds the first local address, not
// every interface.
TEST_F(ClientServer, StartWithoutInitBindsTheLocalAddress) {
  LocalPin pin("127.0.0.8");
  clSERVER server(EchoService, port_, 0);
  ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
  clCLIENT other(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 0);
  EXPECT_EQ(other.nConnect(nullptr, 200, 0), -1);
  clCLIENT local(nullptr, "127.0.0.8", 0, port_, nullptr, nullptr, 0);
  EXPECT_EQ(local.nConnect(nullptr, 200, 0), 0);
  EXPECT_EQ(server.nStop(), 0);
}

TEST_F(ClientServer, ClientKeepsItsSettings) {
  clCLIENT client(nullptr, nullptr, 10, port_, std::string(40, 'u').c_str(), "pw", 1);
  EXPECT_STREQ(client.pszGetServerAddress(), "");
  EXPECT_EQ(std::string(client.pszGetUserName()), std::string(31, 'u'));
  EXPECT_STREQ(client.pszGetPassword(), "pw");
  int context = 0;
  client.SetUserCtx(&context);
  EXPECT_EQ(client.pGetUserCtx(), &context);
  clCLIENT copy(nullptr, "x", 0, 1, nullptr, nullptr, 0);
  copy = client;
  EXPECT_STREQ(copy.pszGetPassword(), "pw");
  EXPECT_EQ(copy.pGetUserCtx(), &context);
  EXPECT_EQ(copy.pclGetChannel(), nullptr);
}

// --- Scans of 127.0.0.x -----------------------------------------------------

class Scan : public ClientServer {
 protected:
  void SetUp() override {
    for (int byte : {3, 5, 7, 9}) listeners_.push_back(Listen(byte, port_));
  }
  // Connects with `text` in a buffer of exactly its size plus a guard, and
  // returns the text afterwards; the guard must stay intact.
  std::string ConnectWith(const std::string& text, int expected, int expectedError = 0) {
    std::string buffer = text + '\0' + "GUARD";
    clCLIENT client(nullptr, nullptr, 0, port_, nullptr, nullptr, 0);
    const int result = client.nConnect(buffer.data(), 0, 0);
    EXPECT_EQ(result, expected) << text << ": " << client.nGetLastError();
    if (expectedError != 0) {
      EXPECT_EQ(client.nGetLastError(), expectedError) << text;
    }
    EXPECT_EQ(buffer.substr(text.size() + 1), "GUARD") << text;
    answered_ = client.pszGetServerAddress();
    return std::string(buffer.c_str());
  }
  std::vector<std::unique_ptr<clSOCKET>> listeners_;
  std::string answered_;
};

TEST_F(Scan, FirstAddressThatAnswersIsTakenAndWrittenBack) {
  EXPECT_EQ(ConnectWith("127.0.0.[1-20]", 0), "127.0.0.3");
  EXPECT_EQ(ConnectWith("127.0.0.[4-20]", 0), "127.0.0.5");
  EXPECT_EQ(answered_, "127.0.0.5");
}

TEST_F(Scan, DescendingRangesTryTheirFirstByteFirst) {
  EXPECT_EQ(ConnectWith("127.0.0.[5-3]", 0), "127.0.0.5");
  EXPECT_EQ(ConnectWith("127.0.0.[3-5]", 0), "127.0.0.3");
  EXPECT_EQ(ConnectWith("127.0.0.[20-8]", 0), "127.0.0.9");
}

TEST_F(Scan, FurtherRangesAreTriedWhenTheFirstIsExhausted) {
  EXPECT_EQ(ConnectWith("127.0.0.[10-12][1-2][9-9]", 0), "127.0.0.9");
}

TEST_F(Scan, NobodyAnsweringKeepsTheRefusal) {
  EXPECT_EQ(ConnectWith("127.0.0.[10-14]", -1, kvp::WSAECONNREFUSED), "127.0.0.[10-14]");
}

TEST_F(Scan, MalformedRangesFailAtOnce) {
  EXPECT_EQ(ConnectWith("127.0.0.[1-300]", -1, kvp::WSAEINVAL), "127.0.0.[1-300]");
  EXPECT_EQ(ConnectWith("127.0.0.[1-", -1, kvp::WSAEINVAL), "127.0.0.[1-");
  EXPECT_EQ(ConnectWith("*", -1, kvp::WSAEINVAL), "*");
}

// "127.0.0.*" has room for "127.0.0.7" but not for "127.0.0.17": the text
// is rewritten only when the answer fits, the client keeps it either way.
TEST_F(Scan, StarRewritesOnlyWithinTheTextsRoom) {
  EXPECT_EQ(ConnectWith("127.0.0.*", 0), "127.0.0.3");
  listeners_.clear();
  listeners_.push_back(Listen(17, port_));
  EXPECT_EQ(ConnectWith("127.0.0.*", 0), "127.0.0.*");
  EXPECT_EQ(answered_, "127.0.0.17");
}

TEST_F(Scan, AtFormScansAroundTheNamedHost) {
  EXPECT_EQ(ConnectWith("[6-9]@localhost", 0), "127.0.0.7");
  ConnectWith("[1-3]@no-such-host.invalid", -1);
}

TEST_F(Scan, DirectAddressesUseTheRetryPlan) {
  clCLIENT client(nullptr, "127.0.0.9", 0, port_, nullptr, nullptr, 0);
  EXPECT_EQ(client.nConnect(nullptr, -1, 0), 0);
  clCLIENT refused(nullptr, "127.0.0.10", 0, port_, nullptr, nullptr, 0);
  for (long timeout : {0L, -1L, -9L, 50L}) {
    EXPECT_EQ(refused.nConnect(nullptr, timeout, 0), -1);
    EXPECT_EQ(refused.nGetLastError(), kvp::WSAECONNREFUSED) << timeout;
  }
  clCLIENT named(nullptr, "localhost", 0, port_, nullptr, nullptr, 0);
  listeners_.push_back(Listen(1, port_));
  EXPECT_EQ(named.nConnect(nullptr, 0, 0), 0);
  clCLIENT unknown(nullptr, "no-such-host.invalid", 0, port_, nullptr, nullptr, 0);
  EXPECT_EQ(unknown.nConnect(nullptr, 0, 0), -1);
  EXPECT_NE(unknown.nGetLastError(), 0);
}

// --- Host check and the library's codes --------------------------------------

TEST_F(ClientServer, HostCheckNeedsTheHostRuntime) {
  auto listener = Listen(1, port_);
  clCLIENT client(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 0);
  ::unsetenv("KV_MODULE_KVHOST_DLL");
  ::unsetenv("KV_MODULE_KVHFILE_DLL");
  EXPECT_EQ(client.nConnect(nullptr, 0, 1), -1);
  EXPECT_EQ(client.nGetLastError(), KVNET_ERR_NO_HOST);
  // The file sibling stands in for the runtime (here: a library the test
  // process has loaded, under that module name).
  ::setenv("KV_MODULE_KVHFILE_DLL", "libkvplatform.so", 1);
  EXPECT_EQ(client.nConnect(nullptr, 0, 1), 0) << client.nGetLastError();
  ::unsetenv("KV_MODULE_KVHFILE_DLL");
}

TEST_F(ClientServer, OldOrSmallSocketServicesAreRefused) {
  const int before = kvp::WSAStartupCount();
  kvp::WSASetStartupReplyForTests(kvp::MAKEWORD_(1, 0), 100);
  EXPECT_EQ(nInitWinSock(), KVNET_ERR_OLD_WINSOCK);
  clSERVER server(EchoService, port_, 0);
  EXPECT_EQ(server.nInit(), -1);
  EXPECT_EQ(server.nGetLastError(), KVNET_ERR_OLD_WINSOCK);
  kvp::WSASetStartupReplyForTests(kvp::MAKEWORD_(1, 1), 9);
  EXPECT_EQ(nInitWinSock(), KVNET_ERR_FEW_SOCKETS);
  kvp::WSASetStartupReplyForTests(0, 0);
  EXPECT_EQ(kvp::WSAStartupCount(), before);
}

TEST_F(ClientServer, AllocationFailuresGiveTheirCodes) {
  clSERVER server(EchoService, port_, 0);
  kvp::fault::Reset();
  kvp::fault::Arm(kvp::fault::Op::Alloc, 1, kvp::ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(server.nInit(), -1);
  EXPECT_EQ(server.nGetLastError(), KVNET_ERR_LOCAL_INFO);
  nEndWinSock();
  ASSERT_EQ(server.nInit(), 0);
  for (unsigned nth : {1u, 2u, 3u}) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, nth, kvp::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(server.nStart(), -1) << nth;
    EXPECT_EQ(server.nGetLastError(), nth == 1 ? KVNET_ERR_SOCKET_OBJECT : KVNET_ERR_LISTENER);
  }
  kvp::fault::Reset();
  ASSERT_EQ(server.nStart(), 0);
  EXPECT_EQ(server.nStop(), 0);
  nEndWinSock();
  // The client's own allocations, against a bare listener (a server's
  // listener thread would count allocations of its own meanwhile).
  auto listener = Listen(1, port_);
  clCLIENT client(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 0);
  for (unsigned nth : {1u, 2u}) {
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, nth, kvp::ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(client.nConnect(nullptr, 500, 0), -1);
    EXPECT_EQ(client.nGetLastError(), nth == 1 ? KVNET_ERR_SOCKET_OBJECT : KVNET_ERR_CHANNEL);
  }
  kvp::fault::Reset();
  EXPECT_EQ(client.nConnect(nullptr, 500, 0), 0);
  EXPECT_NE(client.pclGetChannel(), nullptr);
}

// The listener on its own: its exit code when the wait ends, and when a
// client's channel, service block or thread cannot be had.
struct ListenerRun {
  std::unique_ptr<clSOCKET> listening;
  kvp::HANDLE thread = nullptr;
  ListenerRun(uint16_t port) : listening(Listen(1, port)) {
    thread = kvp::CreateThread(nullptr, 0, kvnet::ListenerMain,
                               new kvnet::ListenerStart{listening.get(), EchoService}, 0, nullptr);
  }
  kvp::DWORD ExitCode() {
    EXPECT_EQ(kvp::WaitForSingleObject(thread, 20000), kvp::WAIT_OBJECT_0);
    kvp::DWORD code = 0;
    kvp::GetExitCodeThread(thread, &code);
    kvp::CloseHandle(thread);
    thread = nullptr;
    return code;
  }
  // A test that failed half-way still ends the listener before its socket
  // goes.
  ~ListenerRun() {
    if (thread == nullptr) return;
    listening->nShutdown();
    kvp::WaitForSingleObject(thread, kvp::INFINITE);
    kvp::CloseHandle(thread);
  }
};

TEST_F(ClientServer, ListenerExitCodes) {
  {
    ListenerRun run(port_);
    ASSERT_NE(run.thread, nullptr);
    kvp::DWORD code = 0;
    ASSERT_TRUE(kvp::GetExitCodeThread(run.thread, &code));
    EXPECT_EQ(code, kvp::STILL_ACTIVE);
    run.listening->nShutdown();
    EXPECT_EQ(run.ExitCode(), static_cast<kvp::DWORD>(KVNET_ERR_WAIT_ENDED));
  }
  // Allocations per client: accepted socket, channel, service block, thread.
  const struct {
    unsigned nth;
    int exitCode;
  } cases[] = {{1, KVNET_ERR_WAIT_ENDED},
               {2, KVNET_ERR_CHANNEL},
               {3, KVNET_ERR_SERVICE},
               {4, KVNET_ERR_SERVICE}};
  for (const auto& c : cases) {
    const uint16_t port = kvnettest::FreePort();
    ListenerRun run(port);
    ASSERT_NE(run.thread, nullptr);
    // Armed once the listener waits in accept: its next allocations are the
    // client's.
    kvp::fault::Reset();
    kvp::fault::Arm(kvp::fault::Op::Alloc, c.nth, kvp::ERROR_NOT_ENOUGH_MEMORY);
    clSOCKET client(0L);
    ASSERT_EQ(client.nCreate(), 0);
    const kvp::sockaddr_in address = kvnettest::Loopback(1, port);
    // The listener may close (reset) the connection before the connect has
    // seen it complete: then the connect itself reports the reset.
    const int connected = client.nConnect(&address, 2000);
    ASSERT_TRUE(connected == 0 || client.nGetLastError() == kvp::WSAECONNRESET)
        << c.nth << ": " << client.nGetLastError();
    EXPECT_EQ(run.ExitCode(), static_cast<kvp::DWORD>(c.exitCode)) << c.nth;
    if (c.nth == 1) {
      EXPECT_EQ(run.listening->nGetLastError(), KVNET_ERR_ACCEPT_OBJECT);
    }
    // The client just accepted was closed, not left hanging.
    char byte;
    if (connected == 0) {
      EXPECT_EQ(client.lRecv(&byte, 1), -1);
    }
    kvp::fault::Reset();
  }
  EXPECT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
}

// --- Stopping ------------------------------------------------------------

TEST_F(ClientServer, StopWithClientsConnectedAndSending) {
  const int threadsBefore = kvnettest::ThreadBaseline();
  const int descriptorsBefore = kvnettest::OpenDescriptors();
  clSERVER server(HoldService, port_, 1);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0);
  std::vector<std::unique_ptr<clCLIENT>> clients;
  for (int i = 0; i < 5; ++i) {
    clients.push_back(
        std::make_unique<clCLIENT>(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 1));
    ASSERT_EQ(clients.back()->nConnect(nullptr, 1000, 0), 0);
  }
  ASSERT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 6; }, 10));
  // One client keeps sending while the server stops.
  std::atomic<bool> sending{true};
  std::thread sender([&] {
    const std::string block(1000, 's');
    clCHANNEL* channel = clients[0]->pclGetChannel();
    while (sending && channel->lSendAll(block.data(), 1000) == 1000) {
    }
  });
  ASSERT_TRUE(WaitFor([] { return gHeldBytes > 100000; }, 10));
  EXPECT_EQ(server.nStop(), 0);
  EXPECT_EQ(kvp::RunningThreadCount(), 5u);  // the listener has ended
  {
    // No new client gets in.
    clCLIENT late(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 1);
    EXPECT_EQ(late.nConnect(nullptr, 100, 0), -1);
  }
  sending = false;
  sender.join();
  clients.clear();
  EXPECT_TRUE(WaitFor([] { return kvp::RunningThreadCount() == 0; }, 10));
  EXPECT_TRUE(WaitFor([&] { return kvnettest::ProcessThreads() == threadsBefore; }, 10));
  EXPECT_EQ(kvnettest::OpenDescriptors(), descriptorsBefore);
  nEndWinSock();
}

TEST_F(ClientServer, StopReturnsAfterTheListenerEndedAndTwiceIsHarmless) {
  clSERVER server(EchoService, port_, 0);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0);
  EXPECT_EQ(kvp::RunningThreadCount(), 1u);
  EXPECT_EQ(server.nStop(), 0);
  EXPECT_EQ(kvp::RunningThreadCount(), 0u);
  EXPECT_EQ(server.nStop(), 0);
  // It starts again on the same port.
  ASSERT_EQ(server.nStart(), 0) << server.nGetLastError();
  nEndWinSock();
}  // the destructor stops the running server

// A client in another process: the server in this one, scrambled typed
// exchanges across the process boundary.
TEST_F(ClientServer, ClientInAnotherProcess) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child waits for the parent's server to come up.
    clCLIENT client(nullptr, "127.0.0.1", 0, port_, nullptr, nullptr, 1);
    bool connected = false;
    for (int i = 0; i < 500 && !connected; ++i) {
      connected = client.nConnect(nullptr, -1, 0) == 0;
      if (!connected) usleep(10000);
    }
    bool ok = connected;
    for (int i = 0; ok && i < 50; ++i)
      ok = EchoOnce(client.pclGetChannel(), PatternBytes(static_cast<size_t>(i * 97 + 1), i));
    _exit(ok ? 0 : 1);
  }
  clSERVER server(EchoService, port_, 1);
  ASSERT_EQ(server.nInit(), 0);
  ASSERT_EQ(server.nStart(), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(server.nStop(), 0);
  nEndWinSock();
}

}  // namespace
