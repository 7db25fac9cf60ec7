// What every index file does the same way whatever its layout: the open
// (mode, slot, name, header read and check, taking the slot), selecting and
// closing a handle, the compacted key expression and the fields every
// information record shares.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"

namespace kv::xb::index {

inline constexpr uint16_t kModeProduction = 0x0200;
inline constexpr uint16_t kModeSharedProduction = 0x0800;
inline constexpr uint16_t kModeProductionBits = 0x0600;

// The expression without blanks, upper-cased; its length (at most `limit`
// characters are read, and `out` holds limit + 1).
size_t CompactExpression(const char* in, size_t limit, char* out);

// The names a create call is given: both present (-2) and the file name not
// empty.
XBSTATUS CheckCreateNames(const char* kModule, const char* name, const char* expression);

// A new file's or tag's key expression compacted into `compact`, which holds
// kNewExpressionRoom bytes: 1 to `maxLength` characters from fewer than 400
// given, else -8 with a log line; `*length` receives its length.
inline constexpr size_t kNewExpressionRoom = 512;
XBSTATUS CompactNewExpression(const char* kModule, const char* expression, size_t maxLength,
                              char* compact, size_t* length);

// The start of most create calls: both checks above in turn.
XBSTATUS CheckNewIndex(const char* kModule, const char* name, const char* expression,
                       size_t maxLength, char* compact, size_t* length);

// The type word of a create call: bit 7 asks for a unique index, the low
// seven bits are the key's type letter in either case.
struct CreateType {
  bool unique;
  char letter;
};
inline CreateType DecodeCreateType(uint16_t word) {
  return {(word & 0x80) != 0, UpperAscii(static_cast<char>(word & 0x7F))};
}

// The start of a create call for one key order of the letters C (1 to
// `maxKey` bytes, else -23), D and N (8 bytes) and, where `logical`, L (one
// byte); another letter is -22. The names and the expression are checked
// first, as CheckNewIndex does.
struct NewIndex {
  char expression[kNewExpressionRoom] = {};
  size_t length = 0;
  bool unique = false;
  char letter = 0;
  uint16_t keyLength = 0;
};
XBSTATUS StartNewIndex(const char* kModule, const char* name, const char* expression,
                       size_t maxExpression, uint16_t typeWord, uint16_t keyLength, uint16_t maxKey,
                       bool logical, NewIndex* out);

// Reads `count` header bytes at `offset` of an index being opened; a file
// too short for them fails with a log line (XB_E_READ), other failures are
// returned as the file layer gave them.
XBSTATUS ReadHeaderBytes(const char* kModule, int fileNo, uint64_t offset, uint8_t* into,
                         size_t count);

// Creates `name` (replacing a file of that name) holding `size` bytes,
// flushed and closed; 0, or the status.
XBSTATUS WriteNewFile(const char* name, const uint8_t* bytes, size_t size);

// A shared production open implies the production bits; read-only, it is
// not shared.
inline uint16_t OpenMode(uint16_t mode) {
  if (mode & kModeSharedProduction) {
    mode |= kModeProductionBits;
    if (mode & os::kModeReadOnly) mode &= ~kModeSharedProduction;
  }
  return mode;
}

// Opens an index file into a new control block of type `Block`:
//   XBSTATUS read(Block&, uint64_t* length)   reads and checks the header,
//       allocates the buffers and gives the file's length; failures logged
//   bool finish(Block&, uint64_t length)      completes the block once its
//       name is stored and its page file points at the file; false when the file's length does not
//       fit its header (the open succeeds with state 5)
// The header is read and checked whatever the mode's low byte: the tree code
// relies on every value checked.
template <class Block, class Read, class Finish>
XBSTATUS OpenIndexFile(const char* kModule, SlotType type, XBHANDLE* handle, const char* name,
                       uint16_t mode, Read&& read, Finish&& finish) {
  if (handle == nullptr || name == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);
  mode = OpenMode(mode);
  if (name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  // The block's name area holds the longest path and a NUL.
  constexpr size_t kMaxPath = sizeof Block::fileName - 1;
  if (std::strlen(name) > kMaxPath) return XB_FAIL(XB_E_OPEN);
  std::unique_ptr<Block> block(new (std::nothrow) Block);
  if (!block) return XB_FAIL(XB_E_MEMORY);
  XBSTATUS s = os::Open(&block->fileNo, name, mode, &block->state);
  if (s != 0) return s;
  if (mode & kModeProduction) block->state |= kStateBit1;
  uint64_t length = 0;
  if ((s = read(*block, &length)) != 0) {
    const XBSTATUS failure = Status();
    os::Close(block->fileNo);
    Current().status = failure;
    return failure;
  }
  std::strncpy(block->fileName, name, kMaxPath);
  block->pages.fileNo = block->fileNo;
  block->pages.readOnly = block->readOnly();
  const bool sizeMatches = finish(*block, length);
  table.Take(slot, type, std::move(block), name);
  *handle = static_cast<XBHANDLE>(slot);
  if (!sizeMatches) return SetState(XB_BAD_LENGTH);
  return Status();
}

// Selects a handle of `type`, pointing its page file at the block's file
// number and mode (a reopen after a quick close may have changed both).
template <class Block>
Block* SelectIndexFile(XBHANDLE handle, SlotType type) {
  Block* block = SelectAs<Block>(handle, type);
  if (block != nullptr) {
    block->pages.fileNo = block->fileNo;
    block->pages.readOnly = block->readOnly();
  }
  return block;
}

// Closes the file of a selected block and frees its slot; `earlier` is the
// failure of what the family wrote first (compaction, header words, tags),
// which wins over the state once the file is closed.
template <class Block>
XBSTATUS CloseIndexFile(Block* block, XBHANDLE handle, XBSTATUS earlier = 0) {
  if (block == nullptr) return Status();
  const XBSTATUS s = os::Close(block->fileNo);
  if (s < 0) return s;
  Current().handles.Free(handle);
  return earlier < 0 ? earlier : Status();
}

// The fields every information record starts from: zeroes, the file name,
// the open flags (bit 0 read-only, bits 1 and 2 from the open) and the lock
// state.
template <class Info, class Block>
void PutFileInfo(const Block& block, Info* info) {
  std::memset(info, 0, sizeof *info);
  // Both areas hold 260 characters and a NUL; the record was zero-filled.
  std::memcpy(info->fileName, block.fileName,
              BoundedLength(block.fileName, sizeof info->fileName - 1));
  info->openFlags = static_cast<uint16_t>((block.readOnly() ? 1 : 0) |
                                          (block.state & (kStateBit1 | kStateShared)));
  info->lockState = block.lockState;
}

// The fields of one key order: length, uniqueness and expression.
template <class Info>
void PutKeyInfo(uint16_t keyLength, bool unique, const char* expression, Info* info) {
  info->keyLength = keyLength;
  info->unique = unique ? 128 : 0;
  const size_t length = std::strlen(expression);
  info->expressionLength = static_cast<uint16_t>(length);
  std::memcpy(info->expression, expression,
              length < sizeof info->expression - 1 ? length : sizeof info->expression - 1);
}

// An information call: the handle selected by `select`, the record gets the
// fields every file has and then the family's own from `fill(block, info)`.
template <class Info, class Select, class Fill>
XBSTATUS GiveFileInfo(const char* kModule, XBHANDLE handle, Info* info, Select select, Fill fill) {
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  auto* block = select(handle);
  if (block == nullptr) return Status();
  PutFileInfo(*block, info);
  fill(*block, info);
  return Status();
}

}  // namespace kv::xb::index

// One exported call: its module name for the log lines, the call's entry,
// and the body's result.
#define KV_INDEX_CALL(NAME, MODULE, PARAMS, BODY) \
  KV_API XBSTATUS KV_CALL NAME PARAMS {           \
    constexpr const char* kModule = MODULE;       \
    XB_ENTER();                                   \
    return BODY;                                  \
  }
