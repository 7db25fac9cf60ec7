// Windows-style threads: a kernel object per thread handle, the exit code
// kept after the thread has ended, waits with a time limit.
#include "platform/kernel/threads.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/kernel/fault.h"
#include "platform/kernel/handles.h"

namespace kvp {

namespace {

std::atomic<unsigned> gRunning{0};

// What the thread and its handle share: the exit code once it has ended.
struct ThreadState {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  DWORD exitCode = STILL_ACTIVE;
};

class ThreadObject : public detail::KernelObject {
 public:
  ThreadObject(std::shared_ptr<ThreadState> state, std::thread thread)
      : state_(std::move(state)), thread_(std::move(thread)) {}

  ~ThreadObject() override {
    if (!thread_.joinable()) return;
    bool done = false;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      done = state_->done;
    }
    // An ended thread is joined (it only has its return left to run); a
    // running one goes on by itself, as a Windows thread whose handle was
    // closed does.
    if (done && thread_.get_id() != std::this_thread::get_id()) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

  ThreadState& State() { return *state_; }

 private:
  std::shared_ptr<ThreadState> state_;
  std::thread thread_;
};

}  // namespace

HANDLE CreateThread(void*, size_t, LPTHREAD_START_ROUTINE start, void* parameter, DWORD,
                    DWORD* threadId) {
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (fault::ShouldFail(fault::Op::Alloc)) return nullptr;
  auto state = std::make_shared<ThreadState>();
  // The new thread reports its id through `started` so that the caller's
  // threadId is the thread's own number, as GetCurrentThreadId gives it.
  auto id = std::make_shared<std::atomic<DWORD>>(0);
  gRunning.fetch_add(1);
  std::thread thread;
  try {
    thread = std::thread([state, id, start, parameter] {
      id->store(GetCurrentThreadId());
      id->notify_all();
      const DWORD code = start(parameter);
      gRunning.fetch_sub(1);
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->exitCode = code;
        state->done = true;
      }
      state->ended.notify_all();
    });
  } catch (const std::system_error&) {
    gRunning.fetch_sub(1);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId != nullptr) {
    id->wait(0);
    *threadId = id->load();
  }
  return detail::RegisterObject(std::make_shared<ThreadObject>(state, std::move(thread)));
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  std::shared_ptr<ThreadObject> object = detail::LookUpObject<ThreadObject>(thread);
  if (!object) return FALSE_;
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE_;
  }
  std::lock_guard<std::mutex> lock(object->State().mutex);
  *exitCode = object->State().exitCode;
  return TRUE_;
}

DWORD WaitForSingleObject(HANDLE thread, DWORD milliseconds) {
  std::shared_ptr<ThreadObject> object = detail::LookUpObject<ThreadObject>(thread);
  if (!object) return WAIT_FAILED;
  ThreadState& state = object->State();
  std::unique_lock<std::mutex> lock(state.mutex);
  if (milliseconds == INFINITE) {
    state.ended.wait(lock, [&] { return state.done; });
    return WAIT_OBJECT_0;
  }
  const bool done = state.ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                         [&] { return state.done; });
  return done ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(::syscall(SYS_gettid));
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

unsigned RunningThreadCount() {
  return gRunning.load();
}

}  // namespace kvp
