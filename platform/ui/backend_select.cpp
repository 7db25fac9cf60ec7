// Chooses the backend once, from KV_UI and the display.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/ui/backend.h"
#include "platform/ui/ui_backend.h"

#if defined(KV_HAVE_GTK)
#include "platform/ui/gtk/gtk_backend.h"
#endif

namespace kvp {

namespace detail {

namespace {

Backend& Choose() {
  const char* wanted = std::getenv("KV_UI");
  const bool headless = wanted != nullptr && std::strcmp(wanted, "headless") == 0;
  const bool gtk = wanted != nullptr && std::strcmp(wanted, "gtk") == 0;
  if (wanted != nullptr && wanted[0] != '\0' && !headless && !gtk) {
    std::fprintf(stderr, "KV_UI=%s: not a backend (gtk or headless); using headless\n", wanted);
    return HeadlessBackend();
  }
  if (headless) return HeadlessBackend();
#if defined(KV_HAVE_GTK)
  // Without a display named nothing is tried: CI runs stay headless.
  const char* display = std::getenv("DISPLAY");
  if (gtk || (display != nullptr && display[0] != '\0')) {
    if (Backend* shown = StartGtkBackend()) return *shown;
    if (gtk) std::fprintf(stderr, "KV_UI=gtk: no display could be opened; using headless\n");
  }
#else
  if (gtk) std::fprintf(stderr, "KV_UI=gtk: not built with GTK; using headless\n");
#endif
  return HeadlessBackend();
}

}  // namespace

Backend& CurrentBackend() {
  static Backend& chosen = Choose();
  return chosen;
}

}  // namespace detail

const char* UiBackendName() {
  return detail::CurrentBackend().Name();
}

size_t UiBackendLiveObjects() {
  detail::Backend& backend = detail::CurrentBackend();
  backend.Flush();
  return backend.LiveObjects();
}

}  // namespace kvp
