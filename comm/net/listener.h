// Internal: the server's listener and service threads.
#pragma once
#include "kv/comm_net.h"
#include "platform/kernel/win_types.h"

namespace kvnet {

// What the listener thread is started with; the thread frees it.
struct ListenerStart {
  clSOCKET* listening;  // owned by the server
  KVNET_SERVER_SERVICE service;
};

// The listener thread: accepts clients until the listening socket fails or
// is shut down, starting one service thread per client. Returns 16005 when
// accepting ends, 16002 when a channel cannot be allocated, 16004 when a
// service thread cannot be created (the client just accepted is closed).
kvp::DWORD ListenerMain(void* start);

}  // namespace kvnet
