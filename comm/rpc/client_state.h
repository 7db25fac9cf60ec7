// What the library keeps beside each client it connected: the settings a
// transfer thread needs for a connection of its own.
#pragma once
#include <string>

#include "kv/comm_net.h"

namespace kvrpc {

struct ClientState {
  int kind = 0;
  bool hostCheck = true;
  unsigned port = 0;
  long mode = 0;
  long timeout = 0;
  std::string module;
  std::string address;
  std::string user;
  std::string password;
  bool broken = false;  // a reply was refused: the stream is out of step
};

// The state of a client pclConnecteLibrairie made, or null.
ClientState* StateOf(clCLIENT* client);

}  // namespace kvrpc
