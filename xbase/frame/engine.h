// The engine frame: client contexts, the current call's status and the log.
//
// Every export starts with an Entry, which finds the caller's context and
// refuses the call when the engine is not started (-59) or the status code is
// negative (sticky errors). Failures go through XB_FAIL, which sets the status
// and writes the log line "module\tline\tcode\n" when the caller turned the
// log on.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "platform/kernel/system.h"
#include "xbase/frame/handle_table.h"

namespace kv::xb {

// Named host functions of the expression evaluator; filled by the
// expression family, kept per client.
struct ExpressionTable {
  KVHGLOBAL block = 0xFFFFFFFFu;  // -1 until used
  uint16_t count = 0;
  uint16_t capacity = 0;
};

struct ClientContext {
  uint32_t processId = 0;
  XBSTATUS status = 0;
  uint16_t dateStyle = 1;
  uint16_t logMode = 0;
  HandleTable handles;
  ExpressionTable expressions;
  char logFile[31] = {};  // 30 bytes as given, always NUL-terminated here
};

// The caller's context, or null when the engine is not started for it.
ClientContext* FindContext();

namespace detail {
// The context the calling export works on (null before the first XBDINIT).
extern ClientContext* current;
}  // namespace detail

// The context of the call in progress (valid between a successful Entry and
// its end).
inline ClientContext& Current() {
  return *detail::current;
}

// Sets the status, writes the log line, returns the code.
XBSTATUS Fail(XBSTATUS code, const char* module, int line);

// Writes one log line without changing the status (refused locks, sticky
// errors met on entry).
void LogLine(const char* module, int line, XBSTATUS code);

// Sets a non-negative status (a warning or state) and returns it.
inline XBSTATUS SetState(XBSTATUS code) {
  Current().status = code;
  return code;
}

inline XBSTATUS Status() {
  return Current().status;
}

// How an export treats a positive status left by an earlier call.
enum class Warnings { Reset, Keep };

// Opens an exported call. When refused() the export returns result() at once.
class Entry {
 public:
  // Every export comes here first, so the common case (the context of the
  // last call is still the caller's, and no sticky error) stays inline. The
  // context of the last call is always the caller's: a forked child, the one
  // way to change process under it, starts with none (see AddContext), so
  // the process identity is not asked on every call.
  Entry(const char* module, int line, Warnings warnings = Warnings::Reset) {
    ClientContext* c = detail::current;
    if (c == nullptr || c->status < 0) [[unlikely]] {
      // Returned by value, so that the common case keeps the entry in registers.
      const int32_t outcome = Begin(module, line, warnings);
      refused_ = outcome != kAccepted;
      result_ = static_cast<XBSTATUS>(outcome);
      return;
    }
    if (warnings == Warnings::Reset) c->status = 0;
  }
  bool refused() const { return refused_; }
  XBSTATUS result() const { return result_; }

 private:
  // Outside the range of a status: the call goes ahead.
  static constexpr int32_t kAccepted = 0x10000;
  // The slow entry: kAccepted, or the status the export returns at once.
  static int32_t Begin(const char* module, int line, Warnings warnings);

  bool refused_ = false;
  XBSTATUS result_ = 0;
};

// The inline half of an Entry for the exports called most (the field
// reads): the caller's context with the status reset when the call may go
// ahead at once, else null, and the export then makes its call through its
// full path, Entry and all. Nothing is left live across a call this way, so
// the common case needs no saved registers.
[[gnu::always_inline]] inline ClientContext* EnterAtOnce() {
  ClientContext* c = detail::current;
  if (c == nullptr || c->status < 0) [[unlikely]]
    return nullptr;
  c->status = 0;
  return c;
}

}  // namespace kv::xb

// Each source file names its module once: `constexpr const char* kModule =
// "DOPEN";`
#define XB_FAIL(code) ::kv::xb::Fail(static_cast<XBSTATUS>(code), kModule, __LINE__)
#define XB_ENTER(...)                                                      \
  ::kv::xb::Entry xb_entry_(kModule, __LINE__ __VA_OPT__(, ) __VA_ARGS__); \
  if (xb_entry_.refused()) return xb_entry_.result()

namespace kv::xb {
// Context table maintenance for XBDINIT and XBDTERM.
ClientContext& AddContext();
// Makes `context` the one the calling export works on.
void MakeCurrent(ClientContext* context);
void RemoveContext(ClientContext* context);
}  // namespace kv::xb
