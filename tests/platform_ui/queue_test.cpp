// Message queues: order, quitting, limits, sending across threads, copy
// data, registered messages and timers.
#include <atomic>
#include <cstring>
#include <ctime>
#include <thread>

#include "tests/platform_ui/ui_test_support.h"

namespace {

using namespace ui_test;

using QueueTest = UiTest;

TEST_F(QueueTest, PostedMessagesComeInOrderAndQuitComesAfterThem) {
  HWND window = MakeWindow();
  ASSERT_TRUE(PostMessageA(window, WM_USER + 1, 1, 0));
  PostQuitMessage(7);
  ASSERT_TRUE(PostMessageA(window, WM_USER + 2, 2, 0));
  ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0)) << "a thread message";
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, WM_USER + 1u) << "not removed";
  ASSERT_TRUE(PeekMessageA(&message, HWND_THREAD_ONLY, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, WM_USER + 3u) << "only thread messages";
  ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
  EXPECT_EQ(message.wParam, 2u) << "the range filter";
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE_);
  EXPECT_EQ(message.message, WM_USER + 1u);
  EXPECT_EQ(message.hwnd, window);
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE_);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  DestroyWindow(window);
}

TEST_F(QueueTest, AFloodOfPostsStopsAtTheQuotaAndCopyDataCannotBePosted) {
  HWND window = MakeWindow();
  int accepted = 0;
  for (int i = 0; i < 10050; ++i) {
    if (PostMessageA(window, WM_USER, static_cast<WPARAM>(i), 0)) ++accepted;
  }
  EXPECT_EQ(accepted, 10000);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_QUOTA);
  MSG message;
  int taken = 0;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(taken));
    ++taken;
  }
  EXPECT_EQ(taken, 10000);
  COPYDATASTRUCT data{1, 0, nullptr};
  EXPECT_FALSE(PostMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
  EXPECT_EQ(GetLastError(), ERROR_MESSAGE_SYNC_ONLY);
  DestroyWindow(window);
}

// A window on its own thread that pumps until WM_QUIT.
struct PumpingThread {
  std::atomic<HWND> window{nullptr};
  std::atomic<DWORD> threadId{0};
  std::thread thread;

  void Start(WNDPROC procedure, const char* className) {
    thread = std::thread([this, procedure, className] {
      WNDCLASSA windowClass{};
      windowClass.lpfnWndProc = procedure;
      windowClass.lpszClassName = className;
      RegisterClassA(&windowClass);
      HWND made = CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
      threadId = GetCurrentThreadId();
      window = made;
      MSG message;
      while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
      DestroyWindow(made);
      UnregisterClassA(className, nullptr);
    });
    while (window.load() == nullptr) std::this_thread::yield();
  }
  void Stop() {
    PostThreadMessageA(threadId, WM_QUIT, 0, 0);
    PostMessageA(window, WM_NULL, 0, 0);
    thread.join();
  }
};

std::atomic<DWORD> answeredOn{0};
std::atomic<HWND> callBack{nullptr};
std::string copied;

LRESULT Answering(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 5) {
    answeredOn = GetCurrentThreadId();
    // Sends back to the sender's window while the sender waits.
    if (callBack.load() != nullptr) return 1000 + SendMessageA(callBack, WM_USER + 6, 0, 0);
    return static_cast<LRESULT>(wParam * 2);
  }
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    copied.assign(static_cast<const char*>(data->lpData), data->cbData);
    // The receiver's copy may be scribbled on without touching the sender's.
    std::memset(data->lpData, '#', data->cbData);
    return static_cast<LRESULT>(data->dwData);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT Sleepy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(QueueTest, ASendToAnotherThreadsWindowRunsOnThatThreadAndMayCallBack) {
  PumpingThread other;
  other.Start(Answering, "UiTestAnswering");
  answeredOn = 0;
  callBack = nullptr;
  EXPECT_EQ(SendMessageA(other.window, WM_USER + 5, 21, 0), 42);
  EXPECT_EQ(answeredOn.load(), other.threadId.load());
  EXPECT_NE(answeredOn.load(), GetCurrentThreadId());

  // The other thread sends back while this one waits: answered here, no
  // deadlock.
  HWND mine = MakeWindow();
  callBack = mine;
  ClearJournal();
  EXPECT_EQ(SendMessageA(other.window, WM_USER + 5, 0, 0), 1000);
  ASSERT_EQ(CountOf(WM_USER + 6, mine), 1u);
  EXPECT_EQ(LastOf(WM_USER + 6).thread, GetCurrentThreadId());
  callBack = nullptr;

  char text[] = "chart order 12";
  COPYDATASTRUCT data{77, static_cast<DWORD>(std::strlen(text)), text};
  EXPECT_EQ(SendMessageA(other.window, WM_COPYDATA, reinterpret_cast<WPARAM>(mine),
                         reinterpret_cast<LPARAM>(&data)),
            77);
  EXPECT_EQ(copied, "chart order 12");
  EXPECT_STREQ(text, "chart order 12") << "the receiver had a copy";
  other.Stop();
  DestroyWindow(mine);
}

TEST_F(QueueTest, ASendToAThreadThatEndsUnansweredAnswersZero) {
  std::atomic<HWND> target{nullptr};
  std::atomic<bool> release{false};
  std::thread other([&] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Sleepy;
    windowClass.lpszClassName = "UiTestSleepy";
    RegisterClassA(&windowClass);
    target =
        CreateWindowExA(0, "UiTestSleepy", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Ends without pumping and without destroying its window.
  });
  while (target.load() == nullptr) std::this_thread::yield();
  std::thread releaser([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release = true;
  });
  EXPECT_EQ(SendMessageA(target, WM_USER + 5, 3, 0), 0);
  other.join();
  releaser.join();
  EXPECT_FALSE(IsWindow(target));
  EXPECT_TRUE(UnregisterClassA("UiTestSleepy", nullptr));
}

TEST_F(QueueTest, RegisteredMessagesShareANumberPerName) {
  const UINT first = RegisterWindowMessageA("KV_Test_Message");
  EXPECT_GE(first, 0xC000u);
  EXPECT_LE(first, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessageA("kv_test_message"), first);
  EXPECT_NE(RegisterWindowMessageA("KV_Other_Message"), first);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
  EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
  UINT fromThread = 0;
  std::thread other([&] { fromThread = RegisterWindowMessageA("KV_TEST_MESSAGE"); });
  other.join();
  EXPECT_EQ(fromThread, first);
}

std::atomic<int> timerCalls{0};
void CountingTimer(HWND, UINT, uintptr_t, DWORD) {
  ++timerCalls;
}

TEST_F(QueueTest, TimersFireUntilKilledAndAForgedTimerMessageCallsNothing) {
  HWND window = MakeWindow();
  ASSERT_EQ(SetTimer(window, 9, 10, nullptr), 9u);
  MSG message;
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE_) << "GetMessage wakes for the timer";
  EXPECT_EQ(message.message, WM_TIMER);
  EXPECT_EQ(message.wParam, 9u);
  EXPECT_EQ(message.hwnd, window);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
      << "rescheduled, not due again at once";
  ASSERT_TRUE(KillTimer(window, 9));
  EXPECT_FALSE(KillTimer(window, 9));
  std::this_thread::sleep_for(std::chrono::milliseconds(25));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));

  timerCalls = 0;
  const uintptr_t id = SetTimer(nullptr, 0, 10, CountingTimer);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE_);
  ASSERT_EQ(message.message, WM_TIMER);
  DispatchMessageA(&message);
  EXPECT_EQ(timerCalls.load(), 1);
  KillTimer(nullptr, id);

  // A WM_TIMER posted with an address in lParam is not a timer.
  MSG forged{window, WM_TIMER, 5, reinterpret_cast<LPARAM>(&CountingTimer), 0, {0, 0}};
  DispatchMessageA(&forged);
  EXPECT_EQ(timerCalls.load(), 1);

  SetTimer(window, 3, 10, nullptr);
  DestroyWindow(window);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
      << "a destroyed window's timers go with it";
}

TEST_F(QueueTest, ManyThreadsPostAndSendToOneWindowConcurrently) {
  PumpingThread receiver;
  receiver.Start(Answering, "UiTestConcurrent");
  callBack = nullptr;
  std::atomic<int> wrong{0};
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const auto value = static_cast<WPARAM>(t * 1000 + i);
        if (SendMessageA(receiver.window, WM_USER + 5, value, 0) !=
            static_cast<LRESULT>(value * 2)) {
          ++wrong;
        }
        PostMessageA(receiver.window, WM_USER + 9, value, 0);
      }
    });
  }
  for (auto& sender : senders) sender.join();
  EXPECT_EQ(wrong.load(), 0);
  receiver.Stop();
}

}  // namespace

namespace {

using namespace ui_test;

using TimerFilterTest = UiTest;

// A due timer of another window must not make GetMessage spin: it waits
// for the filtered window's message instead, with the processor idle.
TEST_F(TimerFilterTest, AFilteredOutTimerDoesNotKeepGetMessageBusy) {
  HWND timed = MakeWindow();
  HWND waited = MakeWindow();
  ASSERT_NE(SetTimer(timed, 1, 10, nullptr), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    PostMessageA(waited, WM_USER + 3, 0, 0);
  });
  const std::clock_t before = std::clock();
  MSG message;
  ASSERT_EQ(GetMessageA(&message, waited, 0, 0), TRUE_);
  const double busy = static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC;
  poster.join();
  EXPECT_EQ(message.message, WM_USER + 3u);
  EXPECT_LT(busy, 0.1) << "GetMessage spun on the other window's due timer";
  KillTimer(timed, 1);
  DestroyWindow(timed);
  DestroyWindow(waited);
}

}  // namespace

namespace {

using namespace ui_test;

using BroadcastTest = UiTest;

TEST_F(BroadcastTest, EveryTopLevelWindowOfEveryThreadGetsOneCopy) {
  HWND first = MakeWindow();
  HWND hidden = MakeWindow(WS_OVERLAPPED);  // not shown: still top-level
  HWND child = CreateWindowExA(0, kRecorderClass, "child", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                               first, nullptr, nullptr, nullptr);
  ASSERT_NE(child, nullptr);
  // A window of another thread, which pumps until it has its copy.
  std::atomic<HWND> other{nullptr};
  std::atomic<bool> otherGotIt{false};
  std::thread thread([&] {
    HWND mine = CreateWindowExA(0, kRecorderClass, "other", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                nullptr, nullptr, nullptr, nullptr);
    other = mine;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      if (message.message == WM_USER + 40 && message.hwnd == mine && message.wParam == 10 &&
          message.lParam == 20)
        otherGotIt = true;
      if (message.message == WM_USER + 41) break;
    }
    DestroyWindow(mine);
  });
  while (other.load() == nullptr) Sleep(1);
  ClearJournal();
  EXPECT_TRUE(PostMessageA(HWND_BROADCAST, WM_USER + 40, 10, 20));
  Pump();
  EXPECT_EQ(CountOf(WM_USER + 40, first), 1u);
  EXPECT_EQ(CountOf(WM_USER + 40, hidden), 1u);
  EXPECT_EQ(CountOf(WM_USER + 40, child), 0u) << "child windows get no copy";
  EXPECT_EQ(LastOf(WM_USER + 40).lParam, 20);
  // Sent, each top-level window has it once, the other thread's while it
  // waits in GetMessageA; the send comes back only after all of them.
  EXPECT_EQ(SendMessageA(HWND_BROADCAST, WM_USER + 42, 3, 4), 0);
  EXPECT_EQ(CountOf(WM_USER + 42, first), 1u);
  EXPECT_EQ(CountOf(WM_USER + 42, hidden), 1u);
  EXPECT_EQ(CountOf(WM_USER + 42, other.load()), 1u);
  EXPECT_EQ(CountOf(WM_USER + 42, child), 0u) << "child windows get no copy";
  EXPECT_EQ(LastOf(WM_USER + 42).lParam, 4);
  EXPECT_TRUE(PostMessageA(other.load(), WM_USER + 41, 0, 0));
  thread.join();
  EXPECT_TRUE(otherGotIt.load());
  DestroyWindow(child);
  DestroyWindow(hidden);
  DestroyWindow(first);
  // With no window left, a broadcast reaches nobody and is no failure.
  EXPECT_TRUE(PostMessageA(HWND_BROADCAST, WM_USER + 40, 0, 0));
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

}  // namespace
