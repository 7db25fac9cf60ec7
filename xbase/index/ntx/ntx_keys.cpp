// Keys built by the engine: from a record through the index's expression,
// from a number, from a date text. Every NTX key is text.
#include "xbase/index/ntx/ntx_keys.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/memory_block.h"
#include "xbase/index/frame/made_key.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/ntx/ntx_index.h"
#include "xbase/index/ntx/ntx_key_forms.h"

using namespace kv::xb;
using namespace kv::xb::ntx;

namespace {

constexpr const char* kModule = "Ckmake";

// The key text of the data file's current record.
XBSTATUS EvaluateRecordKey(dbf::DataFile& data, const NtxIndex& index, std::string& key) {
  const NtxIndex* ix = &index;
  expr::KeyValue value;
  XBSTATUS s = expr::EvaluateKey(data, ix->expression, &value);
  if (s != 0) return s;
  switch (value.type) {
    case 'C':
      key = value.text;
      break;
    case 'D': {
      const bool blank = index::BlankDate(value.date);
      char text[16] = "        ";
      if (!blank && date::Format(text, 4, value.date) != 0) return XB_FAIL(XB_E_DATE);
      key.assign(text, 8);
      break;
    }
    case 'N':
    case 'F': {
      char text[kMaxKeyLength + 1];
      const size_t n = NumericKeyText(value.number, ix->keyLength, ix->decimals, text);
      key.assign(text, n);
      break;
    }
    default:
      return XB_FAIL(XB_E_EXPRESSION);
  }
  return 0;
}

// Builds the key of the data file's current record into a new engine block
// (left locked); `*block` and `*address` receive it.
XBSTATUS MakeKey(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* block, void** address) {
  return index::MakeRecordKey(
      dataHandle, [&] { return SelectIndex(indexHandle); },
      [&](dbf::DataFile& data, NtxIndex& ix) {
        std::string key;
        XBSTATUS s = EvaluateRecordKey(data, ix, key);
        if (s != 0) return s;
        // At least L bytes and the NUL, blanks not yet added.
        const size_t size = std::max<size_t>(key.size(), ix.keyLength) + 1;
        KVHGLOBAL h = 0;
        uint8_t* p = nullptr;
        if ((s = index::NewKeyBlock(kModule, size, &h, &p)) != 0) return s;
        std::memcpy(p, key.data(), key.size());
        p[key.size()] = 0;
        *block = h;
        *address = p;
        return XBSTATUS{0};
      });
}

}  // namespace

namespace kv::xb::ntx {

XBSTATUS RecordKey(dbf::DataFile& data, const NtxIndex& ix, uint8_t* out) {
  std::string key;
  const XBSTATUS s = EvaluateRecordKey(data, ix, key);
  if (s != 0) return s;
  FitEntryKey(ix, reinterpret_cast<const uint8_t*>(key.data()), key.size(), out);
  return 0;
}

void FitEntryKey(const NtxIndex& ix, const uint8_t* key, size_t size, uint8_t* out) {
  const size_t L = ix.keyLength;
  size_t n = size < L ? size : L;
  // As XBDCKADD takes a key: the text ends at its first NUL, blanks follow.
  const void* nul = std::memchr(key, 0, n);
  if (nul != nullptr) n = static_cast<size_t>(static_cast<const uint8_t*>(nul) - key);
  std::memcpy(out, key, n);
  std::memset(out + n, ' ', L - n);
}

}  // namespace kv::xb::ntx

KV_INDEX_MADE_KEY_EXPORTS(XBDC, XBHANDLE, MakeKey)

KV_API XBSTATUS KV_CALL XBDCKNUM(XBHANDLE handle, void* key, double value) {
  constexpr const char* kNumModule = "CKNUM";
  const char* kModule = kNumModule;
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  NtxIndex* ix = SelectIndex(handle);
  if (ix == nullptr) return Status();
  NumericKeyText(value, ix->keyLength, ix->decimals, static_cast<char*>(key));
  return Status();
}

KV_API XBSTATUS KV_CALL XBDCKDATE(void* key, const char* text, int16_t style) {
  constexpr const char* kDateModule = "CKDATE";
  const char* kModule = kDateModule;
  XB_ENTER();
  if (key == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  const XBSTATUS s = DateKeyText(text, style, static_cast<char*>(key));
  if (s != 0) return XB_FAIL(s);
  return Status();
}
