#include "comm/mail/mail_session.h"

#include <map>
#include <mutex>

#include "platform/kernel/system.h"

namespace kv::comm {

namespace {

// Sessions of every instance: kvcomm's threads may open sessions of their
// own instances at the same time.
struct Table {
  std::mutex mutex;
  struct Entry {
    void* instance;
    std::unique_ptr<MailSession> session;
  };
  std::map<int32_t, Entry> entries;
  int32_t next = 1;
};

Table& Sessions() {
  static Table* table = new Table;  // lives as long as the process
  return *table;
}

// Far more than any program opens; the table is not grown by a loop.
constexpr size_t kMostSessions = 4096;

}  // namespace

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
  Table& table = Sessions();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.entries.size() >= kMostSessions) return 0;
  int32_t id = table.next;
  // Identifiers are handed out in turn and not reused soon, so that a
  // closed session's identifier does not name a new one at once.
  while (id <= 0 || table.entries.count(id) != 0) id = id <= 0 ? 1 : id + 1;
  table.next = id == INT32_MAX ? 1 : id + 1;
  table.entries.emplace(id, Table::Entry{instance, std::move(session)});
  return id;
}

MailSession* FindMailSession(void* instance, int32_t id) {
  Table& table = Sessions();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(id);
  if (it == table.entries.end() || it->second.instance != instance) return nullptr;
  return it->second.session.get();
}

std::unique_ptr<MailSession> RemoveMailSession(void* instance, int32_t id) {
  Table& table = Sessions();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(id);
  if (it == table.entries.end() || it->second.instance != instance) return nullptr;
  std::unique_ptr<MailSession> session = std::move(it->second.session);
  table.entries.erase(it);
  return session;
}

std::vector<std::unique_ptr<MailSession>> RemoveMailSessionsOf(void* instance) {
  Table& table = Sessions();
  std::lock_guard<std::mutex> guard(table.mutex);
  std::vector<std::unique_ptr<MailSession>> removed;
  for (auto it = table.entries.rbegin(); it != table.entries.rend(); ++it) {
    if (it->second.instance == instance) removed.push_back(std::move(it->second.session));
  }
  std::erase_if(table.entries, [](const auto& e) { return e.second.session == nullptr; });
  return removed;
}

}  // namespace kv::comm
