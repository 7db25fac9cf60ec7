// Creating, opening, describing and closing MDX files.
#include <cstring>
#include <memory>
#include <new>

#include "platform/kernel/system.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/mdx/mdx_file.h"

using namespace kv::xb;
using namespace kv::xb::mdx;

namespace {

constexpr uint16_t kModeProduction = 0x0200;
constexpr uint16_t kModeSharedProduction = 0x0800;
constexpr uint16_t kModeProductionBits = 0x0600;
constexpr uint8_t kVersion = 2;
constexpr uint8_t kMaxSlotsMark = 48;  // '0'
constexpr uint8_t kSlotLengthMark = 32;
constexpr int kMaxBaseName = 8;

void PutToday(uint8_t* at) {
  kvp::SYSTEMTIME now{};
  kvp::GetLocalTime(&now);
  at[0] = static_cast<uint8_t>(now.wYear - 1900);
  at[1] = static_cast<uint8_t>(now.wMonth);
  at[2] = static_cast<uint8_t>(now.wDay);
}

// The file name without folders and extension.
void BaseName(const char* path, const char** start, size_t* length) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '/' || *p == '\\' || *p == ':') base = p + 1;
  }
  const char* dot = std::strrchr(base, '.');
  *start = base;
  *length = dot != nullptr ? static_cast<size_t>(dot - base) : std::strlen(base);
}

// Header checks of an open, in the order of their codes. Every year byte is
// accepted: files written since 2020 carry 120 and more.
XBSTATUS CheckHeader(MdxFile& file) {
  constexpr const char* kModule = "MOPEN";
  const uint8_t* h = file.header;
  if (h[kOffVersion] != kVersion) return XB_FAIL(XB_E_FORMAT);
  const uint8_t month = h[kOffCreated + 1];
  const uint8_t day = h[kOffCreated + 2];
  if (month < 1 || month > 12 || day < 1 || day > 31) return XB_FAIL(kBadDate);
  const uint16_t units = GetLE16(h + kOffUnits);
  if (units < 1 || units > kMaxUnits) return XB_FAIL(kBadUnits);
  if (GetLE16(h + kOffBlockBytes) != units * kUnit) return XB_FAIL(kBadBlockBytes);
  if (h[kOffMaxSlots] != kMaxSlotsMark) return XB_FAIL(kBadMaxSlots);
  if (h[kOffSlotLength] != kSlotLengthMark) return XB_FAIL(kBadSlotLength);
  const uint16_t tags = GetLE16(h + kOffTagCount);
  if (tags >= kSlots) return XB_FAIL(kBadTagCount);
  const uint32_t next = GetLE32(h + kOffNextBlock);
  if (next < kFirstTreeBlock) return XB_FAIL(XB_E_HEADER_LENGTH);
  file.units = units;
  file.blockBytes = units * kUnit;
  file.tagCount = tags;
  file.pages.endPage = next;
  return 0;
}

}  // namespace

namespace kv::xb::mdx {

MdxFile* SelectFile(XBHANDLE handle) {
  MdxFile* file = SelectAs<MdxFile>(handle, SlotType::Mdx);
  if (file != nullptr) {
    file->pages.fileNo = file->fileNo;
    file->pages.readOnly = file->readOnly();
  }
  return file;
}

void LoadSlot(MdxFile& file, int slot) {
  const uint8_t* s = file.table + slot * kSlotBytes;
  TagEntry& e = file.tags[slot];
  e.headerBlock = GetLE32(s + kSlotHeaderBlock);
  std::memset(e.name, 0, sizeof e.name);
  // The name field may lack its NUL in a damaged file: 10 characters at most.
  std::memcpy(e.name, s + kSlotName,
              BoundedLength(reinterpret_cast<const char*>(s + kSlotName), kMaxTagName));
  e.next = s[kSlotNext];
  e.previous = s[kSlotPrevious];
  e.keyType = static_cast<char>(s[kSlotKeyType]);
}

void StoreSlot(MdxFile& file, int slot) {
  uint8_t* s = file.table + slot * kSlotBytes;
  const TagEntry& e = file.tags[slot];
  std::memset(s, 0, kSlotBytes);
  PutLE32(s + kSlotHeaderBlock, e.headerBlock);
  std::memcpy(s + kSlotName, e.name, std::strlen(e.name));
  s[kSlotNext] = e.next;
  s[kSlotPrevious] = e.previous;
  s[kSlotMarker] = 2;
  s[kSlotKeyType] = static_cast<uint8_t>(e.keyType);
}

XBSTATUS WriteTable(MdxFile& file) {
  PutLE16(file.header + kOffTagCount, file.tagCount);
  PutToday(file.header + kOffUpdated);
  XBSTATUS s = os::Seek(file.fileNo, kUnit);
  if (s == 0) s = os::Write(file.fileNo, file.table, kTableBytes, file.pages.flush);
  if (s == 0) s = os::Seek(file.fileNo, kOffTagCount);
  if (s == 0) s = os::Write(file.fileNo, file.header + kOffTagCount, 2, file.pages.flush);
  if (s == 0) s = os::Seek(file.fileNo, kOffUpdated);
  if (s == 0) s = os::Write(file.fileNo, file.header + kOffUpdated, 3, file.pages.flush);
  return s;
}

XBSTATUS CloseFile(XBHANDLE handle) {
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  XBSTATUS result = 0;
  for (int slot = 1; slot < kSlots; ++slot) {
    if (!file->tags[slot].inUse) continue;
    const XBSTATUS s = CloseTag(*file, slot);
    if (s < 0 && result == 0) result = s;
  }
  const XBSTATUS s = os::Close(file->fileNo);
  if (s < 0) return s;
  Current().handles.Free(handle);
  return result < 0 ? result : Status();
}

}  // namespace kv::xb::mdx

KV_API XBSTATUS KV_CALL XBDMCREATEX(const char* name, uint16_t units, uint16_t mode) {
  constexpr const char* kModule = "MCREATE";
  XB_ENTER();
  if (name == nullptr) return XB_FAIL(XB_E_NULL);
  if (units < 1 || units > kMaxUnits) return XB_FAIL(kBadUnits);
  const char* base = nullptr;
  size_t baseLength = 0;
  BaseName(name, &base, &baseLength);
  if (baseLength > kMaxBaseName || name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  uint8_t bytes[kUnit + kTableBytes] = {};
  bytes[kOffVersion] = kVersion;
  PutToday(bytes + kOffCreated);
  for (size_t i = 0; i < baseLength; ++i) bytes[kOffBaseName + i] = UpperAscii(base[i]);
  PutLE16(bytes + kOffUnits, units);
  PutLE16(bytes + kOffBlockBytes, static_cast<uint16_t>(units * kUnit));
  bytes[kOffProduction] = (mode & kModeProduction) ? 1 : 0;
  bytes[kOffMaxSlots] = kMaxSlotsMark;
  bytes[kOffSlotLength] = kSlotLengthMark;
  PutLE32(bytes + kOffNextBlock, kFirstTreeBlock);
  PutToday(bytes + kOffUpdated);
  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, name);
  if (s != 0) return s;
  s = os::Write(fileNo, bytes, sizeof bytes, true);
  const XBSTATUS closed = os::Close(fileNo);
  if (s != 0) return s;
  if (closed != 0) return closed;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMCREATE(const char* name, uint16_t units) {
  return XBDMCREATEX(name, units, kModeProduction);
}

KV_API XBSTATUS KV_CALL XBDMOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "MOPEN";
  XB_ENTER();
  if (handle == nullptr || name == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);
  if (mode & kModeSharedProduction) {
    mode |= kModeProductionBits;
    if (mode & os::kModeReadOnly) mode &= ~kModeSharedProduction;
  }
  if (name[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  if (std::strlen(name) > kMaxPath) return XB_FAIL(XB_E_OPEN);
  std::unique_ptr<MdxFile> file(new (std::nothrow) MdxFile);
  if (!file) return XB_FAIL(XB_E_MEMORY);
  XBSTATUS s = os::Open(&file->fileNo, name, mode, &file->state);
  if (s != 0) return s;
  if (mode & kModeProduction) file->state |= kStateBit1;
  // The header is checked whatever the mode's low byte: the tree code
  // relies on every value checked here.
  s = os::Seek(file->fileNo, 0);
  if (s == 0) s = os::Read(file->fileNo, file->header, kUnit);
  if (s == 0) s = os::Read(file->fileNo, file->table, kTableBytes);
  if (s == XB_E_READ) s = XB_FAIL(XB_E_READ);
  if (s == 0) s = CheckHeader(*file);
  uint64_t length = 0;
  if (s == 0) s = os::Length(file->fileNo, &length);
  if (s != 0) {
    const XBSTATUS failure = Status();
    os::Close(file->fileNo);
    Current().status = failure;
    return failure;
  }
  for (int i = 1; i <= file->tagCount; ++i) LoadSlot(*file, i);
  std::strncpy(file->fileName, name, kMaxPath);
  file->pages.fileNo = file->fileNo;
  file->pages.readOnly = file->readOnly();
  file->pages.pageSize = file->blockBytes;
  file->pages.unitSize = kUnit;
  file->pages.firstPage = kFirstTreeBlock;
  const bool sizeMatches = length == uint64_t{file->pages.endPage} * kUnit;
  table.Take(slot, SlotType::Mdx, std::move(file), name);
  *handle = static_cast<XBHANDLE>(slot);
  if (!sizeMatches) return SetState(XB_BAD_LENGTH);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMCLOSE(XBHANDLE handle) {
  constexpr const char* kModule = "MCLOSE";
  XB_ENTER();
  return CloseFile(handle);
}

KV_API XBSTATUS KV_CALL XBDMINFO(XBHANDLE handle, XBMDXINFO* info) {
  constexpr const char* kModule = "MINFO";
  XB_ENTER();
  if (info == nullptr) return XB_FAIL(XB_E_NULL);
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  std::memset(info, 0, sizeof *info);
  info->tagCount = file->tagCount;
  // Bit 0 read-only; bits 1 and 2 from the open, as the NDX family gives them.
  info->openFlags = static_cast<uint16_t>((file->readOnly() ? 1 : 0) |
                                          (file->state & (kStateBit1 | kStateShared)));
  std::memcpy(info->fileName, file->fileName,
              BoundedLength(file->fileName, sizeof info->fileName - 1));
  info->lockState = file->lockState;
  return Status();
}
