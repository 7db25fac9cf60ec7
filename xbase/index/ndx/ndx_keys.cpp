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
      index::PutNumericKey(numeric, index::DateKeyOf(value.date));
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
  return index::NewMadeKeyBlock(kModule, value, numeric, size, block, address);
}

}  // namespace

KV_INDEX_MADE_KEY_EXPORTS(XBDN, XBHANDLE, MakeKey)
KV_INDEX_NUMBER_KEY_EXPORTS(XBDN, "NKNUM", "NKDATE", index::PutNumericKey, index::PutNumericKey)
