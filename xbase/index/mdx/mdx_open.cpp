// Creating, opening, describing and closing MDX files.
#include <cstring>
#include <memory>
#include <new>

#include "platform/kernel/system.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/select.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/mdx/mdx_file.h"

using namespace kv::xb;
using namespace kv::xb::mdx;

namespace {

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
  return index::CloseIndexFile(file, handle, result);
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
  bytes[kOffProduction] = (mode & index::kModeProduction) ? 1 : 0;
  bytes[kOffMaxSlots] = kMaxSlotsMark;
  bytes[kOffSlotLength] = kSlotLengthMark;
  PutLE32(bytes + kOffNextBlock, kFirstTreeBlock);
  PutToday(bytes + kOffUpdated);
  return index::WriteNewFile(name, bytes, sizeof bytes);
}

KV_API XBSTATUS KV_CALL XBDMCREATE(const char* name, uint16_t units) {
  return XBDMCREATEX(name, units, index::kModeProduction);
}

KV_API XBSTATUS KV_CALL XBDMOPENX(XBHANDLE* handle, const char* name, uint16_t mode) {
  constexpr const char* kModule = "MOPEN";
  XB_ENTER();
  auto read = [](MdxFile& file, uint64_t* length) {
    XBSTATUS s = index::ReadHeaderBytes(kModule, file.fileNo, 0, file.header, kUnit);
    if (s == 0) s = index::ReadHeaderBytes(kModule, file.fileNo, kUnit, file.table, kTableBytes);
    if (s == 0) s = CheckHeader(file);
    if (s == 0) s = os::Length(file.fileNo, length);
    return s;
  };
  auto finish = [](MdxFile& file, uint64_t length) {
    for (int i = 1; i <= file.tagCount; ++i) LoadSlot(file, i);
    file.pages.pageSize = file.blockBytes;
    file.pages.unitSize = kUnit;
    file.pages.firstPage = kFirstTreeBlock;
    return length == uint64_t{file.pages.endPage} * kUnit;
  };
  return index::OpenIndexFile<MdxFile>(kModule, SlotType::Mdx, handle, name, mode, read, finish);
}

KV_INDEX_CALL(XBDMCLOSE, "MCLOSE", (XBHANDLE handle), CloseFile(handle))

KV_INDEX_CALL(XBDMINFO, "MINFO", (XBHANDLE handle, XBMDXINFO* info),
              index::GiveFileInfo(kModule, handle, info, SelectFile,
                                  [](const MdxFile& file, XBMDXINFO* out) {
                                    out->tagCount = file.tagCount;
                                  }))
