// The platform's Winsock stand-in: counted start, Windows error numbers,
// select, sends to a reset peer, reentrant name resolution, the local
// address pin.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/comm_net/net_support.h"

namespace {

using kvnettest::Loopback;
using kvnettest::Session;

class LocalPin {
 public:
  explicit LocalPin(const char* list) { kvp::SetLocalAddressOverride(list); }
  ~LocalPin() { kvp::SetLocalAddressOverride(nullptr); }
};

TEST(Winsock, StartAndCleanupAreCounted) {
  const int before = kvp::WSAStartupCount();
  kvp::WSADATA data;
  ASSERT_EQ(kvp::WSAStartup(kvp::MAKEWORD_(1, 1), &data), 0);
  EXPECT_EQ(data.wVersion, kvp::MAKEWORD_(1, 1));
  EXPECT_GE(data.iMaxSockets, 10);
  ASSERT_EQ(kvp::WSAStartup(kvp::MAKEWORD_(2, 2), &data), 0);
  EXPECT_EQ(kvp::WSAStartupCount(), before + 2);
  EXPECT_EQ(kvp::WSACleanup(), 0);
  EXPECT_EQ(kvp::WSACleanup(), 0);
  EXPECT_EQ(kvp::WSAStartupCount(), before);
  // A version below 1.1 is refused and not counted.
  EXPECT_EQ(kvp::WSAStartup(kvp::MAKEWORD_(1, 0), &data), kvp::WSAVERNOTSUPPORTED);
  EXPECT_EQ(kvp::WSAStartupCount(), before);
}

TEST(Winsock, CallsBeforeStartFailWithNotInitialised) {
  ASSERT_EQ(kvp::WSAStartupCount(), 0);
  EXPECT_EQ(kvp::WSACleanup(), kvp::SOCKET_ERROR);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSANOTINITIALISED);
  EXPECT_EQ(kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0), kvp::INVALID_SOCKET);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSANOTINITIALISED);
  EXPECT_EQ(kvp::gethostbyname("localhost"), nullptr);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSANOTINITIALISED);
}

TEST(Winsock, RefusedAndPendingConnectsUseWindowsNumbers) {
  Session session;
  const uint16_t port = kvnettest::FreePort();
  const kvp::sockaddr_in nobody = Loopback(1, port);
  kvp::SOCKET s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  ASSERT_NE(s, kvp::INVALID_SOCKET);
  EXPECT_EQ(kvp::connect(s, &nobody, sizeof nobody), kvp::SOCKET_ERROR);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSAECONNREFUSED);
  kvp::closesocket(s);

  // A non-blocking connect reports "would block" (Linux: EINPROGRESS), and
  // the refusal then shows as writable with SO_ERROR 10061.
  auto listener = kvnettest::Listen(1, port);
  listener.reset();
  s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  unsigned long on = 1;
  ASSERT_EQ(kvp::ioctlsocket(s, kvp::FIONBIO_, &on), 0);
  const int result = kvp::connect(s, &nobody, sizeof nobody);
  if (result != 0) {
    const int error = kvp::WSAGetLastError();
    EXPECT_TRUE(error == kvp::WSAEWOULDBLOCK || error == kvp::WSAECONNREFUSED) << error;
    if (error == kvp::WSAEWOULDBLOCK) {
      kvp::fd_set writable;
      kvp::FdZero(&writable);
      kvp::FdSet(s, &writable);
      kvp::timeval limit{2, 0};
      EXPECT_EQ(kvp::select(0, nullptr, &writable, nullptr, &limit), 1);
      int pending = 0;
      int size = sizeof pending;
      ASSERT_EQ(kvp::getsockopt(s, kvp::SOL_SOCKET_, kvp::SO_ERROR_,
                                reinterpret_cast<char*>(&pending), &size),
                0);
      EXPECT_EQ(pending, kvp::WSAECONNREFUSED);
    }
  }
  kvp::closesocket(s);
}

TEST(Winsock, SelectRefusesNegativeTimesAndBadSockets) {
  Session session;
  kvp::SOCKET s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  kvp::fd_set readable;
  kvp::FdZero(&readable);
  kvp::FdSet(s, &readable);
  kvp::timeval negative{0, -1000};
  EXPECT_EQ(kvp::select(0, &readable, nullptr, nullptr, &negative), kvp::SOCKET_ERROR);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSAEINVAL);
  kvp::fd_set bogus;
  kvp::FdZero(&bogus);
  kvp::FdSet(0x7FFFFFF0u, &bogus);
  kvp::timeval zero{0, 0};
  EXPECT_EQ(kvp::select(0, &bogus, nullptr, nullptr, &zero), kvp::SOCKET_ERROR);
  EXPECT_EQ(kvp::WSAGetLastError(), kvp::WSAENOTSOCK);
  kvp::closesocket(s);
}

TEST(Winsock, SendToAResetPeerIsAnErrorNotASignal) {
  Session session;
  kvnettest::Pair pair = kvnettest::Connect(0, 0);
  // Linger 0: closing the far end resets the connection.
  pair.far.reset();
  const std::string block(65530, 'x');
  int last = 0;
  for (int i = 0; i < 50 && last >= 0; ++i) last = pair.near->nSend(block.data(), 65530);
  EXPECT_EQ(last, -1);
  EXPECT_EQ(pair.near->nGetLastError(), kvp::WSAECONNRESET);
}

TEST(Winsock, LocalAddressCanBePinned) {
  Session session;
  char name[256];
  ASSERT_EQ(kvp::gethostname(name, sizeof name), 0);
  LocalPin pin("127.0.0.5, 127.0.0.6");
  const kvp::hostent* entry = kvp::gethostbyname(name);
  ASSERT_NE(entry, nullptr);
  ASSERT_NE(entry->h_addr_list[0], nullptr);
  ASSERT_NE(entry->h_addr_list[1], nullptr);
  EXPECT_EQ(entry->h_addr_list[2], nullptr);
  kvp::in_addr address;
  std::memcpy(&address.s_addr, entry->h_addr_list[1], 4);
  EXPECT_STREQ(kvp::inet_ntoa(address), "127.0.0.6");
  // Other names still go to the name service.
  entry = kvp::gethostbyname("localhost");
  ASSERT_NE(entry, nullptr);
  std::memcpy(&address.s_addr, entry->h_addr_list[0], 4);
  EXPECT_STREQ(kvp::inet_ntoa(address), "127.0.0.1");
}

TEST(Winsock, UnknownHostIs11001) {
  Session session;
  EXPECT_EQ(kvp::gethostbyname("no-such-host.invalid"), nullptr);
  const int error = kvp::WSAGetLastError();
  EXPECT_TRUE(error == kvp::WSAHOST_NOT_FOUND || error == kvp::WSANO_DATA) << error;
}

// Each thread's host entry is its own: two threads resolving different
// names at once never see each other's answers.
TEST(Winsock, HostEntriesBelongToTheirThread) {
  Session session;
  char name[256];
  ASSERT_EQ(kvp::gethostname(name, sizeof name), 0);
  LocalPin pin("127.0.0.9");
  std::atomic<int> wrong{0};
  auto resolve = [&](const char* host, const char* expected) {
    for (int i = 0; i < 300; ++i) {
      const kvp::hostent* entry = kvp::gethostbyname(host);
      if (entry == nullptr) {
        ++wrong;
        continue;
      }
      kvp::in_addr address;
      std::memcpy(&address.s_addr, entry->h_addr_list[0], 4);
      if (std::strcmp(kvp::inet_ntoa(address), expected) != 0) ++wrong;
    }
  };
  std::thread a(resolve, name, "127.0.0.9");
  std::thread b(resolve, "127.0.0.42", "127.0.0.42");
  a.join();
  b.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(Winsock, DottedAddressesAndByteOrder) {
  EXPECT_EQ(kvp::inet_addr("not an address"), kvp::INADDR_NONE_);
  const uint32_t address = kvp::inet_addr("1.2.3.4");
  unsigned char bytes[4];
  std::memcpy(bytes, &address, 4);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[3], 4);
  const uint16_t port = kvp::htons(0x1234);
  std::memcpy(bytes, &port, 2);
  EXPECT_EQ(bytes[0], 0x12);
  EXPECT_EQ(kvp::ntohs(port), 0x1234);
  EXPECT_EQ(kvp::ntohl(kvp::htonl(0xA1B2C3D4u)), 0xA1B2C3D4u);
}

}  // namespace
