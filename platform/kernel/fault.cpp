// Failure injection. The hot path is one relaxed load of `gWatching`, which
// stays false in a program that never arms a failure nor resets the
// counters; everything else runs under a mutex, in tests only.
#include "platform/kernel/fault.h"

#include <atomic>
#include <mutex>

namespace kvp::fault {

namespace {

constexpr int kOps = static_cast<int>(Op::Count);

struct Armed {
  bool active = false;
  bool sticky = false;
  unsigned failAt = 0;  // the call number (counted since Reset) that fails first
  DWORD error = 0;
};

struct State {
  std::mutex mutex;
  unsigned calls[kOps] = {};
  Armed armed[kOps];
};

// Set by the first Arm or Reset; from then on calls are counted.
std::atomic<bool> gWatching{false};

State& TheState() {
  static State* state = new State;  // never destroyed: checked from static destructors too
  return *state;
}

int Index(Op op) {
  return static_cast<int>(op);
}

bool IsValid(Op op) {
  return Index(op) >= 0 && Index(op) < kOps;
}

}  // namespace

void Arm(Op op, unsigned nth, DWORD error, bool sticky) {
  if (!IsValid(op)) return;
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.mutex);
  Armed& armed = state.armed[Index(op)];
  // nth 0 disarms the kind.
  armed.active = nth != 0;
  armed.sticky = sticky;
  armed.failAt = state.calls[Index(op)] + nth;
  armed.error = error;
  gWatching.store(true, std::memory_order_relaxed);
}

void Reset() {
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.mutex);
  for (int i = 0; i < kOps; ++i) {
    state.calls[i] = 0;
    state.armed[i] = Armed{};
  }
  gWatching.store(true, std::memory_order_relaxed);
}

unsigned Calls(Op op) {
  if (!IsValid(op)) return 0;
  State& state = TheState();
  std::lock_guard<std::mutex> guard(state.mutex);
  return state.calls[Index(op)];
}

bool ShouldFail(Op op) {
  if (!gWatching.load(std::memory_order_relaxed) || !IsValid(op)) return false;
  State& state = TheState();
  DWORD error = 0;
  {
    std::lock_guard<std::mutex> guard(state.mutex);
    const unsigned call = ++state.calls[Index(op)];
    Armed& armed = state.armed[Index(op)];
    if (!armed.active || call < armed.failAt || (call > armed.failAt && !armed.sticky)) {
      return false;
    }
    if (!armed.sticky) armed.active = false;
    error = armed.error;
  }
  SetLastError(error);  // the calling thread's last error
  return true;
}

}  // namespace kvp::fault
