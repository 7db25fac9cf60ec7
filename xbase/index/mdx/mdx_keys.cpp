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

// Dates are the 8 bytes of a double, numbers the 12-byte decimal form.
constexpr index::BinaryKeyForms kForms{index::PutNumericKey, kDateKeyLength, PutDecimalKey,
                                       kNumericKeyLength,    false,          false};

XBSTATUS MakeKey(XBHANDLE dataHandle, XBTAGHANDLE tagHandle, KVHGLOBAL* block, void** address) {
  TagRef ref;
  return index::MakeRecordKey(
      dataHandle,
      [&]() -> TagTree* { return SelectTag(tagHandle, &ref, kModule) ? ref.tree : nullptr; },
      [&](dbf::DataFile& data, TagTree& tree) {
        return index::MakeBinaryFormKey(kModule, data, tree.expression(), kForms, block, address);
      });
}

}  // namespace

KV_INDEX_MADE_KEY_EXPORTS(XBDM, XBTAGHANDLE, MakeKey)
KV_INDEX_NUMBER_KEY_EXPORTS(XBDM, "MKNUM", "MKDATE", PutDecimalKey, index::PutNumericKey)
