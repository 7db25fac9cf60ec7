// The headless backend: a 1024 x 768 screen nobody looks at; menu choices
// come from the queue tests and the host fill.
#include <deque>
#include <mutex>

#include "platform/ui/backend.h"

namespace kvp {

namespace {

struct Choices {
  std::mutex mutex;
  std::deque<UINT> queued;
};

Choices& MenuChoices() {
  static auto* choices = new Choices;
  return *choices;
}

class HeadlessBackend final : public detail::Backend {
 public:
  int ScreenWidth() const override { return 1024; }
  int ScreenHeight() const override { return 768; }
  UINT ChooseFromMenu(HWND, POINT, const std::vector<TrackedMenuItem>&) override {
    std::lock_guard<std::mutex> hold(MenuChoices().mutex);
    if (MenuChoices().queued.empty()) return 0;  // nobody there: dismissed
    const UINT chosen = MenuChoices().queued.front();
    MenuChoices().queued.pop_front();
    return chosen;
  }
  void WindowChanged(HWND) override {}
};

}  // namespace

namespace detail {

Backend& CurrentBackend() {
  static auto* backend = new HeadlessBackend;
  return *backend;
}

}  // namespace detail

void QueueMenuChoice(UINT command) {
  std::lock_guard<std::mutex> hold(MenuChoices().mutex);
  MenuChoices().queued.push_back(command);
}

void ClearMenuChoices() {
  std::lock_guard<std::mutex> hold(MenuChoices().mutex);
  MenuChoices().queued.clear();
}

size_t PendingMenuChoices() {
  std::lock_guard<std::mutex> hold(MenuChoices().mutex);
  return MenuChoices().queued.size();
}

}  // namespace kvp
