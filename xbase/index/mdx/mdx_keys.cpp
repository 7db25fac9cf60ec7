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
      index::PutNumericKey(fixed, index::DateKeyOf(value.date));
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
  return index::NewMadeKeyBlock(kModule, value, fixed, size, block, address);
}

}  // namespace

KV_INDEX_MADE_KEY_EXPORTS(XBDM, XBTAGHANDLE, MakeKey)
KV_INDEX_NUMBER_KEY_EXPORTS(XBDM, "MKNUM", "MKDATE", PutDecimalKey, index::PutNumericKey)
