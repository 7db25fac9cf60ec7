// Chooses the backend once, from KV_UI and the display.
//
// The GTK backend is a library of its own (libkvplatform_gtk.so, beside
// this one), loaded here only when a display is to be tried: linking GTK
// into the platform layer made every program that loads it (the host, each
// library, each test) map and relocate GTK's seventy-odd shared objects at
// start, about 20 ms on a small machine, for windows nearly none of them
// shows.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(KV_HAVE_GTK)
#include <dlfcn.h>

#include <string>
#endif

#include "platform/ui/backend.h"
#include "platform/ui/ui_backend.h"

namespace kvp {

namespace detail {

namespace {

#if defined(KV_HAVE_GTK)
// The GTK backend's library by its runtime name, from the folder this
// library was loaded from (the build tree's lib/, or the installed
// libdir), so that a program finds the one built with its platform layer.
// False, after one line on stderr saying why, when it cannot be loaded;
// else `shown` is its backend, or null when no display could be opened. It
// is never unloaded, since its thread runs GTK until the process ends.
bool LoadGtkBackend(const char* asked, Backend** shown) {
  std::string path = KV_GTK_MODULE;
  Dl_info self{};
  if (dladdr(reinterpret_cast<const void*>(&LoadGtkBackend), &self) != 0 &&
      self.dli_fname != nullptr) {
    const char* slash = std::strrchr(self.dli_fname, '/');
    if (slash != nullptr) path = std::string(self.dli_fname, slash + 1) + KV_GTK_MODULE;
  }
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module != nullptr ? dlsym(module, "KvpStartGtkBackend") : nullptr;
  if (entry == nullptr) {
    const char* why = dlerror();
    std::fprintf(stderr, "%s: the GTK backend could not be loaded (%s); using headless\n", asked,
                 why != nullptr ? why : path.c_str());
    return false;
  }
  *shown = reinterpret_cast<Backend* (*)()>(entry)();
  return true;
}
#endif

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
    const std::string asked = gtk ? std::string("KV_UI=gtk") : "DISPLAY=" + std::string(display);
    Backend* shown = nullptr;
    if (!LoadGtkBackend(asked.c_str(), &shown)) return HeadlessBackend();
    if (shown != nullptr) return *shown;
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
