// Service functions and fixtures shared by the client and server tests.
#pragma once
#include <atomic>
#include <string>

#include "tests/comm_net/net_support.h"

namespace kvnettest {

// Echo: a 4-byte length, that many bytes, sent back; until the client goes
// or sends a length above 1 MiB.
inline void EchoService(clCHANNEL* channel) {
  for (;;) {
    unsigned long length = 0;
    if ((*channel >> length) != 0 || length > (1ul << 20)) return;
    std::string bytes(length, '\0');
    if (channel->lRecv(bytes.data(), static_cast<long>(length)) != static_cast<long>(length))
      return;
    if ((*channel << length) != 0) return;
    if (channel->lSendAll(bytes.data(), static_cast<long>(length)) != static_cast<long>(length))
      return;
  }
}

// One echo exchange from the client's side; true when the bytes came back.
inline bool EchoOnce(clCHANNEL* channel, const std::string& bytes) {
  if (channel == nullptr) return false;
  if ((*channel << static_cast<unsigned long>(bytes.size())) != 0) return false;
  if (channel->lSendAll(bytes.data(), static_cast<long>(bytes.size())) !=
      static_cast<long>(bytes.size()))
    return false;
  unsigned long length = 0;
  if ((*channel >> length) != 0 || length != bytes.size()) return false;
  std::string back(length, '\0');
  if (channel->lRecv(back.data(), static_cast<long>(length)) != static_cast<long>(length))
    return false;
  return back == bytes;
}

// Pins the local host's first address for a test.
class LocalPin {
 public:
  explicit LocalPin(const char* list) { kvp::SetLocalAddressOverride(list); }
  ~LocalPin() { kvp::SetLocalAddressOverride(nullptr); }
  LocalPin(const LocalPin&) = delete;
  LocalPin& operator=(const LocalPin&) = delete;
};

}  // namespace kvnettest
