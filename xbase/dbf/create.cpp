// Creating a data file from field definitions, and the new-file writer that
// packing shares.
#include <cstring>
#include <vector>

#include "platform/kernel/system.h"
#include "xbase/dbf/data_write.h"
#include "xbase/frame/endian.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/text.h"

using namespace kv::xb;
using namespace kv::xb::dbf;

namespace {
constexpr const char* kModule = "DCREATE";

constexpr uint16_t kProductionBit = 0x0200;

// Fixed lengths of the types whose length the definition does not choose.
constexpr int kDateLength = 8;
constexpr int kLogicalLength = 1;
constexpr int kMemoLength = 10;

// One checked field: the descriptor bytes and its stored length.
struct CheckedField {
  uint8_t descriptor[kDescriptorSize];
  int length;
};

// Checks one definition against the variant's limits and normalises it in
// the caller's array (upper-case name and type, fixed lengths, 'C' without
// decimals). Returns 0 or the failure.
XBSTATUS CheckDefinition(XBFIELDDEF& def, int variant, CheckedField* out, bool* memo) {
  const VariantLimits& limits = LimitsOf(variant);
  const size_t nameLength = BoundedLength(def.name, sizeof def.name);
  if (nameLength < 1 || nameLength > kNameBytes) return XB_FAIL(XB_E_FIELD_NAME);
  for (size_t c = 0; c < nameLength; ++c) def.name[c] = UpperAscii(def.name[c]);

  const char type = def.type <= 0xFF ? UpperAscii(static_cast<char>(def.type)) : '\0';
  // Lengths and decimals are 16-bit signed values for the checks.
  const int length = static_cast<int16_t>(def.length);
  const int decimals = static_cast<int16_t>(def.decimals);
  int stored = 0;
  switch (type) {
    case 'C':
      if (length < 1 || length > limits.maxCharLength) return XB_FAIL(XB_E_FIELD_LENGTH);
      def.decimals = 0;
      stored = length;
      break;
    case 'D':
      stored = kDateLength;
      break;
    case 'L':
      stored = kLogicalLength;
      break;
    case 'M':
      stored = kMemoLength;
      *memo = true;
      break;
    case 'F':
      if (!limits.floatAllowed) return XB_FAIL(XB_E_FIELD_TYPE);
      [[fallthrough]];
    case 'N':
      if (length < 1 || length > limits.maxNumericLength) return XB_FAIL(XB_E_FIELD_LENGTH);
      if (decimals < 0 || (decimals != 0 && decimals > length - 2) ||
          (limits.decimalsCappedAt15 && decimals > 15)) {
        return XB_FAIL(XB_E_DECIMALS);
      }
      stored = length;
      break;
    default:
      return XB_FAIL(XB_E_FIELD_TYPE);
  }
  if (type == 'D' || type == 'L' || type == 'M') {
    def.length = static_cast<uint16_t>(stored);
    def.decimals = 0;
  }
  def.type = static_cast<uint16_t>(static_cast<uint8_t>(type));

  std::memset(out->descriptor, 0, kDescriptorSize);
  std::memcpy(out->descriptor, def.name, nameLength);
  out->descriptor[kOffFieldType] = static_cast<uint8_t>(type);
  out->descriptor[kOffFieldLength] = static_cast<uint8_t>(stored & 0xFF);
  out->descriptor[kOffFieldDecimals] =
      static_cast<uint8_t>(type == 'C' ? (stored >> 8) : def.decimals);
  out->length = stored;
  return 0;
}

}  // namespace

namespace kv::xb::dbf {

const VariantLimits& LimitsOf(int variant) {
  static const VariantLimits kLimits[10] = {
      {128, 254, 19, true, false, 4000},    // 0: not a variant; as 1
      {128, 254, 19, true, false, 4000},    // 1
      {255, 254, 20, false, true, 4000},    // 2
      {128, 254, 19, true, false, 4000},    // 3
      {128, 254, 20, false, true, 4000},    // 4
      {1023, 254, 19, true, false, 4000},   // 5
      {1023, 2048, 19, true, false, 8192},  // 6
      {512, 254, 19, true, false, 4000},    // 7
      {255, 254, 20, false, true, 4000},    // 8
      {128, 254, 19, true, false, 4000},    // 9
  };
  return kLimits[variant >= 1 && variant <= 9 ? variant : 0];
}

uint8_t NewFileVersion(int variant, bool hasMemo) {
  if (!hasMemo) return kVersionPlain;
  if (variant == 2) return kVersionDbase4Memo;
  if (variant == 4 || variant == 8) return kVersionFoxMemo;
  return kVersionDbaseMemo;
}

uint32_t NewHeaderLength(uint32_t fieldCount, bool terminatorBlock) {
  return terminatorBlock ? kDescriptorSize * (fieldCount + 2) : kDescriptorSize * fieldCount + 33;
}

void StampToday(uint8_t* header) {
  kvp::SYSTEMTIME now;
  kvp::GetLocalTime(&now);
  header[kOffUpdateYear] = static_cast<uint8_t>(now.wYear - 1900);
  header[kOffUpdateYear + 1] = static_cast<uint8_t>(now.wMonth);
  header[kOffUpdateYear + 2] = static_cast<uint8_t>(now.wDay);
}

XBSTATUS WriteNewFile(const char* path, const uint8_t* header, const uint8_t* descriptors,
                      uint16_t fieldCount, bool terminatorBlock) {
  // The whole file is one buffer, written in one call.
  const size_t headerLength = NewHeaderLength(fieldCount, terminatorBlock);
  std::vector<uint8_t> bytes(headerLength + 1, 0);
  std::memcpy(bytes.data(), header, kHeaderSize);
  std::memcpy(bytes.data() + kHeaderSize, descriptors, size_t{fieldCount} * kDescriptorSize);
  bytes[kHeaderSize + size_t{fieldCount} * kDescriptorSize] = kTerminator;
  bytes[headerLength] = kEndOfFile;

  int fileNo = 0;
  XBSTATUS s = os::Create(&fileNo, path);
  if (s != 0) return s;
  // Writes during creation are not flushed.
  s = os::Write(fileNo, bytes.data(), bytes.size(), false);
  const XBSTATUS failure = s;
  s = os::Close(fileNo);
  if (failure != 0 || s != 0) {
    // A half-written file is no data file: it goes, and the first failure is
    // what the caller sees.
    const XBSTATUS first = failure != 0 ? failure : s;
    os::Erase(path);
    Current().status = first;
    return first;
  }
  return 0;
}

}  // namespace kv::xb::dbf

KV_API XBSTATUS KV_CALL XBDDCREATE(const char* path, int16_t fieldCount, XBFIELDDEF* fields,
                                   uint16_t variant) {
  XB_ENTER();
  if (path == nullptr || fields == nullptr) return XB_FAIL(XB_E_NULL);
  if (fieldCount <= 0) return XB_FAIL(XB_E_FIELD_NUMBER);
  uint8_t header[kHeaderSize] = {};
  if (variant & kProductionBit) {
    header[kOffProduction] = 1;
    variant = static_cast<uint16_t>(variant & ~kProductionBit);
  }
  if (variant < 1 || variant > 9) return XB_FAIL(XB_E_FORMAT);
  const VariantLimits& limits = LimitsOf(variant);
  if (fieldCount > limits.maxFields) return XB_FAIL(XB_E_FIELD_NUMBER);

  std::vector<uint8_t> descriptors(size_t(fieldCount) * kDescriptorSize);
  bool memo = false;
  int recordLength = 1;  // the deletion flag
  for (int i = 0; i < fieldCount; ++i) {
    CheckedField checked{};
    XBSTATUS s = CheckDefinition(fields[i], variant, &checked, &memo);
    if (s != 0) return s;
    recordLength += checked.length;
    if (recordLength > limits.maxRecordLength) return XB_FAIL(XB_E_RECORD_LENGTH);
    std::memcpy(descriptors.data() + size_t(i) * kDescriptorSize, checked.descriptor,
                kDescriptorSize);
  }

  const bool block = variant == kVariant9;
  header[kOffVersion] = NewFileVersion(variant, memo);
  StampToday(header);
  PutLE32(header + kOffRecordCount, 0);
  PutLE16(header + kOffHeaderLength,
          static_cast<uint16_t>(NewHeaderLength(static_cast<uint32_t>(fieldCount), block)));
  PutLE16(header + kOffRecordLength, static_cast<uint16_t>(recordLength));
  XBSTATUS s =
      WriteNewFile(path, header, descriptors.data(), static_cast<uint16_t>(fieldCount), block);
  return s != 0 ? s : Status();
}
