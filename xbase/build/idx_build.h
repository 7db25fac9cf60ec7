// The IDX family's part in a bulk build (both forms): keys in a form whose
// bytewise order is the index's order, and the page writer fed in that order.
#pragma once
#include <cstdint>
#include <optional>

#include "xbase/build/bulk_build.h"
#include "xbase/build/idx_build_pages.h"
#include "xbase/dbf/data_file.h"
#include "xbase/index/idx/idx_index.h"

namespace kv::xb::bulk {

class IdxFamilyBuilder : public FamilyBuilder {
 public:
  // `ix` is the new index, open, with its key type declared; `field` the
  // field the expression names when it is one field alone.
  IdxFamilyBuilder(idx::IdxIndex& ix, std::optional<FieldSlice> field);

  int KeyLength() const override { return ix_.keyLength; }
  XBSTATUS MakeKey(XBHANDLE data, uint32_t record, uint8_t* out) override;
  XBSTATUS Append(const uint8_t* sortKey, uint32_t record) override;
  XBSTATUS Finish() override;
  const char* ModuleName() const override { return "Iindex"; }

  // The key of the record in the data file's record buffer, as stored.
  XBSTATUS StoredKey(dbf::DataFile& data, uint8_t* out);

 private:
  bool KeyFromField(const uint8_t* record, uint8_t* out) const;

  idx::IdxIndex& ix_;
  std::optional<FieldSlice> field_;
  IdxPageWriter writer_;
};

}  // namespace kv::xb::bulk
