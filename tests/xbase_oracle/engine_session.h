// Test helpers around the engine's exports: a started engine per test, the
// version bytes each format variant accepts, and refused opens checked for
// everything they must leave behind.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "kv/xbase.h"

namespace kvtest {

// XBDINIT(100, style) for the life of the object, XBDTERM at its end.
class EngineSession {
 public:
  explicit EngineSession(int16_t dateStyle = 4);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;
};

// The version bytes variant 1..9 accepts on open (memo rules aside).
bool VariantAccepts(int variant, uint8_t version);

// Entries of /proc/self/fd: a failed or closed open must give its file back.
size_t OpenDescriptorCount();

// What a process holds that an open may take: memory blocks and descriptors.
struct Holdings {
  size_t blocks = 0;
  size_t descriptors = 0;
  static Holdings Now();
  bool operator==(const Holdings&) const = default;
};

// Opens `file` with `mode` and checks the refusal: the status, the out handle
// 65535, the code kept until XBESCODE(0) (which this resets), and nothing
// left allocated or open. Reports through GoogleTest's non-fatal checks.
void ExpectRefusedOpen(const std::filesystem::path& file, uint16_t mode, XBSTATUS expected);

// Clears a sticky error after a check that expected one.
void ResetStatus();

}  // namespace kvtest
