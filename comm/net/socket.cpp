// clSOCKET: one IPv4 stream socket with an optional scrambled stream.
#include <cstring>
#include <vector>

#include "comm/net/allocation.h"
#include "comm/net/scramble.h"
#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace {

constexpr uint32_t kNoSocket = kvp::INVALID_SOCKET;

// The scrambled copy of what one nSend passes on; a socket is used by one
// thread at a time, so one buffer per thread serves all of them.
std::vector<char>& ScrambleBuffer() {
  thread_local std::vector<char> buffer;
  return buffer;
}

// Small pieces go out at once: a typed value is one send, and waiting to
// gather them (Nagle's rule against the peer's delayed acknowledgement)
// would stall every request and reply by tens of milliseconds. Nothing on
// the wire changes but the packet boundaries, so a failure is ignored.
void NoDelay(kvp::SOCKET s) {
  const int on = 1;
  kvp::setsockopt(s, kvp::IPPROTO_TCP_, kvp::TCP_NODELAY_, reinterpret_cast<const char*>(&on),
                  sizeof on);
}

}  // namespace

clSOCKET::clSOCKET(long mode)
    : m_socket(kNoSocket), m_counter(0), m_lastError(0), m_mode(static_cast<int32_t>(mode)) {}

clSOCKET::clSOCKET(unsigned int socket, long mode)
    : m_socket(socket), m_counter(0), m_lastError(0), m_mode(static_cast<int32_t>(mode)) {}

clSOCKET::~clSOCKET() {
  if (m_socket != kNoSocket) kvp::closesocket(m_socket);
}

clSOCKET& clSOCKET::operator=(const clSOCKET& other) {
  if (this == &other) return *this;
  if (m_socket != kNoSocket) kvp::closesocket(m_socket);
  m_socket = kNoSocket;
  if (other.m_socket != kNoSocket) {
    // A second descriptor for the same connection: each object closes only
    // its own, so neither close pulls the socket from under the other.
    const kvp::SOCKET copy = kvp::DuplicateSocket(other.m_socket);
    if (copy == kvp::INVALID_SOCKET) {
      SetLastError();
    } else {
      m_socket = copy;
    }
  }
  m_counter = other.m_counter;
  m_mode = other.m_mode;
  if (m_socket != kNoSocket || other.m_socket == kNoSocket) m_lastError = other.m_lastError;
  return *this;
}

void clSOCKET::SetLastError() {
  m_lastError = static_cast<uint32_t>(kvp::WSAGetLastError());
}

int clSOCKET::nGetLastError() {
  return static_cast<int>(m_lastError);
}

void clSOCKET::Crypte(char* out, const char* in, long length) {
  if (length <= 0) return;
  kvnet::Scramble(out, in, static_cast<size_t>(length), m_counter);
}

int clSOCKET::nCreate() {
  const kvp::SOCKET s = kvp::socket(kvp::AF_INET_, kvp::SOCK_STREAM_, 0);
  if (s == kvp::INVALID_SOCKET) {
    SetLastError();
    return -1;
  }
  // Linger on with a time of 0: closing resets the connection at once and
  // leaves no TIME_WAIT behind.
  const kvp::linger option{1, 0};
  if (kvp::setsockopt(s, kvp::SOL_SOCKET_, kvp::SO_LINGER_, reinterpret_cast<const char*>(&option),
                      sizeof option) != 0) {
    SetLastError();
    kvp::closesocket(s);
    return -1;
  }
  NoDelay(s);
  if (m_socket != kNoSocket) kvp::closesocket(m_socket);
  m_socket = s;
  m_counter = 0;
  return 0;
}

int clSOCKET::nBind(kvp::sockaddr_in* address) {
  if (kvp::bind(m_socket, address, sizeof(kvp::sockaddr_in)) != 0) {
    SetLastError();
    return -1;
  }
  return 0;
}

int clSOCKET::nListen() {
  if (kvp::listen(m_socket, 5) != 0) {
    SetLastError();
    return -1;
  }
  return 0;
}

clSOCKET* clSOCKET::pclAccept() {
  const kvp::SOCKET accepted = kvp::accept(m_socket, nullptr, nullptr);
  if (accepted == kvp::INVALID_SOCKET) {
    SetLastError();
    return nullptr;
  }
  NoDelay(accepted);
  // The wrapping constructor is private: the allocation asks the failure
  // hook itself.
  clSOCKET* socket = kvp::fault::ShouldFail(kvp::fault::Op::Alloc)
                         ? nullptr
                         : new (std::nothrow) clSOCKET(static_cast<unsigned int>(accepted),
                                                       static_cast<long>(m_mode));
  if (socket == nullptr) {
    kvp::closesocket(accepted);
    m_lastError = KVNET_ERR_ACCEPT_OBJECT;
    return nullptr;
  }
  return socket;
}

int clSOCKET::nConnect(const kvp::sockaddr_in* address, long timeout) {
  unsigned long nonBlocking = 1;
  if (kvp::ioctlsocket(m_socket, kvp::FIONBIO_, &nonBlocking) != 0) {
    SetLastError();
    return -1;
  }
  unsigned long blocking = 0;
  if (kvp::connect(m_socket, address, sizeof(kvp::sockaddr_in)) == 0) {
    if (kvp::ioctlsocket(m_socket, kvp::FIONBIO_, &blocking) != 0) {
      SetLastError();
      return -1;
    }
    return 0;
  }
  if (kvp::WSAGetLastError() != kvp::WSAEWOULDBLOCK) {
    SetLastError();
    kvp::ioctlsocket(m_socket, kvp::FIONBIO_, &blocking);
    return -1;
  }

  kvp::fd_set writable;
  kvp::FdZero(&writable);
  kvp::FdSet(m_socket, &writable);
  // A negative limit waits without one: select refuses negative times.
  kvp::timeval limit{timeout / 1000, (timeout % 1000) * 1000};
  const int ready = kvp::select(0, nullptr, &writable, nullptr, timeout < 0 ? nullptr : &limit);
  const int selectError = kvp::WSAGetLastError();
  if (kvp::ioctlsocket(m_socket, kvp::FIONBIO_, &blocking) != 0) {
    SetLastError();
    return -1;
  }
  if (ready < 0) {
    m_lastError = static_cast<uint32_t>(selectError);
    return -1;
  }
  if (ready == 0) {
    m_lastError = kvp::WSAETIMEDOUT;
    return -1;
  }
  // Linux also reports a refused or failed connect as writable: only a
  // socket without a pending error is connected.
  int pending = 0;
  int size = sizeof pending;
  if (kvp::getsockopt(m_socket, kvp::SOL_SOCKET_, kvp::SO_ERROR_, reinterpret_cast<char*>(&pending),
                      &size) != 0) {
    SetLastError();
    return -1;
  }
  if (pending != 0) {
    m_lastError = static_cast<uint32_t>(pending);
    return -1;
  }
  return 0;
}

int clSOCKET::nSend(const char* data, long length) {
  if (length < 0) {
    m_lastError = kvp::WSAEINVAL;
    return -1;
  }
  if (length > KVNET_MAX_SEND) length = KVNET_MAX_SEND;
  const int count = static_cast<int>(length);
  if (m_mode != KVNET_MODE_SCRAMBLED || count == 0) {
    const int sent = kvp::send(m_socket, data, count, 0);
    if (sent < 0) {
      SetLastError();
      return -1;
    }
    return sent;
  }
  if (data == nullptr) {
    m_lastError = kvp::WSAEFAULT;
    return -1;
  }
  std::vector<char>& scrambled = ScrambleBuffer();
  if (scrambled.size() < static_cast<size_t>(count)) scrambled.resize(count);
  // The counter advances only by the bytes the platform took: the rest will
  // be scrambled again, from the same counter, when the caller resends it.
  const int32_t before = m_counter;
  Crypte(scrambled.data(), data, count);
  const int sent = kvp::send(m_socket, scrambled.data(), count, 0);
  if (sent < 0) {
    m_counter = before;
    SetLastError();
    return -1;
  }
  m_counter = kvnet::AdvanceCounter(before, static_cast<size_t>(sent));
  return sent;
}

long clSOCKET::lRecv(char* data, long length) {
  if (length < 0) {
    m_lastError = kvp::WSAEINVAL;
    return -1;
  }
  if (length > 0 && data == nullptr) {
    m_lastError = kvp::WSAEFAULT;
    return -1;
  }
  long got = 0;
  bool failed = false;
  while (got < length) {
    const long left = length - got;
    const int ask = left > (1L << 30) ? (1 << 30) : static_cast<int>(left);
    const int n = kvp::recv(m_socket, data + got, ask, 0);
    if (n < 0) {
      SetLastError();
      failed = true;
      break;
    }
    if (n == 0) {
      // The other end closed the connection before all had come.
      m_lastError = kvp::WSAESHUTDOWN;
      failed = true;
      break;
    }
    got += n;
  }
  // Bytes that came are unscrambled even on failure, so that the counter
  // counts every byte this end has read.
  if (m_mode == KVNET_MODE_SCRAMBLED) Crypte(data, data, got);
  return failed ? -1 : length;
}

int clSOCKET::nClose() {
  if (m_socket == kNoSocket) return 0;
  const kvp::SOCKET s = m_socket;
  m_socket = kNoSocket;
  if (kvp::closesocket(s) != 0) {
    SetLastError();
    return -1;
  }
  return 0;
}

int clSOCKET::nShutdown() {
  if (kvp::shutdown(m_socket, kvp::SD_BOTH) != 0) {
    SetLastError();
    return -1;
  }
  return 0;
}
