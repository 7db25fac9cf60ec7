// Opening a data file: the header and descriptor checks of every variant.
#include <cstring>
#include <memory>
#include <new>

#include "xbase/dbf/data_file.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/number_text.h"
#include "xbase/frame/text.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DOPEN";

constexpr uint16_t kModeProduction = 0x0200;
constexpr uint16_t kModeSharedProduction = 0x0800;
constexpr uint16_t kInitialLockCapacity = 64;

bool VersionAccepted(int variant, uint8_t version) {
  switch (variant) {
    case 2:
      return version == kVersionPlain || version == kVersionDbaseMemo ||
             version == kVersionDbase4Memo;
    case 4:
    case 8:
      return version == kVersionPlain || version == kVersionFoxMemo;
    default:
      return version == kVersionPlain || version == kVersionDbaseMemo;
  }
}

// The largest value of an 'F' or 'N' field: as many '9' as the length, with
// a '.' in place of the digit before the decimals.
double LargestValue(uint16_t length, uint8_t decimals) {
  char text[256 + 1];
  const size_t n = length < 256 ? length : 256;
  std::memset(text, '9', n);
  text[n] = '\0';
  if (decimals > 0 && decimals < n) text[n - decimals - 1] = '.';
  return ParseDecimal(text, n);
}

// Checks the descriptors and fills the field table; returns the status.
XBSTATUS CheckDescriptors(DataFile& file, const uint8_t* descriptors) {
  const uint8_t version = file.header[kOffVersion];
  uint32_t running = 1;  // the deletion flag
  for (uint16_t i = 0; i < file.fieldCount; ++i) {
    FieldInfo& f = file.fields()[i];
    std::memcpy(f.descriptor, descriptors + i * kDescriptorSize, kDescriptorSize);
    const size_t nameLength =
        BoundedLength(reinterpret_cast<const char*>(f.descriptor), kNameBytes);
    if (nameLength < 1) return XB_FAIL(XB_E_FIELD_NAME);
    // The name area is 11 bytes and an 11-character name has no NUL: what
    // follows a shorter name is cleared, and the name is kept NUL-terminated
    // beside the descriptor.
    std::memset(f.descriptor + nameLength, 0, kNameBytes - nameLength);
    for (size_t c = 0; c < nameLength; ++c) {
      f.descriptor[c] = static_cast<uint8_t>(UpperAscii(static_cast<char>(f.descriptor[c])));
    }
    std::memcpy(f.fieldName, f.descriptor, kNameBytes);
    f.fieldName[kNameBytes] = '\0';
    f.descriptor[kOffFieldType] =
        static_cast<uint8_t>(UpperAscii(static_cast<char>(f.descriptor[kOffFieldType])));
    const uint8_t lengthByte = f.descriptor[kOffFieldLength];
    const uint8_t decimalByte = f.descriptor[kOffFieldDecimals];
    f.length = lengthByte;
    f.largest = 0;
    switch (f.type()) {
      case 'C':
        f.length = static_cast<uint16_t>(lengthByte + 256 * decimalByte);
        break;
      case 'F':
      case 'N':
        f.largest = LargestValue(f.length, decimalByte);
        break;
      case 'M': {
        const int variant = file.baseVariant();
        const bool fox = variant == 4 || variant == 8;
        if (fox ? version != kVersionFoxMemo : version < 0x80) return XB_FAIL(XB_E_FORMAT);
        file.variant |= kVariantMemoBit;
        break;
      }
      case 'D':
      case 'L':
        break;
      default:
        return XB_FAIL(XB_E_FIELD_TYPE);
    }
    if (running > 0xFFFF) return XB_FAIL(XB_E_RECORD_LENGTH);
    f.offset = static_cast<uint16_t>(running);
    running += f.length;
    if (f.length > file.longestField) file.longestField = f.length;
  }
  if (running != file.recordLength) return XB_FAIL(XB_E_RECORD_LENGTH);
  return 0;
}

// Everything after the file is open: header, descriptors, buffers.
XBSTATUS ReadStructure(DataFile& file) {
  XBSTATUS s = os::Read(file.fileNo, file.header, kHeaderSize);
  if (s != 0) return s;
  if (!VersionAccepted(file.baseVariant(), file.header[kOffVersion])) return XB_FAIL(XB_E_FORMAT);
  file.recordCount = GetLE32(file.header + kOffRecordCount);
  file.headerLength = GetLE16(file.header + kOffHeaderLength);
  file.recordLength = GetLE16(file.header + kOffRecordLength);
  if (file.headerLength % 32 > 2 || file.headerLength < kHeaderSize)
    return XB_FAIL(XB_E_HEADER_LENGTH);
  const int variant = file.baseVariant();
  if ((variant == 2 || variant == 8) && file.header[kOffProduction] > 1)
    return XB_FAIL(XB_E_PRODUCTION_FLAG);

  int count = (file.headerLength - kHeaderSize) / kDescriptorSize;
  MemoryBlock descriptors;
  if (count > 0) {
    if ((s = descriptors.Allocate(size_t(count) * kDescriptorSize)) != 0) return s;
    if ((s = os::Read(file.fileNo, descriptors.data(), descriptors.size())) != 0) return s;
    if (descriptors.data()[(count - 1) * kDescriptorSize] == kTerminator) {
      --count;
      file.variant = static_cast<uint16_t>((file.variant & kVariantMemoBit) | kVariant9);
    }
  }
  file.fieldCount = static_cast<uint16_t>(count);
  if ((s = file.fieldTable.Allocate(sizeof(FieldInfo) * (count > 0 ? count : 1))) != 0) return s;
  if ((s = CheckDescriptors(file, descriptors.data())) != 0) return s;

  if ((s = file.record.Allocate(file.recordLength)) != 0) return s;
  std::memset(file.record.data(), ' ', file.recordLength);
  if ((s = file.lockList.Allocate(sizeof(uint32_t) * kInitialLockCapacity)) != 0) return s;
  file.lockCapacity = kInitialLockCapacity;
  return 0;
}

// A file whose length does not match its header stays open with +7; one
// end byte or one record length of end bytes more is the normal end.
bool LengthMatches(DataFile& file) {
  uint64_t length = 0;
  if (os::Length(file.fileNo, &length) != 0) return false;
  const uint64_t expected =
      uint64_t{file.headerLength} + uint64_t{file.recordCount} * file.recordLength;
  return length == expected || length == expected + 1 || length == expected + file.recordLength;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDDOPENX(XBHANDLE* handle, const char* path, uint16_t mode) {
  XB_ENTER();
  if (handle == nullptr || path == nullptr) return XB_FAIL(XB_E_NULL);
  *handle = XB_NO_HANDLE;
  HandleTable& table = Current().handles;
  const int slot = table.FindFree();
  if (slot < 0) return XB_FAIL(XB_E_NO_HANDLE);

  if (mode & kModeSharedProduction) {
    mode |= kModeProduction | os::kModeShared;
    if (mode & os::kModeReadOnly) mode &= ~kModeSharedProduction;
  }
  int variant = mode & 0xFF;
  if (variant == 0) variant = 1;
  if (variant >= 10) return XB_FAIL(XB_E_ARGUMENT);
  if (path[0] == '\0') return XB_FAIL(XB_E_EMPTY_NAME);
  if (std::strlen(path) > kMaxPath) return XB_FAIL(XB_E_OPEN);

  std::unique_ptr<DataFile> file(new (std::nothrow) DataFile);
  if (!file) return XB_FAIL(XB_E_MEMORY);
  file->variant = static_cast<uint16_t>(variant);
  XBSTATUS s = os::Open(&file->fileNo, path, mode, &file->state);
  if (s != 0) return s;
  if (mode & kModeProduction) file->state |= kStateBit1;
  s = ReadStructure(*file);
  if (s != 0) {
    // Nothing stays behind: the blocks go with the control block.
    const XBSTATUS failure = Status();
    os::Close(file->fileNo);
    Current().status = failure;
    return failure;
  }
  std::strncpy(file->path, path, kMaxPath);
  file->currentRecord = 0;
  const bool lengthOk = LengthMatches(*file);
  table.Take(slot, SlotType::Data, std::move(file), path);
  *handle = static_cast<XBHANDLE>(slot);
  if (!lengthOk) return SetState(XB_BAD_LENGTH);
  return Status();
}
