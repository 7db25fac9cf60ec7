// The NTX family's part in a bulk build: key texts, whose bytewise order is
// the index's order, fed to the page writer.
#pragma once
#include <cstdint>
#include <optional>

#include "xbase/build/bulk_build.h"
#include "xbase/build/ntx_build_pages.h"
#include "xbase/dbf/data_file.h"
#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::bulk {

class NtxFamilyBuilder : public FamilyBuilder {
 public:
  // `ix` is the new index, open; `field` the field the expression names
  // when it is one field alone.
  NtxFamilyBuilder(ntx::NtxIndex& ix, std::optional<FieldSlice> field);

  int KeyLength() const override { return ix_.keyLength; }
  XBSTATUS MakeKey(XBHANDLE data, uint32_t record, uint8_t* out) override;
  XBSTATUS Append(const uint8_t* sortKey, uint32_t record) override;
  XBSTATUS Finish() override;
  const char* ModuleName() const override { return "Cindex"; }

  // The key of the record in the data file's record buffer, as stored.
  XBSTATUS StoredKey(dbf::DataFile& data, uint8_t* out);

 private:
  bool KeyFromField(const uint8_t* record, uint8_t* out) const;

  ntx::NtxIndex& ix_;
  std::optional<FieldSlice> field_;
  NtxPageWriter writer_;
};

}  // namespace kv::xb::bulk
