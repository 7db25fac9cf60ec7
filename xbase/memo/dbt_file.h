// The dBASE memo file (.DBT): its control block and the pieces its exports
// share.
//
// Two layouts: the plain one (variants 1, 3, 5, 6, 7, 66) keeps texts in
// 512-byte blocks closed by 0x1A 0x1A; the block-size one (variant 2) keeps
// each text behind an 8-byte entry header in blocks of the size the header
// gives, and chains freed runs of blocks from the header's first word.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/frame/handle_table.h"
#include "xbase/frame/memory_block.h"

namespace kv::xb::dbt {

inline constexpr size_t kHeaderBytes = 24;
inline constexpr uint32_t kPlainBlockSize = 512;
inline constexpr size_t kMaxPath = 260;
inline constexpr uint8_t kEndMark = 0x1A;
// The plain reader takes at most 128 blocks: longer texts cannot be read.
inline constexpr uint32_t kMaxPlainBlocks = 128;
inline constexpr size_t kMaxPlainText = kMaxPlainBlocks * kPlainBlockSize - 1;

// Header offsets.
inline constexpr size_t kOffNextFree = 0;
inline constexpr size_t kOffName = 8;
inline constexpr size_t kOffMark1 = 18;  // 2 in the block-size layout
inline constexpr size_t kOffMark2 = 19;  // 1 in the block-size layout
inline constexpr size_t kOffBlockSize = 20;
inline constexpr size_t kOffReserved = 22;

// Entry header of the block-size layout: FF FF 08 00, then the entry length
// (text + 8).
inline constexpr size_t kEntryHeader = 8;
inline constexpr uint8_t kEntrySignature[4] = {0xFF, 0xFF, 0x08, 0x00};
inline constexpr uint32_t kMinBlockSize = 512;
inline constexpr uint32_t kMaxBlockSize = 16384;

inline constexpr uint16_t kVariantBlockSize = 2;
inline constexpr uint16_t kVariantNoWrap = 6;

// True for the variants of the .DBT file (0 is not among them: open maps it
// to 1 first).
bool VariantAccepted(uint16_t variant);

struct DbtMemo : ControlBlock {
  uint64_t fileLength = 0;  // bytes, as reread by the last header read
  uint8_t header[kHeaderBytes] = {};
  uint8_t reserved = 0;
  uint8_t flush = 1;
  char path[kMaxPath + 1] = {};
  uint16_t variant = 1;
  uint32_t blockSize = kPlainBlockSize;

  bool blockLayout() const { return variant == kVariantBlockSize; }
  bool readOnly() const { return (state & kStateReadOnly) != 0; }
  uint32_t nextFree() const;
  void setNextFree(uint32_t block);
};

// The control block of an open .DBT handle, or null with the status set.
DbtMemo* SelectMemo(XBHANDLE handle);

// Rereads the header's first word and the file length.
XBSTATUS RereadHeader(DbtMemo& memo);

// Writes the header's first word from the control block.
XBSTATUS WriteNextFree(DbtMemo& memo);

// Reads the memo at `block` into `text` (closed with a NUL); `*length` is
// the text length. The caller has reread the header. Mode as XBDTRGET.
XBSTATUS ReadText(DbtMemo& memo, uint32_t block, uint16_t mode, MemoryBlock* text, size_t* length);

// The length of the plain text at `block` up to its first end marker, read
// 512 bytes at a time (at most 128 blocks). A text without an end marker
// gives -6 or -29 without touching the status code.
XBSTATUS MeasurePlainText(DbtMemo& memo, uint32_t block, size_t* length);

}  // namespace kv::xb::dbt
