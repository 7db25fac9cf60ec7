// What every engine fuzz target needs: a scratch file of its own, message
// boxes answered silently, and the engine started once and ended at exit;
// and for the index targets one round of key calls over an open index.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// An error status stays until it is reset; the next call starts clean.
inline void ResetStatus() {
  if (XBECODE() < 0) XBESCODE(0);
}

// The key calls of one index family on one handle (an index handle or an
// MDX tag handle).
template <class Handle>
struct KeyCalls {
  XBSTATUS (*top)(Handle, void*, uint32_t*);
  XBSTATUS (*bottom)(Handle, void*, uint32_t*);
  XBSTATUS (*next)(Handle, void*, uint32_t*);
  XBSTATUS (*previous)(Handle, void*, uint32_t*);
  XBSTATUS (*find)(Handle, void*, uint32_t*, uint16_t);
  XBSTATUS (*current)(Handle, void*, uint32_t*);
  XBSTATUS (*add)(Handle, const void*, uint32_t);
  XBSTATUS (*remove)(Handle, const void*, uint32_t);
};

// Walks from one end until a step no longer gives an entry. Every entry
// takes at least one byte of the file, so a walk that gives more entries
// than the file has bytes is going round: a finding.
template <class Handle>
void WalkToEnd(const char* target, Handle h, size_t fileBytes,
               XBSTATUS (*first)(Handle, void*, uint32_t*),
               XBSTATUS (*step)(Handle, void*, uint32_t*)) {
  // Keys are up to 100 bytes (MDX numeric ones 12) and a NUL.
  char key[160] = {};
  uint32_t record = 0;
  size_t entries = 0;
  for (XBSTATUS s = first(h, key, &record); s == 0; s = step(h, key, &record)) {
    if (++entries > fileBytes) {
      std::fprintf(stderr, "%s: a walk gave %zu entries from a file of %zu bytes\n", target,
                   entries, fileBytes);
      std::abort();
    }
  }
  ResetStatus();
}

// One round over an open index: walks both ways to their ends, finds and
// current keys for a few probes (`control` & 7 the search flags), and when
// `control` has bit 7 adds `adds` keys, deletes every other one and the
// first and last entries, and walks again. Key buffers are whole, since
// binary keys read the key length.
template <class Handle>
void ExerciseKeys(const char* target, const KeyCalls<Handle>& calls, Handle h, size_t fileBytes,
                  uint8_t control, int adds) {
  WalkToEnd(target, h, fileBytes, calls.top, calls.next);
  WalkToEnd(target, h, fileBytes, calls.bottom, calls.previous);
  char key[160] = {};
  uint32_t record = 0;
  const uint16_t flags = static_cast<uint16_t>(control & 0x07);
  for (const char* probe : {"", "A", "M?", "0001", "ZZZZ", "\x7F\xFF\x34\x05"}) {
    std::memset(key, 0, sizeof key);
    std::strcpy(key, probe);
    record = control;
    calls.find(h, key, &record, flags);
    ResetStatus();
    calls.current(h, key, &record);
    ResetStatus();
  }
  if ((control & 0x80) == 0) return;
  for (int i = 0; i < adds; ++i) {
    char added[160] = "FUZZ\x34\x05\x12";
    added[4] = static_cast<char>('A' + i % 26);
    calls.add(h, added, 7u + static_cast<uint32_t>(i));
    ResetStatus();
  }
  for (int i = 0; i < adds; i += 2) {
    char added[160] = "FUZZ\x34\x05\x12";
    added[4] = static_cast<char>('A' + i % 26);
    calls.remove(h, added, 7u + static_cast<uint32_t>(i));
    ResetStatus();
  }
  char edge[160] = {};
  if (calls.top(h, edge, &record) == 0) calls.remove(h, edge, record);
  ResetStatus();
  if (calls.bottom(h, edge, &record) == 0) calls.remove(h, edge, record);
  ResetStatus();
  // The file may have grown by the adds: a page more for each.
  WalkToEnd(target, h, fileBytes + 16384u * static_cast<size_t>(adds + 1), calls.top, calls.next);
}

}  // namespace kvfuzz
