// Per-thread message queues: posting, sending across threads, retrieval,
// dispatch, quitting, registered messages and timers.
#include "platform/ui/message_queue.h"

#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/kernel/threads.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

namespace {

std::mutex& ThreadsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::unordered_map<DWORD, std::weak_ptr<Queue>>& Threads() {
  static auto* threads = new std::unordered_map<DWORD, std::weak_ptr<Queue>>;
  return *threads;
}

// Ends the thread's queue with the thread: messages still waiting to be
// answered answer 0, and the thread's windows go.
struct QueueHolder {
  std::shared_ptr<Queue> queue;
  ~QueueHolder() {
    if (!queue) return;
    std::deque<std::shared_ptr<SentMessage>> unanswered;
    {
      std::lock_guard<std::mutex> hold(queue->mutex);
      queue->alive = false;
      unanswered.swap(queue->sent);
      queue->posted.clear();
      queue->timers.clear();
    }
    for (auto& sent : unanswered) Reply(sent, 0);
    {
      std::lock_guard<std::mutex> hold(ThreadsMutex());
      Threads().erase(queue->threadId);
    }
    DropWindowsOfThread(queue->threadId);
  }
};

thread_local QueueHolder holder;

}  // namespace

std::shared_ptr<Queue> CurrentQueue() {
  if (!holder.queue) {
    auto queue = std::make_shared<Queue>();
    queue->threadId = GetCurrentThreadId();
    {
      std::lock_guard<std::mutex> hold(ThreadsMutex());
      Threads()[queue->threadId] = queue;
    }
    holder.queue = std::move(queue);
  }
  return holder.queue;
}

std::shared_ptr<Queue> QueueOfThread(DWORD threadId) {
  std::lock_guard<std::mutex> hold(ThreadsMutex());
  auto found = Threads().find(threadId);
  return found != Threads().end() ? found->second.lock() : nullptr;
}

void Reply(const std::shared_ptr<SentMessage>& sent, LRESULT result) {
  std::lock_guard<std::mutex> hold(sent->sender->mutex);
  sent->result = result;
  sent->done = true;
  ++sent->sender->epoch;
  sent->sender->wake.notify_all();
}

void WakeQueue(const std::shared_ptr<Queue>& queue) {
  if (!queue) return;
  std::lock_guard<std::mutex> hold(queue->mutex);
  ++queue->epoch;
  queue->wake.notify_all();
}

void DropTimersOfWindow(const std::shared_ptr<Queue>& queue, HWND window) {
  if (!queue) return;
  std::lock_guard<std::mutex> hold(queue->mutex);
  std::erase_if(queue->timers, [&](const Timer& timer) { return timer.window == window; });
}

}  // namespace detail

namespace {

using detail::Queue;
using detail::Ui;

// Answers the messages other threads sent to this one.
void DeliverSentMessages(const std::shared_ptr<Queue>& queue) {
  for (;;) {
    std::shared_ptr<detail::SentMessage> sent;
    {
      std::lock_guard<std::mutex> hold(queue->mutex);
      if (queue->sent.empty()) return;
      sent = queue->sent.front();
      queue->sent.pop_front();
    }
    const LRESULT result =
        detail::CallProcedure(sent->window, sent->message, sent->wParam, sent->lParam);
    detail::Reply(sent, result);
  }
}

// Under Ui().mutex.
bool Matches(HWND filter, UINT min, UINT max, HWND window, UINT message) {
  if (min != 0 || max != 0) {
    if (message < min || message > max) return false;
  }
  if (filter == nullptr) return true;
  if (filter == HWND_THREAD_ONLY) return window == nullptr;
  return window != nullptr && detail::IsDescendant(filter, window);
}

// A visible window of this thread with an update region.
HWND WindowToPaint(DWORD threadId, HWND filter) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  for (const auto& [value, window] : Ui().windows) {
    if (window->threadId != threadId || !window->hasUpdate || window->destroying) continue;
    if (filter == HWND_THREAD_ONLY) continue;
    if (filter != nullptr && !detail::IsDescendant(filter, window->handle)) continue;
    // Only what can be seen gets painted.
    bool shown = true;
    for (HWND at = window->handle; at != nullptr;) {
      auto each = detail::FindWindowLocked(at);
      if (!each || !each->visible) {
        shown = false;
        break;
      }
      at = each->parent;
    }
    if (shown) return window->handle;
  }
  return nullptr;
}

bool TakeMessage(const std::shared_ptr<Queue>& queue, MSG* message, HWND filter, UINT min, UINT max,
                 bool remove) {
  DeliverSentMessages(queue);
  {
    std::lock_guard<std::mutex> ui(Ui().mutex);
    std::lock_guard<std::mutex> hold(queue->mutex);
    for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
      if (!Matches(filter, min, max, it->hwnd, it->message)) continue;
      *message = *it;
      if (remove) queue->posted.erase(it);
      return true;
    }
    if (queue->quit) {
      *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quitCode), 0, 0, {0, 0}};
      if (remove) queue->quit = false;
      return true;
    }
  }
  if (min == 0 || (min <= WM_PAINT && WM_PAINT <= max)) {
    HWND paint = WindowToPaint(queue->threadId, filter);
    if (paint != nullptr) {
      *message = MSG{paint, WM_PAINT, 0, 0, 0, {0, 0}};
      return true;
    }
  }
  if (min == 0 || (min <= WM_TIMER && WM_TIMER <= max)) {
    std::lock_guard<std::mutex> ui(Ui().mutex);
    std::lock_guard<std::mutex> hold(queue->mutex);
    const auto now = std::chrono::steady_clock::now();
    for (auto& timer : queue->timers) {
      if (timer.due > now || !Matches(filter, 0, 0, timer.window, WM_TIMER)) continue;
      *message = MSG{timer.window, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.procedure), 0,
                     {0, 0}};
      if (remove) timer.due = now + std::chrono::milliseconds(timer.interval);
      return true;
    }
  }
  return false;
}

bool FilterIsValid(HWND filter) {
  return filter == nullptr || filter == HWND_THREAD_ONLY || IsWindow(filter);
}

// Waits until the queue's epoch moves past `seen` or the next timer is due.
void WaitForChange(const std::shared_ptr<Queue>& queue, unsigned long seen) {
  std::unique_lock<std::mutex> hold(queue->mutex);
  auto changed = [&] { return queue->epoch != seen; };
  // Only timers still to come wake the thread: one already due that the
  // filter left out would otherwise make the wait return at once, forever.
  const auto now = std::chrono::steady_clock::now();
  bool any = false;
  auto next = now;
  for (const auto& timer : queue->timers) {
    if (timer.due <= now) continue;
    if (!any || timer.due < next) next = timer.due;
    any = true;
  }
  if (!any) {
    queue->wake.wait(hold, changed);
    return;
  }
  queue->wake.wait_until(hold, next, changed);
}

unsigned long Epoch(const std::shared_ptr<Queue>& queue) {
  std::lock_guard<std::mutex> hold(queue->mutex);
  return queue->epoch;
}

bool Post(const std::shared_ptr<Queue>& queue, const MSG& message) {
  std::lock_guard<std::mutex> hold(queue->mutex);
  if (!queue->alive) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return false;
  }
  if (queue->posted.size() >= detail::kPostedLimit) {
    SetLastError(ERROR_NOT_ENOUGH_QUOTA);
    return false;
  }
  queue->posted.push_back(message);
  ++queue->epoch;
  queue->wake.notify_all();
  return true;
}

DWORD Ticks() {
  using namespace std::chrono;
  return static_cast<DWORD>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The top-level windows a broadcast reaches (not those being destroyed),
// with their threads' queues; the caller holds the table's lock.
std::vector<std::pair<HWND, std::shared_ptr<Queue>>> BroadcastTargetsLocked() {
  std::vector<std::pair<HWND, std::shared_ptr<Queue>>> targets;
  for (HWND top : Ui().zOrder) {
    auto found = detail::FindWindowLocked(top);
    if (found && !found->destroying) targets.emplace_back(top, found->queue);
  }
  return targets;
}

// Every top-level window gets its copy; a full queue of one of them does
// not keep the others from theirs.
BOOL Broadcast(UINT message, WPARAM wParam, LPARAM lParam) {
  std::vector<std::pair<HWND, std::shared_ptr<Queue>>> targets;
  POINT cursor{};
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    targets = BroadcastTargetsLocked();
    cursor = Ui().cursorPos;
  }
  bool all = true;
  for (const auto& [target, queue] : targets)
    all = Post(queue, MSG{target, message, wParam, lParam, Ticks(), cursor}) && all;
  return all ? TRUE_ : FALSE_;
}

}  // namespace

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE_;
  }
  if (window == nullptr) return PostThreadMessageA(GetCurrentThreadId(), message, wParam, lParam);
  if (window == HWND_BROADCAST) return Broadcast(message, wParam, lParam);
  std::shared_ptr<Queue> queue;
  POINT cursor{};
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    queue = found->queue;
    cursor = Ui().cursorPos;
  }
  return Post(queue, MSG{window, message, wParam, lParam, Ticks(), cursor}) ? TRUE_ : FALSE_;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COPYDATA) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return FALSE_;
  }
  std::shared_ptr<Queue> queue =
      threadId == GetCurrentThreadId() ? detail::CurrentQueue() : detail::QueueOfThread(threadId);
  if (!queue) {
    SetLastError(ERROR_INVALID_THREAD_ID);
    return FALSE_;
  }
  return Post(queue, MSG{nullptr, message, wParam, lParam, Ticks(), {0, 0}}) ? TRUE_ : FALSE_;
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == HWND_BROADCAST) {
    // Each top-level window in turn, each answered before the next is sent
    // (a window destroyed meanwhile answers 0); the answers are not kept.
    std::vector<std::pair<HWND, std::shared_ptr<Queue>>> targets;
    {
      std::lock_guard<std::mutex> hold(Ui().mutex);
      targets = BroadcastTargetsLocked();
    }
    for (const auto& target : targets) SendMessageA(target.first, message, wParam, lParam);
    return 0;
  }
  std::shared_ptr<Queue> target;
  DWORD threadId = 0;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return 0;
    target = found->queue;
    threadId = found->threadId;
  }
  if (threadId == GetCurrentThreadId()) {
    return detail::CallProcedure(window, message, wParam, lParam);
  }
  std::shared_ptr<Queue> own = detail::CurrentQueue();
  auto sent = std::make_shared<detail::SentMessage>();
  sent->window = window;
  sent->message = message;
  sent->wParam = wParam;
  sent->lParam = lParam;
  sent->sender = own;
  if (message == WM_COPYDATA && lParam != 0) {
    // The receiver gets its own copy of the bytes, as between processes.
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    sent->copyData = *data;
    if (data->lpData != nullptr && data->cbData != 0) {
      const auto* bytes = static_cast<const unsigned char*>(data->lpData);
      sent->copy.assign(bytes, bytes + data->cbData);
      sent->copyData.lpData = sent->copy.data();
    } else {
      sent->copyData.lpData = nullptr;
      sent->copyData.cbData = 0;
    }
    sent->lParam = reinterpret_cast<LPARAM>(&sent->copyData);
  }
  {
    std::lock_guard<std::mutex> hold(target->mutex);
    if (!target->alive) return 0;
    target->sent.push_back(sent);
    ++target->epoch;
    target->wake.notify_all();
  }
  for (;;) {
    DeliverSentMessages(own);
    std::unique_lock<std::mutex> hold(own->mutex);
    if (sent->done) return sent->result;
    own->wake.wait(hold, [&] { return sent->done || !own->sent.empty(); });
    if (sent->done) return sent->result;
  }
}

BOOL PeekMessageA(MSG* message, HWND window, UINT min, UINT max, UINT remove) {
  if (message == nullptr) return FALSE_;
  if (!FilterIsValid(window)) return FALSE_;
  return TakeMessage(detail::CurrentQueue(), message, window, min, max, (remove & PM_REMOVE) != 0)
             ? TRUE_
             : FALSE_;
}

BOOL GetMessageA(MSG* message, HWND window, UINT min, UINT max) {
  if (message == nullptr || !FilterIsValid(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  std::shared_ptr<Queue> queue = detail::CurrentQueue();
  for (;;) {
    const unsigned long seen = Epoch(queue);
    if (TakeMessage(queue, message, window, min, max, true)) {
      return message->message == WM_QUIT ? FALSE_ : TRUE_;
    }
    if (!FilterIsValid(window)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return -1;
    }
    WaitForChange(queue, seen);
  }
}

BOOL WaitMessage() {
  std::shared_ptr<Queue> queue = detail::CurrentQueue();
  const unsigned long seen = Epoch(queue);
  MSG message;
  if (TakeMessage(queue, &message, nullptr, 0, 0, false)) return TRUE_;
  WaitForChange(queue, seen);
  return TRUE_;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (message->message == WM_TIMER && message->lParam != 0) {
    // Only a live timer's own procedure is called: a posted WM_TIMER
    // cannot make this thread jump to an address of the sender's choice.
    TIMERPROC procedure = nullptr;
    std::shared_ptr<Queue> queue = detail::CurrentQueue();
    {
      std::lock_guard<std::mutex> hold(queue->mutex);
      for (const auto& timer : queue->timers) {
        if (timer.window == message->hwnd && timer.id == message->wParam &&
            reinterpret_cast<LPARAM>(timer.procedure) == message->lParam) {
          procedure = timer.procedure;
        }
      }
    }
    if (procedure != nullptr) procedure(message->hwnd, WM_TIMER, message->wParam, Ticks());
    return 0;
  }
  if (message->hwnd == nullptr) return 0;
  return detail::CallProcedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || message->message != WM_KEYDOWN) return FALSE_;
  const auto key = static_cast<UINT>(message->wParam);
  const bool character = (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') ||
                         key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE;
  if (!character) return FALSE_;
  const WPARAM code = (key >= 'A' && key <= 'Z') ? key + ('a' - 'A') : key;
  return PostMessageA(message->hwnd, WM_CHAR, code, message->lParam);
}

void PostQuitMessage(int exitCode) {
  std::shared_ptr<Queue> queue = detail::CurrentQueue();
  std::lock_guard<std::mutex> hold(queue->mutex);
  queue->quit = true;
  queue->quitCode = exitCode;
  ++queue->epoch;
  queue->wake.notify_all();
}

UINT RegisterWindowMessageA(const char* name) {
  if (name == nullptr || reinterpret_cast<uintptr_t>(name) < 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::lock_guard<std::mutex> hold(Ui().mutex);
  const ATOM atom = detail::AtomOf(name, true);
  if (atom == 0) SetLastError(ERROR_INVALID_PARAMETER);
  return atom;
}

uintptr_t SetTimer(HWND window, uintptr_t id, UINT milliseconds, TIMERPROC procedure) {
  std::shared_ptr<Queue> queue;
  if (window != nullptr) {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return 0;
    if (found->threadId != GetCurrentThreadId()) {
      SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
      return 0;
    }
    queue = found->queue;
  } else {
    queue = detail::CurrentQueue();
  }
  const UINT interval = milliseconds < 10 ? 10 : milliseconds;
  std::lock_guard<std::mutex> hold(queue->mutex);
  if (window == nullptr) {
    // A thread timer's id is chosen here, distinct from the live ones.
    id = 1;
    for (bool taken = true; taken;) {
      taken = false;
      for (const auto& timer : queue->timers) {
        if (timer.window == nullptr && timer.id == id) {
          taken = true;
          ++id;
        }
      }
    }
  }
  const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(interval);
  for (auto& timer : queue->timers) {
    if (timer.window == window && timer.id == id) {
      timer.interval = interval;
      timer.due = due;
      timer.procedure = procedure;
      ++queue->epoch;
      queue->wake.notify_all();
      return window != nullptr ? 1 : id;
    }
  }
  queue->timers.push_back(detail::Timer{window, id, interval, due, procedure});
  ++queue->epoch;
  queue->wake.notify_all();
  return window != nullptr ? (id != 0 ? id : 1) : id;
}

BOOL KillTimer(HWND window, uintptr_t id) {
  std::shared_ptr<Queue> queue;
  if (window != nullptr) {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    queue = found->queue;
  } else {
    queue = detail::CurrentQueue();
  }
  std::lock_guard<std::mutex> hold(queue->mutex);
  const size_t before = queue->timers.size();
  std::erase_if(queue->timers, [&](const detail::Timer& timer) {
    return timer.window == window && timer.id == id;
  });
  return queue->timers.size() != before ? TRUE_ : FALSE_;
}

}  // namespace kvp
