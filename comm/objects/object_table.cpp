#include "comm/objects/object_table.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>

namespace kv::comm {
namespace {

struct Entry {
  void* instance;
  ObjectKind kind;
  void* object;
  uint64_t order;  // when it was entered: the list runs from the highest
};

// Server threads and transfer threads of several instances may open and
// close objects at the same time as the host's thread.
struct Table {
  std::mutex mutex;
  std::map<int32_t, Entry> entries;
  int32_t next = 1;
  uint64_t order = 0;
};

Table& Objects() {
  static Table* table = new Table;  // lives as long as the process
  return *table;
}

std::vector<ListedObject> Listed(Table& table, void* instance, std::optional<ObjectKind> kind,
                                 bool remove) {
  std::vector<std::pair<uint64_t, ListedObject>> found;
  for (auto it = table.entries.begin(); it != table.entries.end();) {
    const Entry& e = it->second;
    if (e.instance == instance && (!kind || e.kind == *kind)) {
      found.push_back({e.order, ListedObject{it->first, e.kind, e.object}});
      if (remove) {
        it = table.entries.erase(it);
        continue;
      }
    }
    ++it;
  }
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<ListedObject> list;
  list.reserve(found.size());
  for (const auto& f : found) list.push_back(f.second);
  return list;
}

}  // namespace

int32_t RegisterObject(void* instance, ObjectKind kind, void* object) {
  if (object == nullptr) return 0;
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  if (table.entries.size() >= kMostObjects) return 0;
  // Identifiers are handed out in turn, so that a closed object's identifier
  // does not name the next one; the table is never full of them all, so the
  // search ends.
  int32_t id = table.next;
  while (id <= 0 || table.entries.count(id) != 0) id = id <= 0 ? 1 : id + 1;
  table.next = id == INT32_MAX ? 1 : id + 1;
  table.entries.emplace(id, Entry{instance, kind, object, ++table.order});
  return id;
}

void* FindObject(void* instance, int32_t id, ObjectKind kind) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(id);
  if (it == table.entries.end() || it->second.instance != instance || it->second.kind != kind)
    return nullptr;
  return it->second.object;
}

bool KindOf(void* instance, int32_t id, ObjectKind& kind) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(id);
  if (it == table.entries.end() || it->second.instance != instance) return false;
  kind = it->second.kind;
  return true;
}

void* RemoveObject(void* instance, int32_t id, ObjectKind kind) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.entries.find(id);
  if (it == table.entries.end() || it->second.instance != instance || it->second.kind != kind)
    return nullptr;
  void* object = it->second.object;
  table.entries.erase(it);
  return object;
}

std::vector<ListedObject> ObjectsOf(void* instance) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  return Listed(table, instance, std::nullopt, false);
}

std::vector<ListedObject> ObjectsOf(void* instance, ObjectKind kind) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  return Listed(table, instance, kind, false);
}

std::vector<ListedObject> RemoveObjectsOf(void* instance) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  return Listed(table, instance, std::nullopt, true);
}

std::vector<ListedObject> RemoveObjectsOf(void* instance, ObjectKind kind) {
  Table& table = Objects();
  std::lock_guard<std::mutex> guard(table.mutex);
  return Listed(table, instance, kind, true);
}

}  // namespace kv::comm
