// The call server's reading of requests: the bytes of a hostile client fed
// to a session, cycle after cycle, until the session ends. The fuzzer runs
// in an empty directory of its own, so logins fail (status 5) and no module
// is ever loaded: what is tested is the reading, the checks and the replies.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "comm/rpc/session.h"
#include "comm/rpc/stream.h"
#include "platform/ui/message_box.h"

namespace {

int Silent(kvp::HWND, const char*, const char*, kvp::UINT, void*) {
  return kvp::IDOK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/kvrpc-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr || chdir(pattern.c_str()) != 0) abort();
  kvp::SetMessageBoxHook(Silent, nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kvrpc::MemoryStream stream(data, size);
  kvrpc::CallSession session;
  for (int cycle = 0; cycle < 64 && session.RunCycle(stream); ++cycle) {
  }
  if (session.Finished()) kvrpc::ReceiveEndMarker(stream);
  return 0;
}
