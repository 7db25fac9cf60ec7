// Writing .DBT memo texts: new memos and rewrites in place, by each
// layout's rule.
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/memo/dbt_chain.h"
#include "xbase/memo/dbt_file.h"
#include "xbase/memo/memo_text.h"

using namespace kv::xb;
using namespace kv::xb::dbt;

namespace {
constexpr const char* kModule = "TRPUT";
constexpr uint16_t kWhereMask = 0xFF00;
constexpr uint16_t kWidthMask = 0x00FF;
constexpr uint64_t kFileLimit = 0xFFFFFFFFu;

XBSTATUS WriteAt(DbtMemo& memo, uint64_t offset, const uint8_t* bytes, size_t n,
                 const uint8_t* tail, size_t tailLength) {
  XBSTATUS s = os::Seek(memo.fileNo, offset);
  if (s == 0 && n > 0) s = os::Write(memo.fileNo, bytes, n, memo.flush != 0);
  if (s == 0 && tailLength > 0) s = os::Write(memo.fileNo, tail, tailLength, memo.flush != 0);
  if (s == 0 && offset + n + tailLength > memo.fileLength)
    memo.fileLength = offset + n + tailLength;
  return s;
}

// ---- plain layout ----

XBSTATUS WritePlainAt(DbtMemo& memo, uint32_t block, const uint8_t* text, size_t n) {
  static const uint8_t kEnd[2] = {kEndMark, kEndMark};
  return WriteAt(memo, uint64_t{block} * kPlainBlockSize, text, n, kEnd, sizeof kEnd);
}

XBSTATUS PutPlainNew(DbtMemo& memo, const uint8_t* text, size_t n, uint32_t* block) {
  const uint32_t at = memo.nextFree();
  // Block 0 is the header: a file that says so is damaged.
  if (at == 0) return XB_FAIL(XB_E_FORMAT);
  const uint64_t next = uint64_t{at} + (n + 2) / kPlainBlockSize + 1;
  if (next * kPlainBlockSize > kFileLimit) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = WritePlainAt(memo, at, text, n);
  if (s != 0) return s;
  memo.setNextFree(static_cast<uint32_t>(next));
  if ((s = WriteNextFree(memo)) != 0) return s;
  *block = at;
  return 0;
}

XBSTATUS PutPlain(DbtMemo& memo, bool rewrite, uint32_t* block, const uint8_t* text, size_t n) {
  if (!rewrite) return PutPlainNew(memo, text, n, block);
  const uint32_t old = *block;
  if (old < 1 || uint64_t{old} * kPlainBlockSize >= memo.fileLength) return XB_FAIL(XB_E_SEEK);
  // In place only when the text and its two end-marker bytes stay inside the
  // blocks the old text reached (up to its first end marker): every memo
  // owns at least its first block, so texts of up to 510 bytes always go in
  // place; a longer one never spills into the memo that follows.
  const size_t needed = (n + 2 + kPlainBlockSize - 1) / kPlainBlockSize;
  bool inPlace = needed <= 1;
  if (!inPlace) {
    size_t oldLength = 0;
    const XBSTATUS s = MeasurePlainText(memo, old, &oldLength);
    if (s == 0) {
      inPlace = needed <= oldLength / kPlainBlockSize + 1;
    } else if (s != XB_E_MEMO_END && s != XB_E_MEMO_TOO_LONG) {
      return s;
    }
    // An old text without an end marker cannot be measured: it is left
    // alone and the new text goes to a new memo.
  }
  if (!inPlace) return PutPlainNew(memo, text, n, block);
  return WritePlainAt(memo, old, text, n);
}

// ---- block-size layout ----

XBSTATUS WriteEntry(DbtMemo& memo, uint32_t block, const uint8_t* text, size_t n) {
  uint8_t head[kEntryHeader];
  std::memcpy(head, kEntrySignature, 4);
  PutLE32(head + 4, static_cast<uint32_t>(n + kEntryHeader));
  XBSTATUS s = WriteAt(memo, uint64_t{block} * memo.blockSize, head, sizeof head, nullptr, 0);
  if (s == 0 && n > 0) s = os::Write(memo.fileNo, text, n, memo.flush != 0);
  if (s == 0) {
    const uint64_t end = uint64_t{block} * memo.blockSize + kEntryHeader + n;
    if (end > memo.fileLength) memo.fileLength = end;
  }
  return s;
}

// The room (in blocks) of the entry at `block` when it is a sound entry of
// this layout, else 0: only such an entry is rewritten in place or freed.
XBSTATUS EntryRoom(DbtMemo& memo, uint32_t block, uint32_t* room) {
  *room = 0;
  const uint64_t offset = uint64_t{block} * memo.blockSize;
  if (offset + kEntryHeader > memo.fileLength) return 0;
  uint8_t head[kEntryHeader];
  XBSTATUS s = os::Seek(memo.fileNo, offset);
  if (s == 0) s = os::Read(memo.fileNo, head, sizeof head);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s != 0) return s;
  // A block that does not start an entry (a freed run, a stale number) is
  // neither overwritten nor freed a second time.
  if (std::memcmp(head, kEntrySignature, 4) != 0) return 0;
  const uint32_t entry = GetLE32(head + 4);
  if (entry < kEntryHeader || offset + entry > memo.fileLength) return 0;
  *room = static_cast<uint32_t>((uint64_t{entry} + memo.blockSize - 1) / memo.blockSize);
  return 0;
}

XBSTATUS PutBlocks(DbtMemo& memo, bool rewrite, uint32_t* block, const uint8_t* text, size_t n) {
  if (n > kFileLimit - kEntryHeader) return XB_FAIL(XB_E_MEMO_TOO_LONG);
  const uint64_t needed64 = BlocksFor(memo, n);
  if (needed64 > kFileLimit) return XB_FAIL(XB_E_MEMO_TOO_LONG);
  const uint32_t needed = static_cast<uint32_t>(needed64);
  uint32_t old = 0;
  uint32_t room = 0;
  if (rewrite) {
    old = *block;
    if (old < 1 || uint64_t{old} * memo.blockSize >= memo.fileLength) return XB_FAIL(XB_E_SEEK);
    const XBSTATUS s = EntryRoom(memo, old, &room);
    if (s != 0) return s;
  }
  XBSTATUS s = 0;
  if (room > 0 && needed <= room) {
    if ((s = WriteEntry(memo, old, text, n)) != 0) return s;
    // The blocks the shorter text no longer needs go back to the chain.
    if (room > needed) s = FreeRun(memo, old + needed, room - needed);
    return s;
  }
  uint32_t at = 0;
  if ((s = TakeRun(memo, needed, &at)) != 0) return s;
  if ((s = WriteEntry(memo, at, text, n)) != 0) return s;
  // The old entry is freed only once the new one is written, so that a
  // failed write never loses the old text.
  if (room > 0 && (s = FreeRun(memo, old, room)) != 0) return s;
  *block = at;
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDTRPUT(XBHANDLE handle, uint32_t* block, const char* text,
                                 uint16_t mode) {
  XB_ENTER();
  if (block == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  const uint16_t where = mode & kWhereMask;
  const int width = mode & kWidthMask;
  if (where != XB_MEMO_NEW && where != XB_MEMO_REWRITE) return XB_FAIL(XB_E_ARGUMENT);
  if (width != 0 && (width < memo::kMinLineWidth || width > memo::kMaxLineWidth)) {
    return XB_FAIL(XB_E_LINE_WIDTH);
  }
  DbtMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  if (memo->readOnly()) return XB_FAIL(XB_E_READONLY);
  XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  const bool rewrite = where == XB_MEMO_REWRITE;
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  size_t n = std::strlen(text);
  if (memo->blockLayout()) {
    s = PutBlocks(*memo, rewrite, block, bytes, n);
    return s != 0 ? s : Status();
  }
  // The plain reader stops after 128 blocks: a longer text is refused before
  // anything is written (wrapping only adds bytes).
  if (n > kMaxPlainText) return XB_FAIL(XB_E_MEMO_TOO_LONG);
  MemoryBlock wrapped;
  if (width != 0 && memo->variant != kVariantNoWrap) {
    if ((s = memo::WrapLines(bytes, n, width, &wrapped, &n)) != 0) return s;
    if (n > kMaxPlainText) return XB_FAIL(XB_E_MEMO_TOO_LONG);
    bytes = wrapped.data();
  }
  s = PutPlain(*memo, rewrite, block, bytes, n);
  return s != 0 ? s : Status();
}
