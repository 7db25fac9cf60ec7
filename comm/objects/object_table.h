// The objects a program opened through kvcomm's language functions, known to
// it by 32-bit identifiers from one table (never by an address, which a
// 32-bit integer cannot hold on 64 bits). Each entry belongs to the instance
// that made it and has a kind that the function using it must ask for; an
// instance's list is its entries, the most recent first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::comm {

enum class ObjectKind : int32_t { kServer = 0, kConnection = 1, kMailSession = 2 };

struct ListedObject {
  int32_t id;
  ObjectKind kind;
  void* object;
};

// More than any program opens; the table does not grow past it.
inline constexpr size_t kMostObjects = 4096;

// Enters `object` for `instance`; its identifier (never 0, not reused soon),
// or 0 when the table is full or the object is null.
int32_t RegisterObject(void* instance, ObjectKind kind, void* object);

// The object of that identifier when `instance` made it with that kind;
// null otherwise.
void* FindObject(void* instance, int32_t id, ObjectKind kind);

// The kind of an identifier of `instance`, false when it has none.
bool KindOf(void* instance, int32_t id, ObjectKind& kind);

// Takes the entry out (as FindObject would find it); the object, or null.
void* RemoveObject(void* instance, int32_t id, ObjectKind kind);

// The instance's entries, the most recent first (all kinds, or one).
std::vector<ListedObject> ObjectsOf(void* instance);
std::vector<ListedObject> ObjectsOf(void* instance, ObjectKind kind);

// Takes out every entry of the instance (of one kind), the most recent
// first, and gives them to the caller to close.
std::vector<ListedObject> RemoveObjectsOf(void* instance);
std::vector<ListedObject> RemoveObjectsOf(void* instance, ObjectKind kind);

}  // namespace kv::comm
