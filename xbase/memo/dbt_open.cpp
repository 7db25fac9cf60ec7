// Creating, opening, closing and describing .DBT files.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/memo/dbt_file.h"
#include "xbase/memo/memo_handle.h"

using namespace kv::xb;
using namespace kv::xb::dbt;

namespace kv::xb::dbt {

bool VariantAccepted(uint16_t variant) {
  switch (variant) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
    case 66:
      return true;
    default:
      return false;
  }
}

uint32_t DbtMemo::nextFree() const {
  return GetLE32(header + kOffNextFree);
}
void DbtMemo::setNextFree(uint32_t block) {
  PutLE32(header + kOffNextFree, block);
}

DbtMemo* SelectMemo(XBHANDLE handle) {
  return SelectAs<DbtMemo>(handle, SlotType::DbtMemo);
}

XBSTATUS RereadHeader(DbtMemo& memo) {
  constexpr const char* kModule = "THGET";
  uint8_t word[4];
  XBSTATUS s = os::Seek(memo.fileNo, 0);
  if (s == 0) s = os::Read(memo.fileNo, word, sizeof word);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s == 0) s = os::Length(memo.fileNo, &memo.fileLength);
  if (s != 0) return s;
  std::memcpy(memo.header + kOffNextFree, word, sizeof word);
  return 0;
}

XBSTATUS WriteNextFree(DbtMemo& memo) {
  XBSTATUS s = os::Seek(memo.fileNo, 0);
  if (s == 0) s = os::Write(memo.fileNo, memo.header + kOffNextFree, 4, memo.flush != 0);
  return s;
}

}  // namespace kv::xb::dbt

namespace {

// The name field of the block-size layout: the first 8 characters of the
// path as given, up to its first '.', in upper case.
void PutName(uint8_t* field, const char* path) {
  for (size_t i = 0; i < 8 && path[i] != '\0' && path[i] != '.'; ++i) {
    field[i] = static_cast<uint8_t>(UpperAscii(path[i]));
  }
}

// The checks of the header read at open, in the order of their codes.
XBSTATUS CheckHeader(DbtMemo& memo) {
  constexpr const char* kModule = "TOPEN";
  if (!memo.blockLayout()) {
    memo.blockSize = kPlainBlockSize;
    return 0;
  }
  const uint16_t size = GetLE16(memo.header + kOffBlockSize);
  if (size < kMinBlockSize || size > kMaxBlockSize) return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  if (memo.header[kOffMark1] != 2 || memo.header[kOffMark2] != 1 ||
      GetLE16(memo.header + kOffReserved) != 0) {
    return XB_FAIL(XB_E_MEMO_HEADER);
  }
  memo.blockSize = size;
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDTCREATEX(const char* path, uint16_t blocks, uint16_t variant) {
  constexpr const char* kModule = "TCREATE";
  XB_ENTER();
  if (path == nullptr) return XB_FAIL(XB_E_NULL);
  if (blocks < 1 || blocks > 32) return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  // The variant is checked before the file is created: creating truncates,
  // and an existing memo file must not be emptied by a call that then fails.
  if (!VariantAccepted(variant)) return XB_FAIL(XB_E_FORMAT);
  const bool blockLayout = variant == kVariantBlockSize;
  const size_t blockSize = blockLayout ? size_t{blocks} * kPlainBlockSize : kPlainBlockSize;
  std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[blockSize + 1]());
  if (!bytes) return XB_FAIL(XB_E_MEMORY);
  PutLE32(bytes.get() + kOffNextFree, 1);
  if (blockLayout) {
    PutName(bytes.get() + kOffName, path);
    bytes[kOffMark1] = 2;
    bytes[kOffMark2] = 1;
    PutLE16(bytes.get() + kOffBlockSize, static_cast<uint16_t>(blockSize));
  }
  bytes[blockSize] = kEndMark;
  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, path);
  if (s != 0) return s;
  s = os::Write(fileNo, bytes.get(), blockSize + 1, true);
  const XBSTATUS closed = os::Close(fileNo);
  if (s != 0) return s;
  if (closed != 0) return closed;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDTCREATE(const char* path) {
  return XBDTCREATEX(path, 1, 1);
}

KV_API XBSTATUS KV_CALL XBDTOPENX(XBHANDLE* handle, const char* path, uint16_t mode) {
  constexpr const char* kModule = "TOPEN";
  XB_ENTER();
  if (handle == nullptr || path == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);
  if (path[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  if (std::strlen(path) > kMaxPath) return XB_FAIL(XB_E_OPEN);
  std::unique_ptr<DbtMemo> memo(new (std::nothrow) DbtMemo);
  if (!memo) return XB_FAIL(XB_E_MEMORY);
  if (mode & XB_OPEN_SHARED_PROD) mode |= XB_OPEN_PRODUCTION | XB_OPEN_SHARED;
  XBSTATUS s = os::Open(&memo->fileNo, path, mode, &memo->state);
  if (s != 0) return s;
  if (mode & XB_OPEN_PRODUCTION) memo->state |= kStateBit1;
  uint16_t variant = static_cast<uint16_t>(mode & 0xFF);
  if (variant == 0) variant = 1;
  memo->variant = variant;
  if (!VariantAccepted(variant)) s = XB_FAIL(XB_E_FORMAT);
  if (s == 0) s = os::Length(memo->fileNo, &memo->fileLength);
  if (s == 0 && memo->fileLength < kHeaderBytes) s = XB_FAIL(XB_E_MEMO_SHORT);
  if (s == 0) s = os::Seek(memo->fileNo, 0);
  if (s == 0) s = os::Read(memo->fileNo, memo->header, kHeaderBytes);
  if (s == XB_E_READ) s = XB_FAIL(XB_E_READ);
  if (s == 0) s = CheckHeader(*memo);
  if (s != 0) return kv::xb::memo::CloseAfterFailedOpen(memo->fileNo);
  std::strncpy(memo->path, path, kMaxPath);
  memo->flush = 1;
  table.Take(slot, SlotType::DbtMemo, std::move(memo), path);
  *handle = static_cast<XBHANDLE>(slot);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDTCLOSE(XBHANDLE handle) {
  constexpr const char* kModule = "TCLOSE";
  XB_ENTER();
  DbtMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  const XBSTATUS s = os::Close(memo->fileNo);
  if (s < 0) return s;
  Current().handles.Free(handle);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDTINFO(XBHANDLE handle, XBDBTINFO* info) {
  constexpr const char* kModule = "TINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  DbtMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  info->openFlags = kv::xb::memo::InfoFlags(memo->state);
  std::memcpy(info->path, memo->path, BoundedLength(memo->path, sizeof info->path - 1));
  info->variant = memo->variant;
  info->reserved = 0;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDTHGET(XBHANDLE handle) {
  constexpr const char* kModule = "THGET";
  XB_ENTER();
  DbtMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  const XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  return Status();
}
