#include "comm/mail/mail_session.h"

#include "comm/objects/object_table.h"
#include "platform/kernel/system.h"

namespace kv::comm {

void MailSession::DropLast() {
  if (last != nullptr && freeBuffer != nullptr) freeBuffer(last);
  last = nullptr;
}

void MailSession::Close() {
  if (logoff != nullptr && session != 0) logoff(session, 0, 0, 0);
  session = 0;
  DropLast();
  if (library != nullptr) kvp::FreeLibrary(library);
  library = nullptr;
}

int32_t RegisterMailSession(void* instance, std::unique_ptr<MailSession>& session) {
  const int32_t id = RegisterObject(instance, ObjectKind::kMailSession, session.get());
  if (id != 0) (void)session.release();  // the table owns it now
  return id;
}

MailSession* FindMailSession(void* instance, int32_t id) {
  return static_cast<MailSession*>(FindObject(instance, id, ObjectKind::kMailSession));
}

std::unique_ptr<MailSession> RemoveMailSession(void* instance, int32_t id) {
  return std::unique_ptr<MailSession>(
      static_cast<MailSession*>(RemoveObject(instance, id, ObjectKind::kMailSession)));
}

std::vector<std::unique_ptr<MailSession>> RemoveMailSessionsOf(void* instance) {
  std::vector<std::unique_ptr<MailSession>> removed;
  for (const ListedObject& entry : RemoveObjectsOf(instance, ObjectKind::kMailSession))
    removed.emplace_back(static_cast<MailSession*>(entry.object));
  return removed;
}

void DestroyMailSession(void* object) {
  std::unique_ptr<MailSession> session(static_cast<MailSession*>(object));
  if (session != nullptr) session->Close();
}

}  // namespace kv::comm
