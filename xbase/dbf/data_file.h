// The data file (.DBF): header layout, the control block of an open file and
// its field table.
#pragma once
#include <cstdint>

#include "xbase/frame/file_layer.h"
#include "xbase/frame/handle_table.h"
#include "xbase/frame/memory_block.h"
#include "xbase/frame/select.h"

namespace kv::xb::dbf {

// File header (32 bytes, little-endian numbers).
inline constexpr int kHeaderSize = 32;
inline constexpr int kOffVersion = 0;
inline constexpr int kOffUpdateYear = 1;  // year - 1900, then month and day
inline constexpr int kOffRecordCount = 4;
inline constexpr int kOffHeaderLength = 8;
inline constexpr int kOffRecordLength = 10;
inline constexpr int kOffFlag14 = 14;
inline constexpr int kOffFlag15 = 15;
inline constexpr int kOffProduction = 28;

// Field descriptor (32 bytes).
inline constexpr int kDescriptorSize = 32;
inline constexpr int kNameBytes = 11;
inline constexpr int kOffFieldType = 11;
inline constexpr int kOffFieldLength = 16;
inline constexpr int kOffFieldDecimals = 17;

inline constexpr uint8_t kTerminator = 0x0D;
inline constexpr uint8_t kEndOfFile = 0x1A;

inline constexpr uint8_t kVersionPlain = 0x03;
inline constexpr uint8_t kVersionDbaseMemo = 0x83;
inline constexpr uint8_t kVersionDbase4Memo = 0x8B;
inline constexpr uint8_t kVersionFoxMemo = 0xF5;

inline constexpr int kVariant9 = 9;
inline constexpr uint16_t kVariantMemoBit = 0x80;

inline constexpr int kMaxPath = 260;

// One field as the engine works with it.
struct FieldInfo {
  uint8_t descriptor[kDescriptorSize];  // as read, name and type upper-cased
  uint16_t offset;                      // in the record; the first field is at 1
  uint16_t length;                      // 'C': length byte + 256 x decimal byte
  double largest;                       // 'F' and 'N': the largest value that fits
  char fieldName[kNameBytes + 1];       // the name, always NUL-terminated

  char type() const { return static_cast<char>(descriptor[kOffFieldType]); }
  uint8_t decimals() const { return type() == 'C' ? 0 : descriptor[kOffFieldDecimals]; }
  const char* name() const { return fieldName; }
};

// Consecutive records read in one go for sequential passes (index builds).
struct ReadAheadBuffer {
  MemoryBlock data;
  uint32_t bytes = 0;     // size of the buffer
  uint32_t capacity = 0;  // records it holds at most
  uint32_t first = 0;     // number of the first record held (0: none)
  uint32_t held = 0;      // records held
  MemoryBlock offsets;    // uint32 offset of each held record in `data`
};

struct DataFile : ControlBlock {
  uint32_t currentRecord = 0;
  // Records are read through a mapping of the file: no system call per
  // record, and still every byte other handles or processes wrote.
  os::FileView view;
  ReadAheadBuffer readAhead;
  MemoryBlock record;  // one record; filled with spaces at open
  uint32_t lockOffset = 0;
  uint32_t lockLength = 0;
  uint16_t slotCounter = 0;
  uint16_t lockCount = 0;
  uint16_t lockCapacity = 0;
  MemoryBlock lockList;
  uint8_t header[kHeaderSize] = {};
  MemoryBlock fieldTable;  // FieldInfo[fieldCount]
  uint16_t longestField = 0;
  uint16_t fieldCount = 0;
  uint16_t flushFlag = 1;
  char path[kMaxPath + 1] = {};
  bool modified = false;
  uint16_t variant = 1;  // kVariantMemoBit set when the file has memo fields
  uint8_t reservedByte = 0;

  // Copies of header numbers.
  uint32_t recordCount = 0;
  uint16_t headerLength = 0;
  uint16_t recordLength = 0;

  void ReleaseViews() override { view.Forget(); }

  FieldInfo* fields() const { return fieldTable.as<FieldInfo>(); }
  uint8_t* recordBytes() const { return record.data(); }
  bool hasMemo() const { return (variant & kVariantMemoBit) != 0; }
  int baseVariant() const { return variant & 0x7F; }

  // Byte offset of record r (from 1), computed in 64 bits.
  uint64_t RecordOffset(uint32_t r) const {
    return uint64_t{headerLength} + (uint64_t{r} - 1) * uint64_t{recordLength};
  }
};

// Selects a data-file handle (Data type), reopening it after a quick close.
inline DataFile* SelectData(XBHANDLE handle) {
  return SelectAs<DataFile>(handle, SlotType::Data);
}

// The field `fieldNo` when it lies in 0..fields-1; -27 otherwise.
FieldInfo* CheckField(DataFile& file, uint16_t fieldNo);

// CheckField with the common case inline: the calls that read a field each
// come here once.
inline FieldInfo* FieldAt(DataFile& file, uint16_t fieldNo) {
  if (fieldNo < file.fieldCount) [[likely]]
    return &file.fields()[fieldNo];
  return CheckField(file, fieldNo);
}

// Field number of `name` (case-insensitive); -1 when absent.
int FindField(const DataFile& file, const char* name);

}  // namespace kv::xb::dbf
