// The menu choices tests and the host queue for the menus tracked next.
#include <deque>
#include <mutex>

#include "platform/ui/backend.h"
#include "platform/ui/input.h"

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

}  // namespace

namespace detail {

bool TakeMenuChoice(UINT* chosen) {
  std::lock_guard<std::mutex> hold(MenuChoices().mutex);
  if (MenuChoices().queued.empty()) return false;
  *chosen = MenuChoices().queued.front();
  MenuChoices().queued.pop_front();
  return true;
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
