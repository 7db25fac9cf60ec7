// The sessions a server is serving, so that stopping the server can end
// them and wait for them.
#pragma once
#include "kv/comm_net.h"

namespace kvrpc {

// Registers the session of `channel` for the duration of its service.
class SessionEntry {
 public:
  explicit SessionEntry(clCHANNEL* channel);
  ~SessionEntry();
  SessionEntry(const SessionEntry&) = delete;
  SessionEntry& operator=(const SessionEntry&) = delete;
  // False once the server has been told to stop.
  bool Running() const;

 private:
  unsigned m_port;
  clCHANNEL* m_channel;
};

// Shuts down every session accepted on `port` and waits until each has
// left its service function.
void EndSessions(unsigned port);

// Lets sessions run on `port` again (a server starts there).
void AllowSessions(unsigned port);

// Sessions serving now (all servers).
unsigned LiveSessions();

}  // namespace kvrpc
