// Keys of the IDX family built by the engine: from a record through the
// index's expression, from a number, from a date text. Numeric and date keys
// are big-endian doubles made to sort under an unsigned byte comparison:
// a positive number gets its sign bit set, a negative one is inverted whole.
#include "xbase/index/idx/idx_keys.h"

#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/index/frame/made_key.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/idx/idx_index.h"

using namespace kv::xb;
using namespace kv::xb::idx;

namespace {

constexpr const char* kModule = "Ikmake";
constexpr int kKeyBytes = 8;

void PutOrderedDouble(uint8_t* key, double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < kKeyBytes; ++i) key[i] = static_cast<uint8_t>(bits >> (8 * (7 - i)));
  if (key[0] & 0x80) {
    for (int i = 0; i < kKeyBytes; ++i) key[i] = static_cast<uint8_t>(~key[i]);
  } else {
    key[0] |= 0x80;
  }
}

// An empty date sorts before every real one.
void PutDateKey(uint8_t* key, bool blank, double day) {
  if (blank) {
    std::memset(key, 0, kKeyBytes);
    key[0] = 0x80;
    return;
  }
  PutOrderedDouble(key, day);
}

// A date key from a day number; kBlankDateKey for a blank date.
void PutDayNumberKey(uint8_t* key, double day) {
  PutDateKey(key, day == index::kBlankDateKey, day);
}

// Numbers as ordered doubles, dates too (a blank one first), logical keys
// their letter.
constexpr index::BinaryKeyForms kForms{PutDayNumberKey, kKeyBytes, PutOrderedDouble,
                                       kKeyBytes,       true,      true};

// The key value of the current record: the text of a character key, or the
// binary form of the other types in `binary`, and its size.
XBSTATUS EvaluateRecordKey(dbf::DataFile& data, const IdxIndex& ix, expr::KeyValue& value,
                           uint8_t* binary, size_t* keySize) {
  return index::EvaluateBinaryFormKey(kModule, data, ix.expression, kForms, value, binary, keySize);
}

// Builds the key of the data file's current record into a new engine block
// (left locked); `*block` and `*address` receive it.
XBSTATUS MakeKey(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* block, void** address) {
  return index::MakeRecordKey(
      dataHandle, [&] { return SelectIndex(indexHandle); },
      [&](dbf::DataFile& data, IdxIndex& ix) {
        return index::MakeBinaryFormKey(kModule, data, ix.expression, kForms, block, address);
      });
}

}  // namespace

namespace kv::xb::idx {

void PutNumberKey(uint8_t* key, double value) {
  PutOrderedDouble(key, value);
}
void PutDayKey(uint8_t* key, bool blank, double day) {
  PutDateKey(key, blank, day);
}

XBSTATUS RecordKey(dbf::DataFile& data, const IdxIndex& ix, uint8_t* out) {
  expr::KeyValue value;
  uint8_t binary[index::kMaxBinaryKey] = {};
  size_t size = 0;
  const XBSTATUS s = EvaluateRecordKey(data, ix, value, binary, &size);
  if (s != 0) return s;
  const uint8_t* bytes =
      value.type == 'C' ? reinterpret_cast<const uint8_t*>(value.text.data()) : binary;
  const size_t given = value.type == 'C' ? value.text.size() : size;
  FitEntryKey(ix, bytes, given, out);
  return 0;
}

void FitEntryKey(const IdxIndex& ix, const uint8_t* key, size_t size, uint8_t* out) {
  const size_t L = ix.keyLength;
  size_t n = size < L ? size : L;
  // As XBDIKADD takes a key: a text ends at its first NUL and is padded;
  // binary keys are L bytes (zeros where the caller gave fewer).
  if (ix.textKeys()) {
    const void* nul = std::memchr(key, 0, n);
    if (nul != nullptr) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - key);
    std::memcpy(out, key, n);
    std::memset(out + n, ix.pad, L - n);
    return;
  }
  std::memcpy(out, key, n);
  std::memset(out + n, 0, L - n);
}

}  // namespace kv::xb::idx

KV_INDEX_MADE_KEY_EXPORTS(XBDI, XBHANDLE, MakeKey)
KV_INDEX_NUMBER_KEY_EXPORTS(XBDI, "IKNUM", "IKDATE", PutOrderedDouble, PutDayNumberKey)
