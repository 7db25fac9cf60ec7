// Reading .DBT memo texts into engine blocks handed to the caller.
#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/memo/dbt_file.h"
#include "xbase/memo/memo_text.h"

using namespace kv::xb;
using namespace kv::xb::dbt;

namespace kv::xb::dbt {

namespace {
constexpr const char* kModule = "TRGET";

bool BlockInFile(const DbtMemo& memo, uint32_t block) {
  return block >= 1 && uint64_t{block} * memo.blockSize < memo.fileLength;
}

// A read fails with the code; a measurement only reports it.
XBSTATUS Refuse(bool reading, XBSTATUS code) {
  return reading ? XB_FAIL(code) : code;
}

// Reads plain blocks from `block` until the first end marker. With `text`
// null only the length is measured (into a scratch buffer of one block).
XBSTATUS ReadPlain(DbtMemo& memo, uint32_t block, MemoryBlock* text, size_t* length) {
  const uint64_t offset = uint64_t{block} * kPlainBlockSize;
  const uint64_t available = memo.fileLength - offset;
  const uint64_t limit = uint64_t{kMaxPlainBlocks} * kPlainBlockSize;
  // The buffer never exceeds what the file holds: a lying header cannot ask
  // for more memory than the file's own size.
  const size_t capacity = static_cast<size_t>(available < limit ? available : limit);
  MemoryBlock scratch;
  MemoryBlock* buffer = text != nullptr ? text : &scratch;
  XBSTATUS s = buffer->Allocate(text != nullptr ? capacity + 1 : kPlainBlockSize);
  if (s != 0) return s;
  if ((s = os::Seek(memo.fileNo, offset)) != 0) return s;
  size_t total = 0;
  for (uint32_t i = 0; i < kMaxPlainBlocks; ++i) {
    uint8_t* at = text != nullptr ? buffer->data() + total : buffer->data();
    const size_t room = text != nullptr ? capacity - total : kPlainBlockSize;
    const size_t piece = room < kPlainBlockSize ? room : kPlainBlockSize;
    size_t got = 0;
    if (piece > 0 && (s = os::ReadSome(memo.fileNo, at, piece, &got)) != 0) return s;
    if (const void* mark = std::memchr(at, kEndMark, got)) {
      total += static_cast<size_t>(static_cast<const uint8_t*>(mark) - at);
      if (text != nullptr) std::memset(buffer->data() + total, 0, capacity + 1 - total);
      *length = total;
      return 0;
    }
    total += got;
    if (got < kPlainBlockSize) return Refuse(text != nullptr, XB_E_MEMO_END);
  }
  return Refuse(text != nullptr, XB_E_MEMO_TOO_LONG);
}

XBSTATUS ReadEntry(DbtMemo& memo, uint32_t block, MemoryBlock* text, size_t* length) {
  const uint64_t offset = uint64_t{block} * memo.blockSize;
  uint8_t head[kEntryHeader];
  XBSTATUS s = os::Seek(memo.fileNo, offset);
  if (s == 0) s = os::Read(memo.fileNo, head, sizeof head);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  const uint32_t entry = GetLE32(head + 4);
  // An entry shorter than its own header, or reaching past the end of the
  // file, cannot be read: refused before any memory is taken for it.
  if (entry < kEntryHeader) return XB_FAIL(XB_E_FORMAT);
  if (offset + entry > memo.fileLength) return XB_FAIL(XB_E_READ);
  const size_t n = entry - kEntryHeader;
  if ((s = text->Allocate(n + 1)) != 0) return s;
  s = os::Read(memo.fileNo, text->data(), n);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  text->data()[n] = 0;
  *length = n;
  return 0;
}

}  // namespace

XBSTATUS MeasurePlainText(DbtMemo& memo, uint32_t block, size_t* length) {
  if (!BlockInFile(memo, block)) return XB_FAIL(XB_E_SEEK);
  return ReadPlain(memo, block, nullptr, length);
}

XBSTATUS ReadText(DbtMemo& memo, uint32_t block, uint16_t mode, MemoryBlock* text, size_t* length) {
  if (mode != XB_MEMO_KEEP_BREAKS && mode != XB_MEMO_REMOVE_BREAKS) {
    return XB_FAIL(XB_E_ARGUMENT);
  }
  if (!BlockInFile(memo, block)) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = memo.blockLayout() ? ReadEntry(memo, block, text, length)
                                  : ReadPlain(memo, block, text, length);
  if (s != 0) {
    text->Free();
    return s;
  }
  if (mode == XB_MEMO_REMOVE_BREAKS) *length = memo::RemoveSoftBreaks(text->data(), *length);
  return 0;
}

}  // namespace kv::xb::dbt

namespace {

// Reads the memo into a new engine block, left locked for the caller.
XBSTATUS ReadForCaller(XBHANDLE handle, uint32_t block, uint16_t mode, KVHGLOBAL* out,
                       void** address) {
  DbtMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  MemoryBlock text;
  size_t length = 0;
  if ((s = ReadText(*memo, block, mode, &text, &length)) != 0) return s;
  *address = text.data();
  // The caller owns the block from here on.
  *out = text.Detach();
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDTRGET(XBHANDLE handle, uint32_t block, char** text, uint16_t mode) {
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  *text = nullptr;
  KVHGLOBAL h = 0;
  void* address = nullptr;
  const XBSTATUS s = ReadForCaller(handle, block, mode, &h, &address);
  if (s != 0) return s;
  *text = static_cast<char*>(address);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDTRGETH(XBHANDLE handle, uint32_t block, KVHGLOBAL* text, uint16_t mode) {
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  *text = 0;
  KVHGLOBAL h = 0;
  void* address = nullptr;
  const XBSTATUS s = ReadForCaller(handle, block, mode, &h, &address);
  if (s != 0) return s;
  // The host locks the block itself when it wants the bytes.
  kvp::GlobalUnlock(h);
  *text = h;
  return Status();
}
