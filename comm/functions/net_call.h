// What every network language function does first: refuse a syntax its
// table entry does not declare, find the instance, and look identifiers up
// in the instance's object list with the kind the function wants.
#pragma once
#include <cstdint>
#include <cstring>

#include "chart/ext/call_block.h"
#include "comm/command/comm_tables.h"
#include "comm/objects/object_table.h"
#include "comm/serial/call_result.h"
#include "kv/comm_instance.h"
#include "kv/comm_rpc.h"

namespace kv::comm {

// True when the call may go on: a call block with a declared syntax and an
// instance of command 1 behind it.
inline bool Accepted(const CallBlock* call, KvLanguageFunction function) {
  if (call == nullptr || !DeclaresSyntax(function, *call)) return false;
  auto* context = static_cast<CommInstanceContext*>(call->instance);
  return context != nullptr && context->record != nullptr && context->record->networkMarker != 0;
}

// True when the host's result area takes a result of `type`: checked before
// any work, so that a refused result never leaves a server, a connection or
// a transfer behind that the program cannot name.
inline bool TakesResult(const CallBlock& call, uint8_t type) {
  return kv::ext::AcceptsResult(call, type) && call.resultBuffer != nullptr &&
         call.resultCapacity >= (type == kResultInt    ? 4u
                                 : type == kResultBool ? 2u
                                                       : 1u);
}

// The connection named by integer argument k; null when the instance has no
// connection of that identifier.
inline clCLIENT* ConnectionArg(const CallBlock& call, int k) {
  return static_cast<clCLIENT*>(
      FindObject(call.instance, kv::ext::ArgInt(call, k), ObjectKind::kConnection));
}

// A text argument that is always a text: the empty text for a null slot.
inline char* TextArg(const CallBlock& call, int k) {
  static char empty[1] = {'\0'};
  char* text = kv::ext::ArgText(call, k);
  return text != nullptr ? text : empty;
}

// The size a text travels with: its own length and zero, whatever size the
// host announced, so that no byte past the zero is ever read or sent.
inline long TextSize(const char* text) {
  return static_cast<long>(std::strlen(text) + 1);
}

// A function without a result has done its work.
inline int32_t NoResult(CallBlock& call) {
  call.resultType = kResultNone;
  call.resultLength = 0;
  return 1;
}

}  // namespace kv::comm
