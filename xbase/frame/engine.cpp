// Client contexts, the status code and the log.
#include "xbase/frame/engine.h"

#include <cstdio>
#include <vector>

#include "platform/kernel/system.h"

namespace kv::xb {
namespace {

// One entry per calling process. A process has one entry in practice; the
// table is kept so that a host shared between processes (as the engine was
// designed for) keeps them apart.
std::vector<ClientContext>& Contexts() {
  static std::vector<ClientContext> contexts;
  return contexts;
}

}  // namespace

// A process has one context, so the one of the last call is nearly always
// the caller's; Entry checks that before looking further.
ClientContext* detail::current = nullptr;
using detail::current;

ClientContext* FindContext() {
  const uint32_t pid = kvp::GetCurrentProcessId();
  for (auto& c : Contexts()) {
    if (c.processId == pid) return &c;
  }
  return nullptr;
}

namespace {
// A forked child has its parent's contexts but is another caller: its first
// call looks itself up again (and finds none until it starts the engine).
void ForgetCurrentInChild() {
  current = nullptr;
}

// The handler lives in this library: it is removed when the library is
// unloaded (or the program ends), before its code goes away.
struct ForkHandlerRemoval {
  ~ForkHandlerRemoval() { kvp::StopCallingInForkedChild(ForgetCurrentInChild); }
} forkHandlerRemoval;
}  // namespace

ClientContext& AddContext() {
  kvp::CallInForkedChild(ForgetCurrentInChild);
  auto& contexts = Contexts();
  contexts.emplace_back();
  contexts.back().processId = kvp::GetCurrentProcessId();
  current = &contexts.back();
  return contexts.back();
}

void RemoveContext(ClientContext* context) {
  auto& contexts = Contexts();
  for (auto it = contexts.begin(); it != contexts.end(); ++it) {
    if (&*it == context) {
      contexts.erase(it);
      break;
    }
  }
  current = nullptr;
  if (contexts.empty()) contexts.shrink_to_fit();
}

void MakeCurrent(ClientContext* context) {
  current = context;
}

void LogLine(const char* module, int line, XBSTATUS code) {
  if (current == nullptr || current->logMode == 0 || current->logFile[0] == '\0') return;
  // Opened and closed for every line so that the log is complete whenever the
  // program stops.
  std::FILE* log = std::fopen(current->logFile, "a+");
  if (log == nullptr) return;
  std::fprintf(log, "%s\t%d\t%d\n", module, line, static_cast<int>(code));
  std::fclose(log);
}

XBSTATUS Fail(XBSTATUS code, const char* module, int line) {
  current->status = code;
  LogLine(module, line, code);
  return code;
}

int32_t Entry::Begin(const char* module, int line, Warnings warnings) {
  current = FindContext();
  if (current == nullptr) return XB_E_NOT_STARTED;
  if (current->status < 0) {
    // Sticky error: the call does nothing until the caller resets the code.
    LogLine(module, line, current->status);
    return current->status;
  }
  if (warnings == Warnings::Reset) current->status = 0;
  return kAccepted;
}

}  // namespace kv::xb
