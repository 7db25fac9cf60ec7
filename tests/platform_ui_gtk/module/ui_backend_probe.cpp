// A program linked to the platform layer and not to GTK, as the host and
// every library are. It reports, one per line:
//   the platform layer's file as the process mapped it,
//   "gtk" or "no-gtk": whether GTK was mapped before the user interface
//   was used,
//   the backend it then got (UiBackendName),
//   "gtk" or "no-gtk": whether GTK is mapped after.
#include <cstdio>
#include <fstream>
#include <string>

#include "platform/ui/ui_backend.h"

namespace {

// Every file the process has mapped, as /proc/self/maps names them.
std::string Maps() {
  std::ifstream maps("/proc/self/maps");
  std::string all;
  for (std::string line; std::getline(maps, line);) all += line + "\n";
  return all;
}

bool GtkMapped() {
  return Maps().find("/libgtk-3.so") != std::string::npos;
}

std::string PlatformFile() {
  const std::string maps = Maps();
  const size_t found = maps.find("/libkvplatform.so");
  if (found == std::string::npos) return "none";
  const size_t start = maps.rfind(' ', found) + 1;
  return maps.substr(start, maps.find('\n', found) - start);
}

}  // namespace

int main() {
  const bool before = GtkMapped();
  const std::string backend = kvp::UiBackendName();
  const bool after = GtkMapped();
  std::printf("%s\n%s\n%s\n%s\n", PlatformFile().c_str(), before ? "gtk" : "no-gtk",
              backend.c_str(), after ? "gtk" : "no-gtk");
  return 0;
}
