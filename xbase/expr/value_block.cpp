// Values as the host sees them: moveable global blocks in the evaluator state.
#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/expr/eval_core.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::expr {
namespace {

constexpr const char* kModule = "XPROC";

// A date value's block is 11 bytes: the longest date text and its NUL.
constexpr uint16_t kDateBlock = 11;

}  // namespace

KVHGLOBAL AllocateLocked(size_t size, void** address) {
  const KVHGLOBAL block = kvp::GlobalAlloc(kvp::GHND, size + kSpareBytes);
  if (block == 0) {
    XB_FAIL(XB_E_MEMORY);
    return 0;
  }
  void* p = kvp::GlobalLock(block);
  if (p == nullptr) {
    kvp::GlobalFree(block);
    XB_FAIL(XB_E_LOCK_MEMORY);
    return 0;
  }
  *address = p;
  return block;
}

void FreeBlock(KVHGLOBAL block) {
  if (block == 0) return;
  const kvp::UINT flags = kvp::GlobalFlags(block);
  if ((flags & kvp::GMEM_INVALID_HANDLE) != 0) return;
  for (kvp::UINT locks = flags & kvp::GMEM_LOCKCOUNT; locks > 0; --locks) {
    kvp::GlobalUnlock(block);
  }
  kvp::GlobalFree(block);
}

void DropStateBlock(Evaluation& ev) {
  FreeBlock(ev.state.valueBlock);
  ev.state.valueBlock = 0;
  ev.state.value = nullptr;
  ev.state.type = 0;
  ev.state.length = 0;
}

XBSTATUS PublishValue(Evaluation& ev, const Value& value) {
  size_t bytes = 0;
  uint16_t length = 0;
  switch (value.type) {
    case 'C':
      // The state's length counts the closing NUL; texts longer than a 16-bit
      // length cannot be described to the host.
      if (value.text.size() + 1 > UINT16_MAX) return XB_FAIL(XB_E_EXPRESSION);
      bytes = value.text.size() + 1;
      length = static_cast<uint16_t>(bytes);
      break;
    case 'D':
      bytes = kDateBlock;
      length = kDateBlock;
      break;
    case 'F':
    case 'N':
      bytes = sizeof(double);
      length = sizeof(double);
      break;
    case 'M':
      bytes = sizeof(int32_t);
      length = sizeof(int32_t);
      break;
    case 'L':
      bytes = 1;
      length = 1;
      break;
    default:
      return XB_FAIL(XB_E_EXPRESSION);
  }
  void* address = nullptr;
  const KVHGLOBAL block = AllocateLocked(bytes, &address);
  if (block == 0) return Status();
  auto* out = static_cast<char*>(address);
  switch (value.type) {
    case 'C':
      std::memcpy(out, value.text.data(), value.text.size());
      break;
    case 'D': {
      const size_t n = value.text.size() < kDateBlock - 1u ? value.text.size() : kDateBlock - 1u;
      std::memcpy(out, value.text.data(), n);
      break;
    }
    case 'F':
    case 'N':
      std::memcpy(out, &value.number, sizeof(double));
      break;
    case 'M': {
      const auto memo = static_cast<int32_t>(value.number);
      std::memcpy(out, &memo, sizeof memo);
      break;
    }
    case 'L':
      out[0] = value.text.empty() ? '?' : value.text[0];
      break;
  }
  DropStateBlock(ev);
  ev.state.valueBlock = block;
  ev.published = block;
  ev.state.value = address;
  ev.state.type = static_cast<uint16_t>(value.type);
  ev.state.length = length;
  return 0;
}

XBSTATUS AdoptValue(Evaluation& ev, Value* out) {
  const XBEVALSTATE& s = ev.state;
  if (s.valueBlock == 0 || s.value == nullptr) return XB_FAIL(XB_E_EXPRESSION);
  // The block's real size bounds every read, whatever length the function
  // claims.
  const size_t size = kvp::GlobalSize(s.valueBlock);
  if (size == 0 || kvp::GlobalHandle(s.value) != s.valueBlock) {
    return XB_FAIL(XB_E_EXPRESSION);
  }
  void* base = kvp::GlobalLock(s.valueBlock);
  if (base == nullptr) return XB_FAIL(XB_E_EXPRESSION);
  kvp::GlobalUnlock(s.valueBlock);
  const auto* bytes = static_cast<const char*>(s.value);
  const size_t offset = static_cast<size_t>(bytes - static_cast<const char*>(base));
  if (bytes < static_cast<const char*>(base) || offset >= size) return XB_FAIL(XB_E_EXPRESSION);
  const size_t available = size - offset;
  const size_t length = s.length < available ? s.length : available;
  Value v;
  v.type = static_cast<char>(s.type);
  switch (v.type) {
    case 'C':
    case 'D': {
      size_t n = 0;
      while (n < length && bytes[n] != '\0') ++n;
      v.text.assign(bytes, n);
      if (v.type == 'D') {
        if (date::Parse(v.text.c_str(), Current().dateStyle, &v.date, false) != 0) v.date = {};
      }
      break;
    }
    case 'F':
    case 'N':
      if (length < sizeof(double)) return XB_FAIL(XB_E_EXPRESSION);
      std::memcpy(&v.number, bytes, sizeof(double));
      break;
    case 'M': {
      if (length < sizeof(int32_t)) return XB_FAIL(XB_E_EXPRESSION);
      int32_t memo = 0;
      std::memcpy(&memo, bytes, sizeof memo);
      v.number = memo;
      break;
    }
    case 'L':
      if (length < 1) return XB_FAIL(XB_E_EXPRESSION);
      v.text.assign(bytes, 1);
      break;
    default:
      return XB_FAIL(XB_E_EXPRESSION);
  }
  *out = std::move(v);
  return 0;
}

}  // namespace kv::xb::expr
