// Blocks of an MDX file: allocation from the free list or the end of the
// file, and freeing onto the list. The list's head, its length and the next
// unused block live in the file header and are rewritten at once, so that
// every process sees the same list.
#include <cstring>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/mdx/mdx_tree.h"

namespace kv::xb::mdx {
namespace {

constexpr const char* kModule = "MPPUT";

XBSTATUS WriteFreeWords(MdxFile& file, uint32_t head, uint32_t count) {
  uint8_t words[8];
  PutLE32(words, head);
  PutLE32(words + 4, count);
  XBSTATUS s = os::Seek(file.fileNo, kOffFreeHead);
  if (s == 0) s = os::Write(file.fileNo, words, sizeof words, file.pages.flush);
  if (s != 0) return s;
  std::memcpy(file.header + kOffFreeHead, words, sizeof words);
  return 0;
}

bool BlockInFile(const MdxFile& file, uint32_t block) {
  return block >= kFirstTreeBlock && block < file.nextBlock() &&
         uint64_t{block} + file.units <= file.nextBlock();
}

}  // namespace

XBSTATUS RereadFileHeader(MdxFile& file) {
  uint32_t words[3] = {};
  const XBSTATUS s = index::ReadHeaderWords(file.fileNo, kOffNextBlock, words, 3);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  // Another writer may have damaged the header since the open.
  if (words[0] < kFirstTreeBlock) return XB_FAIL(XB_E_HEADER_LENGTH);
  PutLE32(file.header + kOffNextBlock, words[0]);
  PutLE32(file.header + kOffFreeHead, words[1]);
  PutLE32(file.header + kOffFreeCount, words[2]);
  file.pages.endPage = words[0];
  file.pages.fileNo = file.fileNo;
  file.pages.readOnly = file.readOnly();
  return 0;
}

XBSTATUS TakeBlock(MdxFile& file, uint32_t* block) {
  if (file.readOnly()) return XB_FAIL(XB_E_READONLY);
  const uint32_t head = GetLE32(file.header + kOffFreeHead);
  const uint32_t count = GetLE32(file.header + kOffFreeCount);
  XBSTATUS s = 0;
  if (head != 0 && BlockInFile(file, head)) {
    uint8_t first[8];
    s = os::Seek(file.fileNo, uint64_t{head} * kUnit);
    if (s == 0) s = os::Read(file.fileNo, first, sizeof first);
    if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
    uint32_t next = GetLE32(first + 4);
    uint32_t left = count > 0 ? count - 1 : 0;
    // A link out of the file or back to itself ends the list rather than
    // handing out a block twice.
    if (next != 0 && (next == head || !BlockInFile(file, next))) {
      next = 0;
      left = 0;
    }
    if ((s = WriteFreeWords(file, next, left)) != 0) return s;
    *block = head;
    return 0;
  }
  if (head != 0 && (s = WriteFreeWords(file, 0, 0)) != 0) return s;
  const uint32_t taken = file.nextBlock();
  const uint64_t next = uint64_t{taken} + file.units;
  if (next * kUnit > 0xFFFFFFFFu) return XB_FAIL(XB_E_WRITE);
  if ((s = os::SetLength(file.fileNo, static_cast<uint32_t>(next * kUnit))) != 0) return s;
  if ((s = index::WriteHeaderWord(file.fileNo, kOffNextBlock, static_cast<uint32_t>(next),
                                  file.pages.flush)) != 0) {
    return s;
  }
  file.pages.endPage = static_cast<uint32_t>(next);
  PutLE32(file.header + kOffNextBlock, file.pages.endPage);
  *block = taken;
  return 0;
}

XBSTATUS AllocateBlock(MdxFile& file, index::PageCache& cache, uint32_t* block, uint8_t** data) {
  uint32_t taken = 0;
  XBSTATUS s = TakeBlock(file, &taken);
  if (s != 0) return s;
  if ((s = cache.Fresh(file.pages, taken, data)) != 0) return s;
  *block = taken;
  return 0;
}

XBSTATUS FreeBlock(MdxFile& file, uint32_t block) {
  if (file.readOnly()) return XB_FAIL(XB_E_READONLY);
  if (!BlockInFile(file, block)) return XB_FAIL(XB_E_SEEK);
  const uint32_t head = GetLE32(file.header + kOffFreeHead);
  const uint32_t count = GetLE32(file.header + kOffFreeCount);
  uint8_t first[8];
  PutLE32(first, 0);
  PutLE32(first + 4, head);
  XBSTATUS s = os::Seek(file.fileNo, uint64_t{block} * kUnit);
  if (s == 0) s = os::Write(file.fileNo, first, sizeof first, file.pages.flush);
  if (s != 0) return s;
  return WriteFreeWords(file, block, count + 1);
}

}  // namespace kv::xb::mdx
