// The GTK thread: GTK's main loop, and the work handed to it.
#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "platform/ui/gtk/gtk_backend.h"

namespace kvp::detail::gtk {

namespace {

std::atomic<bool> started{false};
std::thread::id gtkThread;

gboolean RunWork(gpointer data) {
  auto* work = static_cast<std::function<void()>*>(data);
  (*work)();
  return G_SOURCE_REMOVE;
}

void DeleteWork(gpointer data) {
  delete static_cast<std::function<void()>*>(data);
}

std::atomic<size_t> liveObjects{0};

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
  }).detach();
  return answer.get();
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
  finished.wait();
}

void TrackObject(GObject* object) {
  ++liveObjects;
  g_object_weak_ref(object, Finalized, nullptr);
}

size_t TrackedObjects() {
  return liveObjects;
}

}  // namespace kvp::detail::gtk
