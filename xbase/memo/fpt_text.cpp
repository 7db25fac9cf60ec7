// Reading and writing .FPT memo texts. Texts of any length that fits the
// file are moved: the file layer reads in pieces of at most 32767 bytes and
// writes in pieces of 4096, so no count is ever cut to 16 bits.
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/memory_block.h"
#include "xbase/memo/fpt_file.h"

using namespace kv::xb;
using namespace kv::xb::fpt;

namespace {
constexpr uint64_t kFileLimit = 0xFFFFFFFFu;

uint64_t RoundUp(uint64_t bytes, uint32_t blockSize) {
  return (bytes + blockSize - 1) / blockSize * blockSize;
}

// The room the entry at `block` may be rewritten in: its text length
// rounded up to whole blocks, or 0 when the entry header cannot be read or
// the room would reach past the next free block (a damaged length).
XBSTATUS OldSpace(FptMemo& memo, uint32_t block, uint64_t* space) {
  constexpr const char* kModule = "WRPUT";
  *space = 0;
  const uint64_t offset = uint64_t{block} * memo.blockSize;
  if (offset + kEntryHeader > memo.fileLength) return 0;
  uint8_t head[kEntryHeader];
  XBSTATUS s = os::Seek(memo.fileNo, offset);
  if (s == 0) s = os::Read(memo.fileNo, head, sizeof head);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  const uint64_t room = RoundUp(GetBE32(head + 4), memo.blockSize);
  if (offset + room <= uint64_t{memo.nextFree} * memo.blockSize) *space = room;
  return 0;
}

XBSTATUS WriteEntry(FptMemo& memo, uint32_t block, const char* text, size_t n) {
  uint8_t head[kEntryHeader];
  PutBE32(head, kTextEntry);
  PutBE32(head + 4, static_cast<uint32_t>(n));
  XBSTATUS s = os::Seek(memo.fileNo, uint64_t{block} * memo.blockSize);
  if (s == 0) s = os::Write(memo.fileNo, head, sizeof head, memo.flush != 0);
  if (s == 0 && n > 0) s = os::Write(memo.fileNo, text, n, memo.flush != 0);
  return s;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDWRGET(XBHANDLE handle, uint32_t block, char** text) {
  constexpr const char* kModule = "WRGET";
  XB_ENTER();
  if (text == nullptr) return XB_FAIL(XB_E_NULL);
  *text = nullptr;
  FptMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  if (block < 1 || block >= memo->nextFree) return XB_FAIL(XB_E_SEEK);
  const uint64_t offset = uint64_t{block} * memo->blockSize;
  uint8_t head[kEntryHeader];
  s = os::Seek(memo->fileNo, offset);
  if (s == 0) s = os::Read(memo->fileNo, head, sizeof head);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  const uint32_t length = GetBE32(head + 4);
  // A length reaching past the end of the file (a damaged entry, or one
  // negative when read as signed) is refused before any memory is taken.
  if (offset + kEntryHeader + length > memo->fileLength) return XB_FAIL(XB_E_READ);
  MemoryBlock out;
  if ((s = out.Allocate(size_t{length} + 1)) != 0) return s;
  s = os::Read(memo->fileNo, out.data(), length);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  out.data()[length] = 0;
  *text = reinterpret_cast<char*>(out.data());
  out.Detach();
  return Status();
}

KV_API XBSTATUS KV_CALL XBDWRPUT(XBHANDLE handle, uint32_t* block, const char* text,
                                 uint16_t mode) {
  constexpr const char* kModule = "WRPUT";
  XB_ENTER();
  if (block == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  FptMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  if (memo->readOnly()) return XB_FAIL(XB_E_READONLY);
  if (mode != XB_MEMO_NEW && mode != XB_MEMO_REWRITE) return XB_FAIL(XB_E_ARGUMENT);
  XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  const size_t n = std::strlen(text);
  if (n > kFileLimit - kEntryHeader) return XB_FAIL(XB_E_MEMO_TOO_LONG);
  const uint64_t needed = uint64_t{n} + kEntryHeader;
  if (mode == XB_MEMO_REWRITE) {
    const uint32_t old = *block;
    if (old < 1 || old >= memo->nextFree) return XB_FAIL(XB_E_SEEK);
    uint64_t space = 0;
    if ((s = OldSpace(*memo, old, &space)) != 0) return s;
    if (space >= needed) {
      s = WriteEntry(*memo, old, text, n);
      return s != 0 ? s : Status();
    }
  }
  const uint32_t at = memo->nextFree;
  // A next free block inside the header area would overwrite the header.
  if (at < memo->headerBlocks()) return XB_FAIL(XB_E_FORMAT);
  const uint64_t next = uint64_t{at} + RoundUp(needed, memo->blockSize) / memo->blockSize;
  if (next * memo->blockSize > kFileLimit) return XB_FAIL(XB_E_SEEK);
  if ((s = os::SetLength(memo->fileNo, at * memo->blockSize)) != 0) return s;
  if ((s = WriteEntry(*memo, at, text, n)) != 0) return s;
  uint8_t word[4];
  PutBE32(word, static_cast<uint32_t>(next));
  s = os::Seek(memo->fileNo, 0);
  if (s == 0) s = os::Write(memo->fileNo, word, sizeof word, memo->flush != 0);
  if (s != 0) return s;
  memo->nextFree = static_cast<uint32_t>(next);
  *block = at;
  return Status();
}
