// Internal: POSIX errno and getaddrinfo codes as Windows Sockets error
// numbers.
#pragma once

namespace kvp::detail {

// The Windows Sockets number for `errnoValue` (0 stays 0; an errno without
// a counterpart becomes 10022, WSAEINVAL, rather than a number no caller
// knows).
int WsaErrorFromErrno(int errnoValue);

// The Windows Sockets number for a getaddrinfo result other than 0.
int WsaErrorFromResolver(int code);

}  // namespace kvp::detail
