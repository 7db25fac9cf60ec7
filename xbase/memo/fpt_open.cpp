// Creating, opening, closing and describing .FPT files.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/memo/fpt_file.h"
#include "xbase/memo/memo_handle.h"

using namespace kv::xb;
using namespace kv::xb::fpt;

namespace kv::xb::fpt {

FptMemo* SelectMemo(XBHANDLE handle) {
  return SelectAs<FptMemo>(handle, SlotType::FptMemo);
}

XBSTATUS RereadHeader(FptMemo& memo) {
  constexpr const char* kModule = "WHGET";
  uint8_t words[8];
  XBSTATUS s = os::Seek(memo.fileNo, 0);
  if (s == 0) s = os::Read(memo.fileNo, words, sizeof words);
  if (s == XB_E_READ) return XB_FAIL(XB_E_READ);
  if (s == 0) s = os::Length(memo.fileNo, &memo.fileLength);
  if (s != 0) return s;
  const uint32_t blockSize = GetBE32(words + 4);
  if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize) {
    return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  }
  memo.nextFree = GetBE32(words);
  memo.blockSize = blockSize;
  return 0;
}

}  // namespace kv::xb::fpt

KV_API XBSTATUS KV_CALL XBDWCREATE(const char* path, uint16_t size) {
  constexpr const char* kModule = "WCREATE";
  XB_ENTER();
  if (path == nullptr) return XB_FAIL(XB_E_NULL);
  if (size < 1 || size > 511) return XB_FAIL(XB_E_MEMO_BLOCK_SIZE);
  const uint32_t blockSize = size <= 32 ? uint32_t{size} * 512 : size;
  const uint32_t nextFree = (blockSize + kHeaderArea - 1) / blockSize;
  uint8_t words[8];
  PutBE32(words, nextFree);
  PutBE32(words + 4, blockSize);
  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, path);
  if (s != 0) return s;
  s = os::Write(fileNo, words, sizeof words, true);
  if (s == 0) s = os::SetLength(fileNo, nextFree * blockSize);
  const XBSTATUS closed = os::Close(fileNo);
  if (s != 0) return s;
  if (closed != 0) return closed;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDWOPENX(XBHANDLE* handle, const char* path, uint16_t mode) {
  constexpr const char* kModule = "WOPEN";
  XB_ENTER();
  if (handle == nullptr || path == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);
  const uint16_t variant = mode & 0xFF;
  if (variant != 0 && variant != 4) return XB_FAIL(XB_E_FORMAT);
  if (path[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  if (std::strlen(path) > kMaxPath) return XB_FAIL(XB_E_OPEN);
  std::unique_ptr<FptMemo> memo(new (std::nothrow) FptMemo);
  if (!memo) return XB_FAIL(XB_E_MEMORY);
  if (mode & XB_OPEN_SHARED_PROD) mode |= XB_OPEN_PRODUCTION | XB_OPEN_SHARED;
  XBSTATUS s = os::Open(&memo->fileNo, path, mode, &memo->state);
  if (s != 0) return s;
  if (mode & XB_OPEN_PRODUCTION) memo->state |= kStateBit1;
  uint64_t length = 0;
  s = os::Length(memo->fileNo, &length);
  if (s == 0 && length < kHeaderArea) s = XB_FAIL(XB_E_MEMO_SHORT);
  if (s == 0) s = RereadHeader(*memo);
  if (s != 0) return kv::xb::memo::CloseAfterFailedOpen(memo->fileNo);
  std::strncpy(memo->path, path, kMaxPath);
  memo->flush = 1;
  table.Take(slot, SlotType::FptMemo, std::move(memo), path);
  *handle = static_cast<XBHANDLE>(slot);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDWCLOSE(XBHANDLE handle) {
  constexpr const char* kModule = "WCLOSE";
  XB_ENTER();
  FptMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  const XBSTATUS s = os::Close(memo->fileNo);
  if (s < 0) return s;
  Current().handles.Free(handle);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDWINFO(XBHANDLE handle, XBFPTINFO* info) {
  constexpr const char* kModule = "WINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  FptMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  info->openFlags = kv::xb::memo::InfoFlags(memo->state);
  std::memcpy(info->path, memo->path, BoundedLength(memo->path, sizeof info->path - 1));
  info->reserved = 0;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDWHGET(XBHANDLE handle) {
  constexpr const char* kModule = "WHGET";
  XB_ENTER();
  FptMemo* memo = SelectMemo(handle);
  if (memo == nullptr) return Status();
  const XBSTATUS s = RereadHeader(*memo);
  if (s != 0) return s;
  return Status();
}
