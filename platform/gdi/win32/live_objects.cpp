#include "platform/gdi/win32/live_objects.h"

#include <mutex>
#include <set>

#include "platform/gdi/gdi_objects.h"

namespace kvp {

namespace {

struct LiveObjects {
  std::mutex mutex;
  std::set<HGDIOBJ> handles;
};

LiveObjects& Live() {
  static auto* live = new LiveObjects;  // never destroyed: objects may go at exit
  return *live;
}

}  // namespace

namespace detail {

void NoteMadeObject(HGDIOBJ handle) {
  std::lock_guard<std::mutex> hold(Live().mutex);
  Live().handles.insert(handle);
}

bool NoteDeletedObject(HGDIOBJ handle) {
  std::lock_guard<std::mutex> hold(Live().mutex);
  return Live().handles.erase(handle) != 0;
}

}  // namespace detail

size_t GdiLiveObjects() {
  std::lock_guard<std::mutex> hold(Live().mutex);
  return Live().handles.size();
}

}  // namespace kvp
