// Keys built by the engine: from a record through the index's expression,
// from a number, from a date text.
#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/index/frame/made_key.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/ndx/ndx_index.h"

using namespace kv::xb;
using namespace kv::xb::ndx;

namespace {

constexpr const char* kModule = "Nkmake";

// Builds the key of the data file's current record into a new engine block
// (left locked); `*block` and `*address` receive it.
XBSTATUS MakeKey(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* block, void** address) {
  dbf::DataFile* data = dbf::SelectData(dataHandle);
  if (data == nullptr) return Status();
  NdxIndex* ix = SelectIndex(indexHandle);
  if (ix == nullptr) return Status();
  expr::KeyValue value;
  XBSTATUS s = expr::EvaluateKey(*data, ix->expression(), &value);
  if (s != 0) return s;
  size_t size = 0;
  uint8_t numeric[index::kNumericKeyLength];
  switch (value.type) {
    case 'C':
      size = value.text.size() + 1;
      break;
    case 'D': {
      const bool blank = value.date.year == 0 && value.date.month == 0 && value.date.day == 0;
      index::PutNumericKey(numeric, blank ? index::kBlankDateKey : index::DateKeyDay(value.date));
      size = sizeof numeric;
      break;
    }
    case 'N':
      index::PutNumericKey(numeric, value.number);
      size = sizeof numeric;
      break;
    default:
      return XB_FAIL(XB_E_EXPRESSION);
  }
  KVHGLOBAL h = 0;
  uint8_t* p = nullptr;
  if ((s = index::NewKeyBlock(kModule, size, &h, &p)) != 0) return s;
  if (value.type == 'C') {
    std::memcpy(p, value.text.data(), value.text.size());
    p[value.text.size()] = 0;
  } else {
    std::memcpy(p, numeric, sizeof numeric);
  }
  *block = h;
  *address = p;
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDNKMAKE(XBHANDLE dataHandle, XBHANDLE indexHandle, void** key) {
  XB_ENTER();
  return index::GiveMadeKey<XBHANDLE>(kModule, MakeKey, dataHandle, indexHandle, key);
}

KV_API XBSTATUS KV_CALL XBDNKMAKEH(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* key) {
  XB_ENTER();
  return index::GiveMadeKeyHandle<XBHANDLE>(kModule, MakeKey, dataHandle, indexHandle, key);
}

KV_API XBSTATUS KV_CALL XBDNKNUM(void* key, double value) {
  constexpr const char* kNumModule = "NKNUM";
  const char* kModule = kNumModule;
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  index::PutNumericKey(static_cast<uint8_t*>(key), value);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDNKDATE(void* key, const char* text, int16_t style) {
  constexpr const char* kDateModule = "NKDATE";
  const char* kModule = kDateModule;
  XB_ENTER();
  if (key == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  double day = 0;
  const XBSTATUS s = index::DateKeyFromText(text, style, &day);
  if (s != 0) return XB_FAIL(s);
  index::PutNumericKey(static_cast<uint8_t*>(key), day);
  return Status();
}
