// Windows Sockets 1.1 over POSIX sockets: start and cleanup counts, socket
// calls with Windows error numbers, select over Windows fd_set arrays.
#include "platform/net/winsock.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/kernel/eintr.h"
#include "platform/net/wsa_errors.h"

namespace kvp {

namespace {

std::atomic<int> gStartups{0};
// Version and socket count reported by WSAStartup (tests replace them).
std::atomic<unsigned> gReplyVersion{0};
std::atomic<unsigned> gReplySockets{0};

constexpr WORD kVersion11 = MAKEWORD_(1, 1);
constexpr WORD kVersion22 = MAKEWORD_(2, 2);

// Versions compare by major byte (low), then minor byte (high).
int VersionRank(WORD version) {
  return (version & 0xFF) * 256 + (version >> 8);
}

int FailWithErrno(int errnoValue) {
  WSASetLastError(detail::WsaErrorFromErrno(errnoValue));
  return SOCKET_ERROR;
}

int Fail(int wsaError) {
  WSASetLastError(wsaError);
  return SOCKET_ERROR;
}

// The descriptor behind a socket number, -1 for a number that cannot be one.
int Descriptor(SOCKET s) {
  return s > static_cast<SOCKET>(INT_MAX) ? -1 : static_cast<int>(s);
}

void ToPosix(const sockaddr_in& in, ::sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = static_cast<sa_family_t>(in.sin_family == AF_INET_ ? AF_INET : in.sin_family);
  out.sin_port = in.sin_port;
  out.sin_addr.s_addr = in.sin_addr.s_addr;
}

void FromPosix(const ::sockaddr_in& in, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = in.sin_family == AF_INET ? AF_INET_ : static_cast<short>(in.sin_family);
  out.sin_port = in.sin_port;
  out.sin_addr.s_addr = in.sin_addr.s_addr;
}

// Milliseconds elapsed on the monotonic clock.
long long NowMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
  if (VersionRank(versionRequested) < VersionRank(kVersion11)) return WSAVERNOTSUPPORTED;
  if (data == nullptr) return WSAEFAULT;
  std::memset(data, 0, sizeof *data);
  const unsigned replyVersion = gReplyVersion.load();
  const unsigned replySockets = gReplySockets.load();
  data->wVersion = replyVersion != 0 ? static_cast<WORD>(replyVersion)
                   : VersionRank(versionRequested) < VersionRank(kVersion22) ? versionRequested
                                                                             : kVersion22;
  data->wHighVersion = kVersion22;
  std::strcpy(data->szDescription, "kv sockets over POSIX");
  std::strcpy(data->szSystemStatus, "Running");
  data->iMaxSockets = replyVersion != 0 ? static_cast<unsigned short>(replySockets) : 32767;
  data->iMaxUdpDg = 65467;
  gStartups.fetch_add(1);
  return 0;
}

int WSACleanup() {
  int count = gStartups.load();
  while (count > 0) {
    if (gStartups.compare_exchange_weak(count, count - 1)) return 0;
  }
  return Fail(WSANOTINITIALISED);
}

int WSAGetLastError() {
  return static_cast<int>(GetLastError());
}

void WSASetLastError(int error) {
  SetLastError(static_cast<DWORD>(error));
}

int WSAStartupCount() {
  return gStartups.load();
}

void WSASetStartupReplyForTests(WORD version, unsigned short maxSockets) {
  gReplySockets.store(maxSockets);
  gReplyVersion.store(version);
}

SOCKET socket(int family, int type, int protocol) {
  if (gStartups.load() == 0) {
    WSASetLastError(WSANOTINITIALISED);
    return INVALID_SOCKET;
  }
  if (family != AF_INET_) {
    WSASetLastError(WSAEAFNOSUPPORT);
    return INVALID_SOCKET;
  }
  if (type != SOCK_STREAM_) {
    WSASetLastError(WSAESOCKTNOSUPPORT);
    return INVALID_SOCKET;
  }
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailWithErrno(errno);
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(fd);
}

int closesocket(SOCKET s) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  // close() releases the descriptor even when interrupted: never retry it.
  if (::close(fd) != 0 && errno != EINTR) return FailWithErrno(errno);
  return 0;
}

SOCKET DuplicateSocket(SOCKET s) {
  const int fd = Descriptor(s);
  if (fd < 0) {
    WSASetLastError(WSAENOTSOCK);
    return INVALID_SOCKET;
  }
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) {
    FailWithErrno(errno);
    return INVALID_SOCKET;
  }
  return static_cast<SOCKET>(copy);
}

int shutdown(SOCKET s, int how) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  const int posixHow = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
  if (how < SD_RECEIVE || how > SD_BOTH) return Fail(WSAEINVAL);
  if (::shutdown(fd, posixHow) != 0) return FailWithErrno(errno);
  return 0;
}

int setsockopt(SOCKET s, int level, int name, const char* value, int length) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (value == nullptr) return Fail(WSAEFAULT);
  int posixLevel = 0;
  int posixName = 0;
  if (level == SOL_SOCKET_ && name == SO_LINGER_) {
    if (length < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
    linger windows;
    std::memcpy(&windows, value, sizeof windows);
    ::linger posix{};
    posix.l_onoff = windows.l_onoff != 0 ? 1 : 0;
    posix.l_linger = windows.l_linger;
    if (::setsockopt(fd, SOL_SOCKET, SO_LINGER, &posix, sizeof posix) != 0)
      return FailWithErrno(errno);
    return 0;
  }
  if (level == SOL_SOCKET_ && (name == SO_SNDTIMEO_ || name == SO_RCVTIMEO_)) {
    if (length < static_cast<int>(sizeof(DWORD))) return Fail(WSAEFAULT);
    DWORD milliseconds = 0;
    std::memcpy(&milliseconds, value, sizeof milliseconds);
    ::timeval limit{};
    limit.tv_sec = milliseconds / 1000;
    limit.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    if (::setsockopt(fd, SOL_SOCKET, name == SO_SNDTIMEO_ ? SO_SNDTIMEO : SO_RCVTIMEO, &limit,
                     sizeof limit) != 0)
      return FailWithErrno(errno);
    return 0;
  }
  if (level == SOL_SOCKET_ && name == SO_REUSEADDR_) {
    posixLevel = SOL_SOCKET;
    posixName = SO_REUSEADDR;
  } else if (level == SOL_SOCKET_ && name == SO_SNDBUF_) {
    posixLevel = SOL_SOCKET;
    posixName = SO_SNDBUF;
  } else if (level == SOL_SOCKET_ && name == SO_RCVBUF_) {
    posixLevel = SOL_SOCKET;
    posixName = SO_RCVBUF;
  } else if (level == IPPROTO_TCP_ && name == TCP_NODELAY_) {
    posixLevel = IPPROTO_TCP;
    posixName = TCP_NODELAY;
  } else {
    return Fail(WSAENOPROTOOPT);
  }
  if (length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int number = 0;
  std::memcpy(&number, value, sizeof number);
  if (::setsockopt(fd, posixLevel, posixName, &number, sizeof number) != 0)
    return FailWithErrno(errno);
  return 0;
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (value == nullptr || length == nullptr) return Fail(WSAEFAULT);
  if (level == SOL_SOCKET_ && name == SO_LINGER_) {
    if (*length < static_cast<int>(sizeof(linger))) return Fail(WSAEFAULT);
    ::linger posix{};
    socklen_t size = sizeof posix;
    if (::getsockopt(fd, SOL_SOCKET, SO_LINGER, &posix, &size) != 0) return FailWithErrno(errno);
    linger windows{static_cast<uint16_t>(posix.l_onoff), static_cast<uint16_t>(posix.l_linger)};
    std::memcpy(value, &windows, sizeof windows);
    *length = sizeof windows;
    return 0;
  }
  if (*length < static_cast<int>(sizeof(int))) return Fail(WSAEFAULT);
  int number = 0;
  socklen_t size = sizeof number;
  int posixName = 0;
  int posixLevel = SOL_SOCKET;
  if (level == SOL_SOCKET_ && name == SO_ERROR_) {
    posixName = SO_ERROR;
  } else if (level == SOL_SOCKET_ && name == SO_REUSEADDR_) {
    posixName = SO_REUSEADDR;
  } else if (level == SOL_SOCKET_ && name == SO_SNDBUF_) {
    posixName = SO_SNDBUF;
  } else if (level == SOL_SOCKET_ && name == SO_RCVBUF_) {
    posixName = SO_RCVBUF;
  } else if (level == IPPROTO_TCP_ && name == TCP_NODELAY_) {
    posixLevel = IPPROTO_TCP;
    posixName = TCP_NODELAY;
  } else {
    return Fail(WSAENOPROTOOPT);
  }
  if (::getsockopt(fd, posixLevel, posixName, &number, &size) != 0) return FailWithErrno(errno);
  // A pending socket error is reported in Windows' numbering.
  if (posixName == SO_ERROR) number = detail::WsaErrorFromErrno(number);
  std::memcpy(value, &number, sizeof number);
  *length = sizeof number;
  return 0;
}

int bind(SOCKET s, const sockaddr_in* address, int length) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  ::sockaddr_in posix;
  ToPosix(*address, posix);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&posix), sizeof posix) != 0)
    return FailWithErrno(errno);
  return 0;
}

int listen(SOCKET s, int backlog) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (::listen(fd, backlog) != 0) return FailWithErrno(errno);
  return 0;
}

SOCKET accept(SOCKET s, sockaddr_in* address, int* length) {
  const int fd = Descriptor(s);
  if (fd < 0) {
    WSASetLastError(WSAENOTSOCK);
    return INVALID_SOCKET;
  }
  if (address != nullptr &&
      (length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in)))) {
    WSASetLastError(WSAEFAULT);
    return INVALID_SOCKET;
  }
  ::sockaddr_in peer{};
  socklen_t size = sizeof peer;
  const int accepted = detail::RetryOnEintr(
      [&] { return ::accept4(fd, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC); });
  if (accepted < 0) {
    FailWithErrno(errno);
    return INVALID_SOCKET;
  }
  if (address != nullptr) {
    FromPosix(peer, *address);
    *length = sizeof(sockaddr_in);
  }
  return static_cast<SOCKET>(accepted);
}

int connect(SOCKET s, const sockaddr_in* address, int length) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (address == nullptr || length < static_cast<int>(sizeof(sockaddr_in))) return Fail(WSAEFAULT);
  ::sockaddr_in posix;
  ToPosix(*address, posix);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&posix), sizeof posix) != 0)
    return FailWithErrno(errno);
  return 0;
}

int getsockname(SOCKET s, sockaddr_in* address, int* length) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (address == nullptr || length == nullptr || *length < static_cast<int>(sizeof(sockaddr_in)))
    return Fail(WSAEFAULT);
  ::sockaddr_in posix{};
  socklen_t size = sizeof posix;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&posix), &size) != 0)
    return FailWithErrno(errno);
  FromPosix(posix, *address);
  *length = sizeof(sockaddr_in);
  return 0;
}

int ioctlsocket(SOCKET s, long command, unsigned long* argument) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (argument == nullptr) return Fail(WSAEFAULT);
  if (command != FIONBIO_) return Fail(WSAEINVAL);
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return FailWithErrno(errno);
  const int wanted = *argument != 0 ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  if (wanted != flags && ::fcntl(fd, F_SETFL, wanted) != 0) return FailWithErrno(errno);
  return 0;
}

int select(int, fd_set* readable, fd_set* writable, fd_set* failed, const timeval* timeout) {
  long long limitMs = -1;
  if (timeout != nullptr) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) return Fail(WSAEINVAL);
    limitMs = static_cast<long long>(timeout->tv_sec) * 1000 + (timeout->tv_usec + 999) / 1000;
  }
  // One poll entry per distinct socket, asking for the union of its sets.
  std::vector<pollfd> polls;
  auto add = [&](const fd_set* set, short events) -> bool {
    if (set == nullptr) return true;
    if (set->fd_count > FD_SETSIZE_) return false;
    for (unsigned i = 0; i < set->fd_count; ++i) {
      const int fd = Descriptor(set->fd_array[i]);
      if (fd < 0) return false;
      bool merged = false;
      for (pollfd& entry : polls) {
        if (entry.fd == fd) {
          entry.events = static_cast<short>(entry.events | events);
          merged = true;
        }
      }
      if (!merged) polls.push_back(pollfd{fd, events, 0});
    }
    return true;
  };
  if (!add(readable, POLLIN) || !add(writable, POLLOUT) || !add(failed, POLLPRI))
    return Fail(WSAENOTSOCK);
  if (polls.empty()) return Fail(WSAEINVAL);  // Windows refuses an empty select

  const long long deadline = limitMs < 0 ? -1 : NowMs() + limitMs;
  int ready = 0;
  for (;;) {
    long long waitMs = -1;
    if (deadline >= 0) {
      waitMs = deadline - NowMs();
      if (waitMs < 0) waitMs = 0;
      if (waitMs > INT_MAX) waitMs = INT_MAX;
    }
    ready = ::poll(polls.data(), polls.size(), static_cast<int>(waitMs));
    if (ready >= 0) break;
    if (errno != EINTR) return FailWithErrno(errno);
  }
  for (const pollfd& entry : polls) {
    if (entry.revents & POLLNVAL) return Fail(WSAENOTSOCK);
  }
  // Keep in each set only the sockets that are ready for it. A closed or
  // failed connection reads as readable (the next recv tells why).
  auto keep = [&](fd_set* set, short mask) -> int {
    if (set == nullptr) return 0;
    unsigned kept = 0;
    for (unsigned i = 0; i < set->fd_count; ++i) {
      const int fd = Descriptor(set->fd_array[i]);
      for (const pollfd& entry : polls) {
        if (entry.fd == fd && (entry.revents & mask) != 0) {
          set->fd_array[kept++] = set->fd_array[i];
          break;
        }
      }
    }
    set->fd_count = kept;
    return static_cast<int>(kept);
  };
  int count = keep(readable, POLLIN | POLLHUP | POLLERR);
  count += keep(writable, POLLOUT | POLLERR | POLLHUP);
  count += keep(failed, POLLPRI | POLLERR);
  return ready == 0 ? 0 : count;
}

int send(SOCKET s, const char* data, int length, int flags) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (length < 0) return Fail(WSAEINVAL);
  if (data == nullptr && length > 0) return Fail(WSAEFAULT);
  // MSG_NOSIGNAL: a peer that has gone away is an error code, not a signal
  // that ends the whole host.
  const ssize_t sent = detail::RetryOnEintr(
      [&] { return ::send(fd, data, static_cast<size_t>(length), flags | MSG_NOSIGNAL); });
  if (sent < 0) return FailWithErrno(errno);
  return static_cast<int>(sent);
}

int recv(SOCKET s, char* data, int length, int flags) {
  const int fd = Descriptor(s);
  if (fd < 0) return Fail(WSAENOTSOCK);
  if (length < 0) return Fail(WSAEINVAL);
  if (data == nullptr && length > 0) return Fail(WSAEFAULT);
  const ssize_t got =
      detail::RetryOnEintr([&] { return ::recv(fd, data, static_cast<size_t>(length), flags); });
  if (got < 0) return FailWithErrno(errno);
  return static_cast<int>(got);
}

uint32_t inet_addr(const char* dotted) {
  if (dotted == nullptr) return INADDR_NONE_;
  ::in_addr address{};
  if (::inet_aton(dotted, &address) == 0) return INADDR_NONE_;
  return address.s_addr;
}

char* inet_ntoa(in_addr address) {
  thread_local char text[16];
  unsigned char bytes[4];
  std::memcpy(bytes, &address.s_addr, 4);
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

// Network order is big-endian whatever the processor's order.
uint16_t(htons)(uint16_t value) {
  unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8),
                            static_cast<unsigned char>(value & 0xFF)};
  uint16_t result;
  std::memcpy(&result, bytes, 2);
  return result;
}
uint16_t(ntohs)(uint16_t value) {
  unsigned char bytes[2];
  std::memcpy(bytes, &value, 2);
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}
uint32_t(htonl)(uint32_t value) {
  unsigned char bytes[4] = {
      static_cast<unsigned char>(value >> 24), static_cast<unsigned char>((value >> 16) & 0xFF),
      static_cast<unsigned char>((value >> 8) & 0xFF), static_cast<unsigned char>(value & 0xFF)};
  uint32_t result;
  std::memcpy(&result, bytes, 4);
  return result;
}
uint32_t(ntohl)(uint32_t value) {
  unsigned char bytes[4];
  std::memcpy(bytes, &value, 4);
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

}  // namespace kvp
