// What every engine fuzz target needs: a scratch file of its own, message
// boxes answered silently, and the engine started once and ended at exit.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kv/xbase.h"
#include "platform/ui/message_box.h"

namespace kvfuzz {

inline int SilentBox(kvp::HWND, const char*, const char*, kvp::UINT, void*) {
  return kvp::IDOK;
}

// The process's scratch file, made once (stem: what the target reads).
inline const std::string& ScratchFile(const char* stem = "engine") {
  static const std::string path = [stem] {
    std::string name = std::string("/tmp/kvfuzz-") + stem + "-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd >= 0) close(fd);
    return name;
  }();
  return path;
}

// Replaces the scratch file's contents; false when it cannot be written.
inline bool WriteScratch(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(ScratchFile().c_str(), "wb");
  if (f == nullptr) return false;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  return true;
}

// Silences message boxes and starts the engine (date style 4); at exit the
// engine is ended and the scratch file removed.
inline void StartEngine(const char* stem) {
  ScratchFile(stem);
  kvp::SetMessageBoxHook(SilentBox, nullptr);
  XBDINIT(100, 4);
  std::atexit([] {
    XBDTERM();
    std::remove(ScratchFile().c_str());
  });
}

}  // namespace kvfuzz
