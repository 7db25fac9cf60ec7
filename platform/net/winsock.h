// A stand-in for Windows Sockets 1.1 over POSIX sockets (used by kvcomm).
//
// The names and semantics are those of the Winsock functions: sockets are
// numbers (INVALID_SOCKET when none), failures return SOCKET_ERROR (or
// INVALID_SOCKET, or null) and leave a Windows Sockets error number (10035,
// 10060, 10061, ...) in the thread's last error, which WSAGetLastError reads.
// Differences from POSIX that the callers rely on are made good here:
//   - a non-blocking connect in progress reports 10035 (WSAEWOULDBLOCK), as
//     Windows does, where Linux says EINPROGRESS;
//   - send never raises SIGPIPE (MSG_NOSIGNAL): a reset peer gives 10054;
//   - select takes Windows fd_set arrays (any descriptor number, no
//     FD_SETSIZE limit) and refuses a negative time limit with 10022;
//   - name resolution is reentrant: gethostbyname fills a record kept per
//     thread, so threads never share its storage.
// WSAStartup/WSACleanup are counted per process; every other call fails with
// 10093 (WSANOTINITIALISED) while the count is 0.
//
// The local host's address can be pinned for tests: when KV_LOCAL_ADDRESS
// holds dotted addresses (comma-separated, "127.0.0.5,127.0.0.6"),
// gethostbyname of the local host name (gethostname's answer) gives those
// addresses instead of the name service's (stock Debian answers 127.0.1.1).
// SetLocalAddressOverride sets or clears the same override in-process.
#pragma once
#include <stddef.h>

#include "kv/winsock_types.h"
#include "platform/kernel/win_types.h"

namespace kvp {

// Windows Sockets error numbers.
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

inline constexpr int SOCK_STREAM_ = 1;
inline constexpr int IPPROTO_TCP_ = 6;

// setsockopt/getsockopt levels and options, Windows numbering.
inline constexpr int SOL_SOCKET_ = 0xFFFF;
inline constexpr int SO_REUSEADDR_ = 0x0004;
inline constexpr int SO_LINGER_ = 0x0080;
inline constexpr int SO_SNDBUF_ = 0x1001;
inline constexpr int SO_RCVBUF_ = 0x1002;
inline constexpr int SO_SNDTIMEO_ = 0x1005;  // DWORD milliseconds, 0 = none
inline constexpr int SO_RCVTIMEO_ = 0x1006;
inline constexpr int SO_ERROR_ = 0x1007;
inline constexpr int TCP_NODELAY_ = 0x0001;

// ioctlsocket command: non-blocking mode on (argument non-zero) or off.
inline constexpr long FIONBIO_ = static_cast<long>(0x8004667EL);

// shutdown directions.
inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

struct linger {
  uint16_t l_onoff;
  uint16_t l_linger;  // seconds
};

struct timeval {
  long tv_sec;
  long tv_usec;
};

// Windows' fd_set: a count and an array of sockets (not a bit mask).
inline constexpr unsigned FD_SETSIZE_ = 64;
struct fd_set {
  unsigned fd_count;
  SOCKET fd_array[FD_SETSIZE_];
};
// The FD_ZERO/FD_SET/FD_ISSET of Winsock under names that do not collide
// with the C library's macros.
inline void FdZero(fd_set* set) {
  set->fd_count = 0;
}
inline void FdSet(SOCKET s, fd_set* set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == s) return;
  if (set->fd_count < FD_SETSIZE_) set->fd_array[set->fd_count++] = s;
}
inline bool FdIsSet(SOCKET s, const fd_set* set) {
  for (unsigned i = 0; i < set->fd_count; ++i)
    if (set->fd_array[i] == s) return true;
  return false;
}

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // addresses of h_length bytes in network order, null-terminated
};

struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  char szDescription[257];
  char szSystemStatus[129];
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
};

inline constexpr WORD MAKEWORD_(BYTE low, BYTE high) {
  return static_cast<WORD>(low | (high << 8));
}

KVP_API int WSAStartup(WORD versionRequested, WSADATA* data);
KVP_API int WSACleanup();
KVP_API int WSAGetLastError();
KVP_API void WSASetLastError(int error);
// The number of WSAStartup calls not yet matched by WSACleanup.
KVP_API int WSAStartupCount();
// Tests: the version and socket count the next WSAStartup calls report
// (version 0 restores the real answer: 1.1 asked, 2.2 highest, 32767
// sockets).
KVP_API void WSASetStartupReplyForTests(WORD version, unsigned short maxSockets);

KVP_API SOCKET socket(int family, int type, int protocol);
KVP_API int closesocket(SOCKET s);
// A second socket number for the same connection (as WSADuplicateSocket and
// WSASocket give one within a process); INVALID_SOCKET on failure.
KVP_API SOCKET DuplicateSocket(SOCKET s);
KVP_API int shutdown(SOCKET s, int how);
KVP_API int setsockopt(SOCKET s, int level, int name, const char* value, int length);
KVP_API int getsockopt(SOCKET s, int level, int name, char* value, int* length);
KVP_API int bind(SOCKET s, const sockaddr_in* address, int length);
KVP_API int listen(SOCKET s, int backlog);
KVP_API SOCKET accept(SOCKET s, sockaddr_in* address, int* length);
KVP_API int connect(SOCKET s, const sockaddr_in* address, int length);
KVP_API int getsockname(SOCKET s, sockaddr_in* address, int* length);
KVP_API int ioctlsocket(SOCKET s, long command, unsigned long* argument);
// Waits for readiness; null `timeout` waits without limit. Returns the count
// of sockets ready (and leaves only those in the sets), 0 on time out.
KVP_API int select(int ignored, fd_set* readable, fd_set* writable, fd_set* failed,
                   const timeval* timeout);
KVP_API int send(SOCKET s, const char* data, int length, int flags);
KVP_API int recv(SOCKET s, char* data, int length, int flags);

KVP_API int gethostname(char* name, int length);
// The thread's own record: valid until this thread's next call.
KVP_API hostent* gethostbyname(const char* name);
KVP_API uint32_t inet_addr(const char* dotted);
// The thread's own buffer: valid until this thread's next call.
KVP_API char* inet_ntoa(in_addr address);
KVP_API uint16_t(htons)(uint16_t value);
KVP_API uint16_t(ntohs)(uint16_t value);
KVP_API uint32_t(htonl)(uint32_t value);
KVP_API uint32_t(ntohl)(uint32_t value);

// (The names are parenthesized so that the C library's macros of the same
// names, where a file sees them, do not expand here.)

// Pins (or, with null, unpins) the local host's addresses as
// KV_LOCAL_ADDRESS does; the in-process setting wins over the variable.
KVP_API void SetLocalAddressOverride(const char* dottedList);

}  // namespace kvp
