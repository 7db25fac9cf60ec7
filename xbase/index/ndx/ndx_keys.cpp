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

// Dates and numbers are the 8 bytes of a double.
constexpr index::BinaryKeyForms kForms{index::PutNumericKey,
                                       index::kNumericKeyLength,
                                       index::PutNumericKey,
                                       index::kNumericKeyLength,
                                       false,
                                       false};

// Builds the key of the data file's current record into a new engine block
// (left locked); `*block` and `*address` receive it.
XBSTATUS MakeKey(XBHANDLE dataHandle, XBHANDLE indexHandle, KVHGLOBAL* block, void** address) {
  return index::MakeRecordKey(
      dataHandle, [&] { return SelectIndex(indexHandle); },
      [&](dbf::DataFile& data, NdxIndex& ix) {
        return index::MakeBinaryFormKey(kModule, data, ix.expressionText(), kForms, block, address);
      });
}

}  // namespace

KV_INDEX_MADE_KEY_EXPORTS(XBDN, XBHANDLE, MakeKey)
KV_INDEX_NUMBER_KEY_EXPORTS(XBDN, "NKNUM", "NKDATE", index::PutNumericKey, index::PutNumericKey)
