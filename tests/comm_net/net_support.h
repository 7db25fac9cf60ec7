// Helpers of the socket-layer tests: loopback addresses, free ports,
// connected socket pairs, a second implementation of the stream scrambling
// written from its rule, and counts of what a process holds.
#pragma once
#include <dirent.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace kvnettest {

// Keeps the socket service started for a test's lifetime.
class Session {
 public:
  Session() {
    if (nInitWinSock() != 0) throw std::runtime_error("socket service does not start");
  }
  ~Session() { nEndWinSock(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

inline kvp::sockaddr_in Loopback(int lastByte, uint16_t port) {
  kvp::sockaddr_in address{};
  address.sin_family = kvp::AF_INET_;
  address.sin_port = kvp::htons(port);
  const std::string dotted = "127.0.0." + std::to_string(lastByte);
  address.sin_addr.s_addr = kvp::inet_addr(dotted.c_str());
  return address;
}

// A port that nothing listens on at the moment (the kernel's choice).
inline uint16_t FreePort() {
  const kvp::SOCKET s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  if (s == kvp::INVALID_SOCKET) throw std::runtime_error("no socket for a free port");
  kvp::sockaddr_in address = Loopback(1, 0);
  int length = sizeof address;
  if (kvp::bind(s, &address, sizeof address) != 0 || kvp::getsockname(s, &address, &length) != 0) {
    kvp::closesocket(s);
    throw std::runtime_error("no free port");
  }
  kvp::closesocket(s);
  return kvp::ntohs(address.sin_port);
}

// A listening socket of the class on 127.0.0.`lastByte`.
inline std::unique_ptr<clSOCKET> Listen(int lastByte, uint16_t port, long mode = 0) {
  auto listener = std::make_unique<clSOCKET>(mode);
  kvp::sockaddr_in address = Loopback(lastByte, port);
  if (listener->nCreate() != 0 || listener->nBind(&address) != 0 || listener->nListen() != 0)
    throw std::runtime_error("cannot listen on 127.0.0." + std::to_string(lastByte) + ": " +
                             std::to_string(listener->nGetLastError()));
  return listener;
}

// Two connected sockets of the class: `near` made by nCreate and nConnect,
// `far` accepted (with the listener's mode).
struct Pair {
  std::unique_ptr<clSOCKET> listener;
  std::unique_ptr<clSOCKET> near;
  std::unique_ptr<clSOCKET> far;
};

inline Pair Connect(long nearMode, long farMode) {
  Pair pair;
  const uint16_t port = FreePort();
  pair.listener = Listen(1, port, farMode);
  pair.near = std::make_unique<clSOCKET>(nearMode);
  kvp::sockaddr_in address = Loopback(1, port);
  if (pair.near->nCreate() != 0 || pair.near->nConnect(&address, 5000) != 0)
    throw std::runtime_error("cannot connect: " + std::to_string(pair.near->nGetLastError()));
  pair.far.reset(pair.listener->pclAccept());
  if (!pair.far) throw std::runtime_error("cannot accept");
  return pair;
}

// The scrambling as its rule states it, kept apart from the library's code:
// byte XOR ((counter's low byte + 0x2D) mod 256), counter + 1, and the
// counter back to 0 when none of its bits in 0x4FFFFFFF is set.
class ReferenceScrambler {
 public:
  explicit ReferenceScrambler(long long counter = 0) : counter_(counter) {}
  std::string Apply(const std::string& in) {
    std::string out = in;
    for (char& c : out) {
      const unsigned mask = ((counter_ & 0xFF) + 0x2D) % 256;
      c = static_cast<char>(static_cast<unsigned char>(c) ^ mask);
      counter_ += 1;
      if ((counter_ & 0x4FFFFFFF) == 0) counter_ = 0;
    }
    return out;
  }
  long long counter() const { return counter_; }

 private:
  long long counter_;
};

// Deterministic bytes for a test (a small linear congruential generator).
inline std::string PatternBytes(size_t count, uint32_t seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(seed >> 16);
  }
  return bytes;
}

// Waits up to `seconds` for `condition`; its last answer.
inline bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Descriptors the process holds now.
inline int OpenDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) throw std::runtime_error("no /proc/self/fd");
  int count = 0;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count;
}

// Threads of the process (kernel tasks), whoever made them. Take a
// baseline with ThreadBaseline: a sanitizer starts a helper thread of its
// own when the process makes its first thread.
inline int ProcessThreads() {
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) throw std::runtime_error("no /proc/self/task");
  int count = 0;
  while (readdir(dir) != nullptr) ++count;
  closedir(dir);
  return count - 2;  // "." and ".."
}

inline int ThreadBaseline() {
  std::thread([] {}).join();
  return ProcessThreads();
}

}  // namespace kvnettest
