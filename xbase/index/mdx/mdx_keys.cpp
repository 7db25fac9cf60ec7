// Keys built by the engine for MDX tags: from a record through the tag's
// expression, from a number (the 12-byte decimal form), from a date text.
#include <cstring>

#include "platform/kernel/memory.h"
#include "xbase/dbf/data_file.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/index/frame/made_key.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/mdx/mdx_file.h"
#include "xbase/index/mdx/mdx_numeric.h"

using namespace kv::xb;
using namespace kv::xb::mdx;

namespace {

constexpr const char* kModule = "Mkmake";

XBSTATUS MakeKey(XBHANDLE dataHandle, XBTAGHANDLE tagHandle, KVHGLOBAL* block, void** address) {
  dbf::DataFile* data = dbf::SelectData(dataHandle);
  if (data == nullptr) return Status();
  TagRef ref;
  if (!SelectTag(tagHandle, &ref, kModule)) return Status();
  expr::KeyValue value;
  XBSTATUS s = expr::EvaluateKey(*data, ref.tree->expression(), &value);
  if (s != 0) return s;
  size_t size = 0;
  uint8_t fixed[kNumericKeyLength] = {};
  switch (value.type) {
    case 'C':
      size = value.text.size() + 1;
      break;
    case 'D': {
      const bool blank = value.date.year == 0 && value.date.month == 0 && value.date.day == 0;
      index::PutNumericKey(fixed, blank ? index::kBlankDateKey : index::DateKeyDay(value.date));
      size = kDateKeyLength;
      break;
    }
    case 'N':
      PutDecimalKey(fixed, value.number);
      size = kNumericKeyLength;
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
    std::memcpy(p, fixed, size);
  }
  *block = h;
  *address = p;
  return 0;
}

}  // namespace

KV_API XBSTATUS KV_CALL XBDMKMAKE(XBHANDLE dataHandle, XBTAGHANDLE tag, void** key) {
  XB_ENTER();
  return index::GiveMadeKey<XBTAGHANDLE>(kModule, MakeKey, dataHandle, tag, key);
}

KV_API XBSTATUS KV_CALL XBDMKMAKEH(XBHANDLE dataHandle, XBTAGHANDLE tag, KVHGLOBAL* key) {
  XB_ENTER();
  return index::GiveMadeKeyHandle<XBTAGHANDLE>(kModule, MakeKey, dataHandle, tag, key);
}

KV_API XBSTATUS KV_CALL XBDMKNUM(void* key, double value) {
  constexpr const char* kNumModule = "MKNUM";
  const char* kModule = kNumModule;
  XB_ENTER();
  if (key == nullptr) return XB_FAIL(XB_E_NULL);
  PutDecimalKey(static_cast<uint8_t*>(key), value);
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMKDATE(void* key, const char* text, int16_t style) {
  constexpr const char* kDateModule = "MKDATE";
  const char* kModule = kDateModule;
  XB_ENTER();
  if (key == nullptr || text == nullptr) return XB_FAIL(XB_E_NULL);
  double day = 0;
  const XBSTATUS s = index::DateKeyFromText(text, style, &day);
  if (s != 0) return XB_FAIL(s);
  index::PutNumericKey(static_cast<uint8_t*>(key), day);
  return Status();
}
