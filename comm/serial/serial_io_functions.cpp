// sLit, sEcrit, sDansFileEntree and sDansFileSortie: bytes through a port
// and the counts of its queues.
#include <algorithm>

#include "chart/ext/call_block.h"
#include "comm/serial/call_result.h"
#include "comm/serial/port_table.h"
#include "kv/comm_serial.h"
#include "platform/commport/comm_state.h"
#include "platform/kernel/files.h"

using kv::ext::ArgInt;
using kv::ext::SetIntResult;
using kv::ext::SyntaxIndex;
using kvp::DWORD;
using namespace kv::comm;

namespace {

constexpr int16_t kOnlySyntax = 0;

// After a failed read or write the port's error state is cleared so that
// the next operation can go on.
void ClearError(void* handle) {
  DWORD errors = 0;
  kvp::ClearCommError(handle, &errors, nullptr);
}

int32_t QueueCount(CallBlock* call, bool input) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  void* handle = OpenPort(*call, ArgInt(*call, 1));
  kvp::COMSTAT status;
  DWORD errors = 0;
  int32_t count = 0;
  if (handle != nullptr && kvp::ClearCommError(handle, &errors, &status)) {
    count = static_cast<int32_t>(
        std::min<DWORD>(input ? status.cbInQue : status.cbOutQue, DWORD{INT32_MAX}));
  }
  return SetIntResult(*call, count) ? 1 : 0;
}

}  // namespace

int32_t KV_CALL SERIE_bsLit(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  // The count is its low 16 bits, cut to what the host's buffer holds
  // before the terminating zero.
  const uint32_t asked = static_cast<uint32_t>(ArgInt(*call, 2)) & 0xFFFFu;
  const uint32_t count = std::min(asked, TextResultRoom(*call));
  void* handle = OpenPort(*call, ArgInt(*call, 1));
  DWORD read = 0;
  if (handle != nullptr && count > 0 &&
      !kvp::ReadFile(handle, call->resultBuffer, count, &read, nullptr)) {
    ClearError(handle);
    read = 0;
  }
  return EndTextResult(*call, read);
}

int32_t KV_CALL SERIE_bsEcrit(CallBlock* call) {
  if (call == nullptr || SyntaxIndex(*call) != kOnlySyntax) return 0;
  void* handle = OpenPort(*call, ArgInt(*call, 1));
  const char* text = kv::ext::ArgText(*call, 2);
  // The argument size counts the terminating zero; a size of 0 (no text at
  // all) writes nothing rather than a length of -1.
  const uint16_t size = call->argumentSizes != nullptr ? call->argumentSizes[2] : 0;
  DWORD written = 0;
  if (handle != nullptr && text != nullptr && size > 1 &&
      !kvp::WriteFile(handle, text, size - 1u, &written, nullptr)) {
    ClearError(handle);
    written = 0;
  }
  return SetIntResult(*call, static_cast<int32_t>(written)) ? 1 : 0;
}

int32_t KV_CALL SERIE_bsDansFileEntree(CallBlock* call) {
  return QueueCount(call, true);
}

int32_t KV_CALL SERIE_bsDansFileSortie(CallBlock* call) {
  return QueueCount(call, false);
}
