#include "xbase/expr/function_table.h"

#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::expr {
namespace {

constexpr const char* kModule = "XADD";
constexpr KVHGLOBAL kNoTable = 0xFFFFFFFFu;

// One entry as the table block holds it (engine memory, never a file).
struct Entry {
  KVHGLOBAL nameBlock;
  XBEXPRFUNC function;
  uint16_t nameLength;
};

bool HasTable(const ExpressionTable& table) {
  return table.capacity != 0 && table.block != kNoTable && table.block != 0;
}

// Keeps a global block locked for the lifetime of the object.
class Locked {
 public:
  explicit Locked(KVHGLOBAL block) : block_(block), data_(kvp::GlobalLock(block)) {}
  ~Locked() {
    if (data_ != nullptr) kvp::GlobalUnlock(block_);
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  template <typename T>
  T* as() const {
    return static_cast<T*>(data_);
  }

 private:
  KVHGLOBAL block_;
  void* data_;
};

void FreeGlobal(KVHGLOBAL block) {
  if (block == 0) return;
  kvp::GlobalFree(block);
}

// Byte-order comparison of two names of their own lengths.
int CompareNames(const char* a, size_t aLength, const char* b, size_t bLength) {
  const size_t common = aLength < bLength ? aLength : bLength;
  const int c = common == 0 ? 0 : std::memcmp(a, b, common);
  if (c != 0) return c;
  return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

// Compares the text at the cursor with a name over the name's length: 0 when
// the name is a prefix of the text.
int CompareTextWithName(const char* text, size_t available, const char* name, size_t nameLength) {
  for (size_t i = 0; i < nameLength; ++i) {
    if (i >= available) return -1;  // the text ends first: it sorts before
    const auto t = static_cast<uint8_t>(text[i]);
    const auto n = static_cast<uint8_t>(name[i]);
    if (t != n) return t < n ? -1 : 1;
  }
  return 0;
}

// Position of `name` in the table, or where it would go (`found` tells).
uint16_t LowerBound(const Entry* entries, uint16_t count, const char* name, size_t length,
                    bool* found) {
  uint16_t low = 0;
  uint16_t high = count;
  *found = false;
  while (low < high) {
    const uint16_t mid = static_cast<uint16_t>(low + (high - low) / 2);
    Locked entryName(entries[mid].nameBlock);
    if (entryName.as<char>() == nullptr) return count;  // an unreadable name matches nothing
    const int c = CompareNames(entryName.as<char>(), entries[mid].nameLength, name, length);
    if (c == 0) {
      *found = true;
      return mid;
    }
    if (c < 0) {
      low = static_cast<uint16_t>(mid + 1);
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace

XBSTATUS AddFunction(ExpressionTable& table, const char* name, size_t length, XBEXPRFUNC function) {
  if (!HasTable(table)) {
    const KVHGLOBAL block =
        kvp::GlobalAlloc(kvp::GHND, sizeof(Entry) * kFirstCapacity + kSpareBytes);
    if (block == 0) return XB_FAIL(XB_E_MEMORY);
    table.block = block;
    table.count = 0;
    table.capacity = kFirstCapacity;
  }
  {
    Locked entries(table.block);
    if (entries.as<Entry>() == nullptr) return XB_FAIL(XB_E_LOCK_MEMORY);
    bool found = false;
    LowerBound(entries.as<Entry>(), table.count, name, length, &found);
    if (found) return SetState(XB_NAME_EXISTS);
  }
  if (table.count == table.capacity) {
    if (table.capacity > UINT16_MAX - kGrowBy) return XB_FAIL(XB_E_MEMORY);
    const auto capacity = static_cast<uint16_t>(table.capacity + kGrowBy);
    const KVHGLOBAL grown = kvp::GlobalReAlloc(table.block, sizeof(Entry) * capacity + kSpareBytes,
                                               kvp::GMEM_MOVEABLE | kvp::GMEM_ZEROINIT);
    if (grown == 0) return XB_FAIL(XB_E_MEMORY);
    table.block = grown;
    table.capacity = capacity;
  }
  const KVHGLOBAL nameBlock = kvp::GlobalAlloc(kvp::GHND, length + kSpareBytes);
  if (nameBlock == 0) return XB_FAIL(XB_E_MEMORY);
  {
    Locked copy(nameBlock);
    if (copy.as<char>() == nullptr) {
      FreeGlobal(nameBlock);
      return XB_FAIL(XB_E_LOCK_MEMORY);
    }
    std::memcpy(copy.as<char>(), name, length);
  }
  Locked entries(table.block);
  Entry* e = entries.as<Entry>();
  if (e == nullptr) {
    FreeGlobal(nameBlock);
    return XB_FAIL(XB_E_LOCK_MEMORY);
  }
  bool found = false;
  const uint16_t at = LowerBound(e, table.count, name, length, &found);
  std::memmove(e + at + 1, e + at, sizeof(Entry) * (table.count - at));
  e[at] = Entry{nameBlock, function, static_cast<uint16_t>(length)};
  ++table.count;
  return 0;
}

XBSTATUS DeleteFunction(ExpressionTable& table, const char* name, size_t length) {
  if (!HasTable(table) || table.count == 0) return SetState(XB_NAME_NOT_FOUND);
  {
    Locked entries(table.block);
    Entry* e = entries.as<Entry>();
    if (e == nullptr) return XB_FAIL(XB_E_LOCK_MEMORY);
    bool found = false;
    const uint16_t at = LowerBound(e, table.count, name, length, &found);
    if (!found) return SetState(XB_NAME_NOT_FOUND);
    FreeGlobal(e[at].nameBlock);
    std::memmove(e + at, e + at + 1, sizeof(Entry) * (table.count - at - 1));
    --table.count;
  }
  if (table.count == 0) ReleaseFunctionTable(table);
  return 0;
}

bool FunctionName(const ExpressionTable& table, uint16_t index, char* out) {
  if (!HasTable(table) || index >= table.count) return false;
  Locked entries(table.block);
  const Entry* e = entries.as<Entry>();
  if (e == nullptr) return false;
  Locked name(e[index].nameBlock);
  if (name.as<char>() == nullptr) return false;
  std::memcpy(out, name.as<char>(), e[index].nameLength);
  out[e[index].nameLength] = '\0';
  return true;
}

uint16_t LongestName(const ExpressionTable& table) {
  if (!HasTable(table)) return 0;
  Locked entries(table.block);
  const Entry* e = entries.as<Entry>();
  if (e == nullptr) return 0;
  uint16_t longest = 0;
  for (uint16_t i = 0; i < table.count; ++i) {
    if (e[i].nameLength > longest) longest = e[i].nameLength;
  }
  return longest;
}

XBEXPRFUNC FindFunction(const ExpressionTable& table, const char* text, size_t available,
                        size_t* nameLength) {
  if (!HasTable(table) || table.count == 0) return nullptr;
  Locked entries(table.block);
  const Entry* e = entries.as<Entry>();
  if (e == nullptr) return nullptr;
  uint16_t low = 0;
  uint16_t high = table.count;
  while (low < high) {
    const uint16_t mid = static_cast<uint16_t>(low + (high - low) / 2);
    Locked name(e[mid].nameBlock);
    if (name.as<char>() == nullptr) return nullptr;
    const int c = CompareTextWithName(text, available, name.as<char>(), e[mid].nameLength);
    if (c == 0) {
      *nameLength = e[mid].nameLength;
      return e[mid].function;
    }
    if (c < 0) {
      high = mid;
    } else {
      low = static_cast<uint16_t>(mid + 1);
    }
  }
  return nullptr;
}

void ReleaseFunctionTable(ExpressionTable& table) {
  if (HasTable(table)) {
    {
      Locked entries(table.block);
      const Entry* e = entries.as<Entry>();
      for (uint16_t i = 0; e != nullptr && i < table.count; ++i) FreeGlobal(e[i].nameBlock);
    }
    FreeGlobal(table.block);
  }
  table = ExpressionTable{};
}

}  // namespace kv::xb::expr
