// The GTK thread: GTK's main loop, and the work handed to it.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

#include "platform/ui/gtk/gtk_backend.h"

namespace kvp::detail::gtk {

namespace {

std::atomic<bool> started{false};
std::thread::id gtkThread;
pid_t startedIn = 0;

gboolean RunWork(gpointer data) {
  auto* work = static_cast<std::function<void()>*>(data);
  (*work)();
  return G_SOURCE_REMOVE;
}

void DeleteWork(gpointer data) {
  delete static_cast<std::function<void()>*>(data);
}

std::atomic<size_t> liveObjects{0};

// Set by the GTK thread once its main loop has returned. Never destroyed:
// the thread may still get there while exit runs the destructors.
struct LoopEnd {
  std::mutex mutex;
  std::condition_variable signal;
  std::atomic<bool> ended{false};
};
LoopEnd& End() {
  static auto* end = new LoopEnd;
  return *end;
}

// At exit the GTK thread must not be inside GTK, cairo or X while the
// libraries' own destructors run under it (a window being drawn while
// exit tears down what it draws with ends in a crash). Exit handlers run
// before those destructors, so this one ends the main loop and waits for
// the thread, for a bounded time: a loop nested in a dialog that does not
// end leaves the process to end as before.
void StopGtkThreadAtExit() {
  // Not in a forked child (it has no GTK thread), nor on the thread itself.
  if (getpid() != startedIn || OnGtkThread()) return;
  RunOnGtk([] {
    if (gtk_main_level() > 0) gtk_main_quit();
  });
  std::unique_lock<std::mutex> hold(End().mutex);
  End().signal.wait_for(hold, std::chrono::seconds(2), [] { return End().ended.load(); });
}

void Finalized(gpointer, GObject*) {
  --liveObjects;
}

}  // namespace

bool StartGtkThread() {
  std::promise<bool> opened;
  std::future<bool> answer = opened.get_future();
  // The thread lives as long as the process: windows may change until exit.
  std::thread([&opened] {
    gtkThread = std::this_thread::get_id();
    if (!gtk_init_check(nullptr, nullptr)) {
      opened.set_value(false);
      return;
    }
    started = true;
    opened.set_value(true);
    gtk_main();
    std::lock_guard<std::mutex> hold(End().mutex);
    End().ended = true;
    End().signal.notify_all();
  }).detach();
  const bool open = answer.get();
  if (open) {
    startedIn = getpid();
    std::atexit(StopGtkThreadAtExit);
  }
  return open;
}

bool GtkLoopEnded() {
  return End().ended;
}

bool OnGtkThread() {
  return started && std::this_thread::get_id() == gtkThread;
}

void RunOnGtk(std::function<void()> work) {
  // Idle sources of one priority run in the order they were added.
  g_idle_add_full(G_PRIORITY_DEFAULT, RunWork, new std::function<void()>(std::move(work)),
                  DeleteWork);
}

void RunOnGtkAndWait(std::function<void()> work) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  RunOnGtk([&] {
    work();
    done.set_value();
  });
  AwaitGtk(finished);
}

void TrackObject(GObject* object) {
  ++liveObjects;
  g_object_weak_ref(object, Finalized, nullptr);
}

size_t TrackedObjects() {
  return liveObjects;
}

}  // namespace kvp::detail::gtk
