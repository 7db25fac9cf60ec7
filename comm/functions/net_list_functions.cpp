// NetListeRep and NetListeDisque: directory and drive lists of this machine
// or of a connection's server. Both lists are written with a bound: the
// directory list into a work buffer of 20000 bytes, the drive list into the
// host's result buffer, never past either.
#include <algorithm>
#include <vector>

#include "comm/functions/directory_text.h"
#include "comm/functions/net_call.h"
#include "comm/rpc/call_context.h"
#include "kv/comm_functions.h"

using namespace kv::comm;

namespace {

constexpr size_t kDirectoryWorkSize = 20000;
constexpr uint32_t kNothingMatched = 0xFFFFFFFFu;  // Dir's -1

}  // namespace

int32_t KV_CALL NET_bNetListeRep(CallBlock* call) {
  if (!Accepted(call, NET_bNetListeRep)) return 0;
  if (!kv::ext::AcceptsResult(*call, kResultText)) return 0;
  std::vector<char> work(kDirectoryWorkSize, '\0');
  uint32_t count = kNothingMatched;
  if (call->syntaxIndex == 0) {
    char* pattern = TextArg(*call, 1);
    // The local helpers learn their buffers' sizes as the server's calls do.
    kvrpc::CallBuffers rooms;
    rooms.Add(pattern, static_cast<size_t>(TextSize(pattern)));
    rooms.Add(work.data(), work.size());
    count = static_cast<uint32_t>(Dir(pattern, work.data()));
  } else if (clCLIENT* client = ConnectionArg(*call, 1); client != nullptr) {
    char* pattern = TextArg(*call, 2);
    count = static_cast<uint32_t>(
        KVDir(client, pattern, TextSize(pattern), work.data(), static_cast<long>(work.size())));
  }
  work.back() = '\0';  // whatever came back, the list ends inside the buffer
  const std::string text =
      count == kNothingMatched ? std::string() : DirectoryText(std::string_view(work.data()));
  return kv::ext::SetTextResult(*call, text.c_str()) ? 1 : 0;
}

int32_t KV_CALL NET_bNetListeDisque(CallBlock* call) {
  if (!Accepted(call, NET_bNetListeDisque)) return 0;
  if (!kv::ext::AcceptsResult(*call, kResultText) || call->resultBuffer == nullptr ||
      call->resultCapacity == 0) {
    return 0;
  }
  auto* buffer = static_cast<char*>(call->resultBuffer);
  const size_t capacity = call->resultCapacity;
  buffer[0] = '\0';
  if (call->syntaxIndex == 0) {
    kvrpc::CallBuffers rooms;
    rooms.Add(buffer, capacity);
    RecupDisqueLogique(buffer);
  } else if (clCLIENT* client = ConnectionArg(*call, 1); client != nullptr) {
    KVRecupDisqueLogique(client, buffer, static_cast<long>(capacity));
  }
  const size_t length = strnlen(buffer, capacity - 1);
  buffer[length] = '\0';
  std::replace(buffer, buffer + length, ':', '\t');
  return EndTextResult(*call, static_cast<uint32_t>(length));
}
