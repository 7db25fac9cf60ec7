// How each memo layout is read and written by the pack: the plain and the
// block-size layouts of the dBASE memo file and the FoxPro memo file.
//
// The copy reads with the same rules and limits as the memo readers: a
// block number outside the file (FoxPro: not below the next free block)
// gives -4, a plain text without end marker -6, one longer than 128 blocks
// -29, a block-size entry shorter than its own 8-byte header -18, an entry
// running past the end of the file -2; nothing is allocated beyond what the
// file holds.
#include <cstring>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/memo/memo_pack.h"

namespace kv::xb::memo {
namespace {

constexpr const char* kModule = "MPACK";

constexpr uint32_t kPlainBlock = 512;
constexpr uint32_t kPlainMaxBlocks = 128;
constexpr uint8_t kEndMarker = 0x1A;
constexpr uint32_t kEntryHeader = 8;
constexpr uint8_t kBlockEntryMark[4] = {0xFF, 0xFF, 0x08, 0x00};

XBSTATUS ReadHeaderBytes(int fileNo, uint8_t* bytes, size_t count, MemoGeometry* geometry) {
  XBSTATUS s = os::Length(fileNo, &geometry->length);
  if (s == 0) s = os::Seek(fileNo, 0);
  if (s == 0) s = os::Read(fileNo, bytes, count);
  return s;
}

// The block must lie in the file (FoxPro: below the next free block).
XBSTATUS SeekBlock(int fileNo, const MemoGeometry& geometry, uint32_t block) {
  const uint64_t at = uint64_t{block} * geometry.blockSize;
  if (block < 1 || at >= geometry.length) return XB_FAIL(XB_E_SEEK);
  return os::Seek(fileNo, at);
}

// Reads an entry's text of `length` bytes that starts `at` bytes into the
// file; the length is checked against the file before anything is
// allocated.
XBSTATUS ReadText(int fileNo, const MemoGeometry& geometry, uint64_t at, uint64_t length,
                  MemoText* memo) {
  if (at + length > geometry.length) return XB_FAIL(XB_E_READ);
  memo->bytes.resize(static_cast<size_t>(length));
  if (length == 0) return 0;
  return os::Read(fileNo, memo->bytes.data(), memo->bytes.size());
}

void Pad(std::vector<uint8_t>* out, size_t start, uint64_t blocks, uint32_t blockSize) {
  out->resize(start + static_cast<size_t>(blocks * blockSize), 0);
}

// ---- dBASE, plain layout ---------------------------------------------------

XBSTATUS PlainGeometry(int fileNo, MemoGeometry* geometry) {
  uint8_t header[24];
  XBSTATUS s = ReadHeaderBytes(fileNo, header, sizeof header, geometry);
  geometry->blockSize = kPlainBlock;
  geometry->nextFree = GetLE32(header);
  std::memcpy(geometry->name, header + 8, sizeof geometry->name);
  return s;
}

XBSTATUS PlainRead(int fileNo, const MemoGeometry& geometry, uint32_t block, MemoText* memo) {
  XBSTATUS s = SeekBlock(fileNo, geometry, block);
  if (s != 0) return s;
  memo->type = 1;
  memo->bytes.clear();
  for (uint32_t n = 0; n < kPlainMaxBlocks; ++n) {
    const size_t start = memo->bytes.size();
    memo->bytes.resize(start + kPlainBlock);
    size_t done = 0;
    if ((s = os::ReadSome(fileNo, memo->bytes.data() + start, kPlainBlock, &done)) != 0) return s;
    memo->bytes.resize(start + done);
    const void* end = std::memchr(memo->bytes.data() + start, kEndMarker, done);
    if (end != nullptr) {
      memo->bytes.resize(
          static_cast<size_t>(static_cast<const uint8_t*>(end) - memo->bytes.data()));
      return 0;
    }
    if (done < kPlainBlock) return XB_FAIL(XB_E_MEMO_END);
  }
  return XB_FAIL(XB_E_MEMO_TOO_LONG);
}

uint32_t PlainAppend(const MemoGeometry&, const MemoText& memo, std::vector<uint8_t>* out) {
  const size_t start = out->size();
  out->insert(out->end(), memo.bytes.begin(), memo.bytes.end());
  out->push_back(kEndMarker);
  out->push_back(kEndMarker);
  // As a new memo advances the next free block: (n + 2) / 512 + 1.
  const uint32_t blocks = static_cast<uint32_t>((memo.bytes.size() + 2) / kPlainBlock + 1);
  Pad(out, start, blocks, kPlainBlock);
  return blocks;
}

void LittleEndianWord(uint32_t value, uint8_t bytes[4]) {
  PutLE32(bytes, value);
}

// ---- dBASE, block-size layout ----------------------------------------------

XBSTATUS BlockGeometry(int fileNo, MemoGeometry* geometry) {
  uint8_t header[24];
  XBSTATUS s = ReadHeaderBytes(fileNo, header, sizeof header, geometry);
  if (s != 0) return s;
  geometry->nextFree = GetLE32(header);
  geometry->blockSize = GetLE16(header + 20);
  std::memcpy(geometry->name, header + 8, sizeof geometry->name);
  if (geometry->blockSize < 512 || geometry->blockSize > 16384)
    return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  return 0;
}

XBSTATUS BlockRead(int fileNo, const MemoGeometry& geometry, uint32_t block, MemoText* memo) {
  XBSTATUS s = SeekBlock(fileNo, geometry, block);
  uint8_t entry[kEntryHeader];
  if (s == 0) s = os::Read(fileNo, entry, sizeof entry);
  if (s != 0) return s;
  memo->type = 1;
  const uint32_t length = GetLE32(entry + 4);
  if (length < kEntryHeader) return XB_FAIL(XB_E_FORMAT);
  return ReadText(fileNo, geometry, uint64_t{block} * geometry.blockSize + kEntryHeader,
                  length - kEntryHeader, memo);
}

uint32_t BlockAppend(const MemoGeometry& geometry, const MemoText& memo,
                     std::vector<uint8_t>* out) {
  const size_t start = out->size();
  uint8_t entry[kEntryHeader];
  std::memcpy(entry, kBlockEntryMark, 4);
  PutLE32(entry + 4, static_cast<uint32_t>(memo.bytes.size() + kEntryHeader));
  out->insert(out->end(), entry, entry + kEntryHeader);
  out->insert(out->end(), memo.bytes.begin(), memo.bytes.end());
  const uint64_t used = memo.bytes.size() + kEntryHeader;
  const uint32_t blocks =
      static_cast<uint32_t>((used + geometry.blockSize - 1) / geometry.blockSize);
  Pad(out, start, blocks, geometry.blockSize);
  return blocks;
}

// ---- FoxPro ----------------------------------------------------------------

XBSTATUS FoxGeometry(int fileNo, MemoGeometry* geometry) {
  uint8_t header[8];
  XBSTATUS s = ReadHeaderBytes(fileNo, header, sizeof header, geometry);
  if (s != 0) return s;
  geometry->nextFree = GetBE32(header);
  geometry->blockSize = GetBE32(header + 4);
  if (geometry->blockSize < 33 || geometry->blockSize > 16384) return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  return 0;
}

XBSTATUS FoxRead(int fileNo, const MemoGeometry& geometry, uint32_t block, MemoText* memo) {
  if (block >= geometry.nextFree) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = SeekBlock(fileNo, geometry, block);
  uint8_t entry[kEntryHeader];
  if (s == 0) s = os::Read(fileNo, entry, sizeof entry);
  if (s != 0) return s;
  memo->type = GetBE32(entry);
  return ReadText(fileNo, geometry, uint64_t{block} * geometry.blockSize + kEntryHeader,
                  GetBE32(entry + 4), memo);
}

uint32_t FoxAppend(const MemoGeometry& geometry, const MemoText& memo, std::vector<uint8_t>* out) {
  const size_t start = out->size();
  uint8_t entry[kEntryHeader];
  PutBE32(entry, memo.type);
  PutBE32(entry + 4, static_cast<uint32_t>(memo.bytes.size()));
  out->insert(out->end(), entry, entry + kEntryHeader);
  out->insert(out->end(), memo.bytes.begin(), memo.bytes.end());
  const uint64_t used = memo.bytes.size() + kEntryHeader;
  const uint32_t blocks =
      static_cast<uint32_t>((used + geometry.blockSize - 1) / geometry.blockSize);
  Pad(out, start, blocks, geometry.blockSize);
  return blocks;
}

void BigEndianWord(uint32_t value, uint8_t bytes[4]) {
  PutBE32(bytes, value);
}

}  // namespace

const MemoLayoutParts kPlainDbtParts = {PlainGeometry, PlainRead, PlainAppend, LittleEndianWord};
const MemoLayoutParts kBlockDbtParts = {BlockGeometry, BlockRead, BlockAppend, LittleEndianWord};
const MemoLayoutParts kFptParts = {FoxGeometry, FoxRead, FoxAppend, BigEndianWord};

}  // namespace kv::xb::memo
