// clSOCKET: sends capped at 65530, exact receives, timed connects (refused,
// timed out, negative limits), scrambled streams that stay in step through
// partial sends.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/comm_net/net_support.h"

namespace {

using kvnettest::Connect;
using kvnettest::Loopback;
using kvnettest::Pair;
using kvnettest::PatternBytes;
using kvnettest::ReferenceScrambler;
using kvnettest::Session;

std::string Receive(clSOCKET& socket, long length) {
  std::string bytes(static_cast<size_t>(length), '\0');
  EXPECT_EQ(socket.lRecv(bytes.data(), length), length) << socket.nGetLastError();
  return bytes;
}

void SetBuffer(unsigned int socket, int option, int size) {
  ASSERT_EQ(kvp::setsockopt(socket, kvp::SOL_SOCKET_, option, reinterpret_cast<const char*>(&size),
                            sizeof size),
            0);
}

TEST(Socket, SendIsCappedAt65530) {
  Session session;
  Pair pair = Connect(0, 0);
  SetBuffer(pair.near->GetSocket(), kvp::SO_SNDBUF_, 1 << 20);
  SetBuffer(pair.far->GetSocket(), kvp::SO_RCVBUF_, 1 << 20);
  const std::string data = PatternBytes(100000, 1);
  const int sent = pair.near->nSend(data.data(), static_cast<long>(data.size()));
  EXPECT_EQ(sent, 65530);
  EXPECT_EQ(Receive(*pair.far, sent), data.substr(0, static_cast<size_t>(sent)));
}

TEST(Socket, ReceiveWaitsForEveryByteAcrossSends) {
  Session session;
  Pair pair = Connect(0, 0);
  const std::string data = PatternBytes(10007, 2);
  std::thread sender([&] {
    for (size_t at = 0; at < data.size(); at += 997) {
      pair.near->nSend(data.data() + at,
                       static_cast<long>(std::min<size_t>(997, data.size() - at)));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_EQ(Receive(*pair.far, static_cast<long>(data.size())), data);
  sender.join();
}

TEST(Socket, ReceiveFailsWhenThePeerClosesEarly) {
  Session session;
  Pair pair = Connect(0, 0);
  ASSERT_EQ(pair.near->nSend("abc", 3), 3);
  ASSERT_EQ(pair.near->nClose(), 0);
  char buffer[10];
  EXPECT_EQ(pair.far->lRecv(buffer, 10), -1);
  const int error = pair.far->nGetLastError();
  EXPECT_TRUE(error == kvp::WSAESHUTDOWN || error == kvp::WSAECONNRESET) << error;
}

TEST(Socket, BadLengthsAndClosedSocketsAreRefused) {
  Session session;
  Pair pair = Connect(0, 0);
  char buffer[4];
  EXPECT_EQ(pair.near->nSend(buffer, -1), -1);
  EXPECT_EQ(pair.near->nGetLastError(), kvp::WSAEINVAL);
  EXPECT_EQ(pair.far->lRecv(buffer, -5), -1);
  EXPECT_EQ(pair.far->lRecv(buffer, 0), 0);
  EXPECT_EQ(pair.near->nSend(buffer, 0), 0);
  clSOCKET none(0L);
  EXPECT_EQ(none.nSend("x", 1), -1);
  EXPECT_EQ(none.nGetLastError(), kvp::WSAENOTSOCK);
  EXPECT_EQ(none.lRecv(buffer, 1), -1);
  EXPECT_EQ(none.nClose(), 0);
}

// Linux reports a refused connect as writable; the connect must still fail.
TEST(Socket, RefusedConnectFailsWith10061) {
  Session session;
  const uint16_t port = kvnettest::FreePort();
  clSOCKET socket(0L);
  ASSERT_EQ(socket.nCreate(), 0);
  const kvp::sockaddr_in nobody = Loopback(1, port);
  EXPECT_EQ(socket.nConnect(&nobody, 500), -1);
  EXPECT_EQ(socket.nGetLastError(), kvp::WSAECONNREFUSED);
}

// A listener whose queue is full lets further connects wait: the time limit
// ends them with 10060.
TEST(Socket, ConnectEndsAtItsTimeLimit) {
  Session session;
  const uint16_t port = kvnettest::FreePort();
  kvp::SOCKET listener = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  kvp::sockaddr_in address = Loopback(1, port);
  ASSERT_EQ(kvp::bind(listener, &address, sizeof address), 0);
  ASSERT_EQ(kvp::listen(listener, 0), 0);
  std::vector<std::unique_ptr<clSOCKET>> queued;
  bool timedOut = false;
  for (int i = 0; i < 8 && !timedOut; ++i) {
    auto socket = std::make_unique<clSOCKET>(0L);
    ASSERT_EQ(socket->nCreate(), 0);
    const auto start = std::chrono::steady_clock::now();
    if (socket->nConnect(&address, 300) != 0) {
      const double waited =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_EQ(socket->nGetLastError(), kvp::WSAETIMEDOUT);
      EXPECT_GE(waited, 0.25);
      EXPECT_LT(waited, 30.0);
      timedOut = true;
    }
    queued.push_back(std::move(socket));
  }
  EXPECT_TRUE(timedOut) << "the listener's queue never filled";
  kvp::closesocket(listener);
}

// A limit below 0 (even below -1) waits as long as connecting takes rather
// than failing in select.
TEST(Socket, NegativeLimitsWaitWithoutLimit) {
  Session session;
  const uint16_t port = kvnettest::FreePort();
  auto listener = kvnettest::Listen(1, port);
  for (long limit : {-1L, -2L, -1000000L}) {
    clSOCKET socket(0L);
    ASSERT_EQ(socket.nCreate(), 0);
    const kvp::sockaddr_in address = Loopback(1, port);
    EXPECT_EQ(socket.nConnect(&address, limit), 0) << limit << ": " << socket.nGetLastError();
    std::unique_ptr<clSOCKET> accepted(listener->pclAccept());
    EXPECT_TRUE(accepted);
  }
}

TEST(Socket, ScrambledPairStaysInStepBothWays) {
  Session session;
  Pair pair = Connect(1, 1);
  for (int round = 0; round < 20; ++round) {
    const std::string out = PatternBytes(static_cast<size_t>(round * 37 + 1), round);
    ASSERT_EQ(pair.near->nSend(out.data(), static_cast<long>(out.size())),
              static_cast<int>(out.size()));
    EXPECT_EQ(Receive(*pair.far, static_cast<long>(out.size())), out);
    const std::string back = PatternBytes(static_cast<size_t>(round * 11 + 3), round + 100);
    ASSERT_EQ(pair.far->nSend(back.data(), static_cast<long>(back.size())),
              static_cast<int>(back.size()));
    EXPECT_EQ(Receive(*pair.near, static_cast<long>(back.size())), back);
  }
}

// One counter per socket for both directions: what a plain peer sees is
// the reference scrambling of everything the scrambled end sent and read.
TEST(Socket, PlainPeerSeesTheReferenceScrambling) {
  Session session;
  Pair pair = Connect(1, 0);
  ReferenceScrambler reference;
  const std::string first = PatternBytes(501, 5);
  ASSERT_EQ(pair.near->nSend(first.data(), 501), 501);
  EXPECT_EQ(Receive(*pair.far, 501), reference.Apply(first));
  // Bytes the scrambled end reads advance the same counter.
  const std::string reply = PatternBytes(77, 6);
  ASSERT_EQ(pair.far->nSend(reply.data(), 77), 77);
  EXPECT_EQ(Receive(*pair.near, 77), reference.Apply(reply));
  const std::string second = PatternBytes(1234, 7);
  ASSERT_EQ(pair.near->nSend(second.data(), 1234), 1234);
  EXPECT_EQ(Receive(*pair.far, 1234), reference.Apply(second));
}

// A send the platform takes only in part advances the counter by what it
// took: resending the rest keeps both ends in step.
TEST(Socket, PartialSendKeepsTheCounterInStep) {
  Session session;
  const uint16_t port = kvnettest::FreePort();
  kvp::SOCKET listener = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  kvp::sockaddr_in address = Loopback(1, port);
  ASSERT_EQ(kvp::bind(listener, &address, sizeof address), 0);
  SetBuffer(listener, kvp::SO_RCVBUF_, 4096);
  ASSERT_EQ(kvp::listen(listener, 5), 0);
  clSOCKET sender(1L);
  ASSERT_EQ(sender.nCreate(), 0);
  SetBuffer(sender.GetSocket(), kvp::SO_SNDBUF_, 4096);
  ASSERT_EQ(sender.nConnect(&address, 2000), 0);
  kvp::SOCKET receiver = kvp::accept(listener, nullptr, nullptr);
  ASSERT_NE(receiver, kvp::INVALID_SOCKET);
  const kvp::DWORD limit = 200;
  ASSERT_EQ(kvp::setsockopt(sender.GetSocket(), kvp::SOL_SOCKET_, kvp::SO_SNDTIMEO_,
                            reinterpret_cast<const char*>(&limit), sizeof limit),
            0);

  const std::string data = PatternBytes(65530, 9);
  const int first = sender.nSend(data.data(), 65530);
  ASSERT_GT(first, 0) << sender.nGetLastError();
  ASSERT_LT(first, 65530) << "the platform took the whole send";
  std::string received;
  std::thread reader([&] {
    char chunk[4096];
    while (received.size() < data.size()) {
      const int n = kvp::recv(receiver, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      received.append(chunk, static_cast<size_t>(n));
    }
  });
  long at = first;
  while (at < 65530) {
    const int n = sender.nSend(data.data() + at, 65530 - at);
    if (n < 0 && sender.nGetLastError() == kvp::WSAEWOULDBLOCK) continue;
    ASSERT_GT(n, 0) << sender.nGetLastError();
    at += n;
  }
  reader.join();
  ReferenceScrambler reference;
  EXPECT_EQ(received, reference.Apply(data));
  kvp::closesocket(receiver);
  kvp::closesocket(listener);
}

TEST(Socket, AssignmentGivesEachObjectItsOwnDescriptor) {
  Session session;
  Pair pair = Connect(0, 0);
  const int before = kvnettest::OpenDescriptors();
  {
    clSOCKET copy(0L);
    copy = *pair.near;
    EXPECT_NE(copy.GetSocket(), pair.near->GetSocket());
    EXPECT_EQ(kvnettest::OpenDescriptors(), before + 1);
  }
  EXPECT_EQ(kvnettest::OpenDescriptors(), before);
  // The original still works after the copy was closed.
  ASSERT_EQ(pair.near->nSend("ok", 2), 2);
  EXPECT_EQ(Receive(*pair.far, 2), "ok");
}

}  // namespace
