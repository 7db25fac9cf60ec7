// Internal: the per-thread message queue.
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/window_types.h"

namespace kvp::detail {

struct Queue;

// A message sent from another thread, waiting for its answer.
struct SentMessage {
  HWND window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  LRESULT result = 0;
  bool done = false;  // guarded by the sender's queue mutex
  std::shared_ptr<Queue> sender;
  std::vector<unsigned char> copy;  // WM_COPYDATA's bytes
  COPYDATASTRUCT copyData{};
};

struct Timer {
  HWND window = nullptr;
  uintptr_t id = 0;
  UINT interval = 10;
  std::chrono::steady_clock::time_point due;
  TIMERPROC procedure = nullptr;
};

struct Queue {
  DWORD threadId = 0;
  std::mutex mutex;
  std::condition_variable wake;
  unsigned long epoch = 0;  // bumped by everything that may wake the thread
  std::deque<MSG> posted;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::vector<Timer> timers;
  bool quit = false;
  int quitCode = 0;
  bool alive = true;
};

inline constexpr size_t kPostedLimit = 10000;

// The calling thread's queue, made on first use.
std::shared_ptr<Queue> CurrentQueue();
// The queue of a live thread that has one, or null.
std::shared_ptr<Queue> QueueOfThread(DWORD threadId);

// Answers a sent message and wakes its sender.
void Reply(const std::shared_ptr<SentMessage>& sent, LRESULT result);

}  // namespace kvp::detail
