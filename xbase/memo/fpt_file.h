// The FoxPro memo file (.FPT): big-endian header (next free block, block
// size) and entries of type, length and text, each taking whole blocks.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/handle_table.h"

namespace kv::xb::fpt {

inline constexpr uint32_t kHeaderArea = 512;  // the header fills the first 512 bytes
inline constexpr size_t kEntryHeader = 8;
inline constexpr uint32_t kTextEntry = 1;
inline constexpr uint32_t kMinBlockSize = 33;
inline constexpr uint32_t kMaxBlockSize = 16384;
inline constexpr size_t kMaxPath = 260;

struct FptMemo : ControlBlock {
  uint32_t nextFree = 0;  // host order
  uint32_t blockSize = 0;
  uint64_t fileLength = 0;
  uint8_t reserved = 0;
  uint8_t flush = 1;
  char path[kMaxPath + 1] = {};

  bool readOnly() const { return (state & kStateReadOnly) != 0; }
  // Blocks covering the header area: no entry may start below them.
  uint32_t headerBlocks() const { return (kHeaderArea + blockSize - 1) / blockSize; }
};

FptMemo* SelectMemo(XBHANDLE handle);

// Rereads the two header numbers and the file length; a block size outside
// 33..16384 gives -49.
XBSTATUS RereadHeader(FptMemo& memo);

}  // namespace kv::xb::fpt
