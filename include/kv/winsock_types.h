// The Winsock records that cross the boundary between the host, kvcomm and
// the platform layer: the IPv4 address and socket address as Windows Sockets
// 1.1 lays them out (16 bytes, port and address in network order).
#pragma once
#include <stdint.h>

namespace kvp {

// A platform socket: a small number, all ones when there is none.
using SOCKET = uint32_t;
inline constexpr SOCKET INVALID_SOCKET = 0xFFFFFFFFu;
inline constexpr int SOCKET_ERROR = -1;

inline constexpr short AF_INET_ = 2;
inline constexpr uint32_t INADDR_ANY_ = 0;
inline constexpr uint32_t INADDR_NONE_ = 0xFFFFFFFFu;

// The address in network order: s_addr's first byte in memory is the first
// byte of the dotted form.
struct in_addr {
  uint32_t s_addr;
};

struct sockaddr_in {
  short sin_family;
  uint16_t sin_port;  // network order
  in_addr sin_addr;
  char sin_zero[8];
};
static_assert(sizeof(sockaddr_in) == 16, "the Winsock socket address is 16 bytes");

}  // namespace kvp
