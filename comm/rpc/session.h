// The call service's session: one loaded module, requests answered one by
// one until "FreeLibrary", an error status or a broken connection.
#pragma once
#include "comm/rpc/stream.h"
#include "comm/rpc/wire.h"
#include "platform/kernel/win_types.h"

namespace kvrpc {

class CallSession {
 public:
  CallSession() = default;
  ~CallSession();
  CallSession(const CallSession&) = delete;
  CallSession& operator=(const CallSession&) = delete;

  // Reads, runs and answers one request. False when the session has ended:
  // Finished() tells whether it ended by the protocol (the peer then sends
  // its end marker) or by a broken stream.
  bool RunCycle(Stream& stream);
  bool Finished() const { return m_finished; }
  int32_t LastStatus() const { return m_lastStatus; }

 private:
  void FreeModule();

  kvp::HMODULE m_module = nullptr;
  bool m_finished = false;
  int32_t m_lastStatus = 0;
};

// Checks a user and password against "KVRPCSRV.INI" in the current
// directory; shows the missing file's message.
bool CheckLogin(const char* user, const char* password);

// Receives the peer's 6-byte end marker ("RPC OK" or "RPC KO"); its content
// changes nothing.
void ReceiveEndMarker(Stream& stream);

// Shows a socket error's text in a message box with `caption`.
void ShowSocketError(int code, const char* caption);

}  // namespace kvrpc
