#include "xbase/memo/dbt_chain.h"

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"

namespace kv::xb::dbt {

namespace {
constexpr const char* kModule = "TRPUT";
constexpr uint64_t kFileLimit = 0xFFFFFFFFu;

// True when `block` is the chain's end: no run header fits there.
bool AtEnd(const DbtMemo& memo, uint32_t block) {
  return uint64_t{block} * memo.blockSize + 8 > memo.fileLength;
}

XBSTATUS WriteRunHeader(DbtMemo& memo, uint32_t block, uint32_t next, uint32_t count) {
  uint8_t words[8];
  PutLE32(words, next);
  PutLE32(words + 4, count);
  XBSTATUS s = os::Seek(memo.fileNo, uint64_t{block} * memo.blockSize);
  if (s == 0) s = os::Write(memo.fileNo, words, sizeof words, memo.flush != 0);
  if (s == 0) {
    const uint64_t end = uint64_t{block} * memo.blockSize + sizeof words;
    if (end > memo.fileLength) memo.fileLength = end;
  }
  return s;
}

// Points the link at `linkOffset` (0: the header's first word; otherwise the
// next-run word of a run) at `target`.
XBSTATUS SetLink(DbtMemo& memo, uint64_t linkOffset, uint32_t target) {
  if (linkOffset == 0) {
    memo.setNextFree(target);
    return WriteNextFree(memo);
  }
  uint8_t word[4];
  PutLE32(word, target);
  XBSTATUS s = os::Seek(memo.fileNo, linkOffset);
  if (s == 0) s = os::Write(memo.fileNo, word, sizeof word, memo.flush != 0);
  return s;
}

}  // namespace

uint64_t BlocksFor(const DbtMemo& memo, uint64_t textLength) {
  return (textLength + kEntryHeader + memo.blockSize - 1) / memo.blockSize;
}

XBSTATUS TakeRun(DbtMemo& memo, uint32_t count, uint32_t* block) {
  const uint64_t bs = memo.blockSize;
  uint64_t linkOffset = 0;
  uint32_t current = memo.nextFree();
  // Every run holds at least one block of the file: more steps than blocks
  // means the chain loops.
  const uint64_t stepLimit = memo.fileLength / bs + 2;
  for (uint64_t step = 0; step <= stepLimit; ++step) {
    if (current == 0) return XB_FAIL(XB_E_FORMAT);
    if (AtEnd(memo, current)) {
      const uint64_t end = uint64_t{current} + count;
      if (end * bs > kFileLimit) return XB_FAIL(XB_E_SEEK);
      const XBSTATUS s = SetLink(memo, linkOffset, static_cast<uint32_t>(end));
      if (s != 0) return s;
      *block = current;
      return 0;
    }
    uint8_t words[8];
    XBSTATUS s = os::Seek(memo.fileNo, current * bs);
    if (s == 0) s = os::Read(memo.fileNo, words, sizeof words);
    if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
    if (s != 0) return s;
    const uint32_t next = GetLE32(words);
    const uint32_t size = GetLE32(words + 4);
    // Every block of a run starts inside the file.
    if (size == 0 || (uint64_t{current} + size - 1) * bs >= memo.fileLength) {
      return XB_FAIL(XB_E_FORMAT);
    }
    if (size >= count) {
      if (size == count) {
        s = SetLink(memo, linkOffset, next);
      } else {
        const uint32_t rest = current + count;
        s = WriteRunHeader(memo, rest, next, size - count);
        if (s == 0) s = SetLink(memo, linkOffset, rest);
      }
      if (s != 0) return s;
      *block = current;
      return 0;
    }
    linkOffset = current * bs;
    current = next;
  }
  return XB_FAIL(XB_E_FORMAT);
}

XBSTATUS FreeRun(DbtMemo& memo, uint32_t block, uint32_t count) {
  XBSTATUS s = WriteRunHeader(memo, block, memo.nextFree(), count);
  if (s != 0) return s;
  memo.setNextFree(block);
  return WriteNextFree(memo);
}

}  // namespace kv::xb::dbt
