// A mail session of the language: the Simple MAPI library it loaded, the
// eight entry points, the provider's session handle and where reading
// stands. Sessions are known to the language by identifiers of kvcomm's
// object table (kind: mail session), each bound to the instance that opened
// it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kv/simple_mapi.h"

namespace kv::comm {

inline constexpr size_t kMessageIdSize = MAPI_LONG_MSGID_SIZE;

struct MailSession {
  void* library = nullptr;
  LPMAPILOGON logon = nullptr;
  LPMAPIFINDNEXT findNext = nullptr;
  LPMAPIREADMAIL readMail = nullptr;
  LPMAPIFREEBUFFER freeBuffer = nullptr;
  LPMAPISENDMAIL sendMail = nullptr;
  LPMAPILOGOFF logoff = nullptr;
  LPMAPISAVEMAIL saveMail = nullptr;
  LPMAPIDELETEMAIL deleteMail = nullptr;
  LHANDLE session = 0;
  std::string profile;
  char current[kMessageIdSize] = {};
  char previous[kMessageIdSize] = {};
  MapiMessage* last = nullptr;  // the last message read, freed before the next

  // Frees the last message read.
  void DropLast();
  // Logs off, frees the last message and unloads the library.
  void Close();
};

// Enters the session for `instance`; its identifier (never 0), or 0 when
// the table is full; `session` is left with the caller.
int32_t RegisterMailSession(void* instance, std::unique_ptr<MailSession>& session);
// The session of that identifier when `instance` opened it; null otherwise.
MailSession* FindMailSession(void* instance, int32_t id);
// Takes the session out of the table (null when it is not there).
std::unique_ptr<MailSession> RemoveMailSession(void* instance, int32_t id);
// Takes out every session of the instance, the most recent first.
std::vector<std::unique_ptr<MailSession>> RemoveMailSessionsOf(void* instance);
// Closes and frees a session already taken out of the table (the object of
// an entry of kind mail session).
void DestroyMailSession(void* object);

}  // namespace kv::comm
