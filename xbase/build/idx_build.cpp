// XBDIINDEX: builds an IDX index (standard or compact, ascending or
// descending) over every record of a data file. The keys are sorted in the
// index's order: a descending index sorts its keys with every bit inverted,
// so that equal keys still come in ascending record order, and turns them
// back before they are stored.
#include "xbase/build/idx_build.h"

#include <cstdlib>
#include <cstring>

#include "xbase/build/idx_build_fields.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/index/frame/numeric_keys.h"
#include "xbase/index/idx/idx_keys.h"

namespace kv::xb::bulk {

IdxFamilyBuilder::IdxFamilyBuilder(idx::IdxIndex& ix, std::optional<FieldSlice> field)
    : ix_(ix), field_(field), writer_(ix) {}

bool IdxFamilyBuilder::KeyFromField(const uint8_t* record, uint8_t* out) const {
  const FieldSlice& f = *field_;
  const uint8_t* bytes = record + f.offset;
  uint8_t binary[8];
  switch (f.type) {
    case 'C':
      idx::FitEntryKey(ix_, bytes, f.length, out);
      return true;
    case 'N':
    case 'F': {
      double value = 0;
      if (!ReadFieldNumber(bytes, f.length, &value)) return false;
      idx::PutNumberKey(binary, value);
      idx::FitEntryKey(ix_, binary, sizeof binary, out);
      return true;
    }
    case 'D': {
      FieldDate date;
      if (!ReadFieldDate(bytes, f.length, &date)) return false;
      idx::PutDayKey(binary, date.blank, date.blank ? 0.0 : index::DateKeyDay(date.ymd));
      idx::FitEntryKey(ix_, binary, sizeof binary, out);
      return true;
    }
    default:
      return false;
  }
}

XBSTATUS IdxFamilyBuilder::StoredKey(dbf::DataFile& data, uint8_t* out) {
  if (field_ && KeyFromField(data.recordBytes(), out)) return 0;
  return idx::RecordKey(data, ix_, out);
}

XBSTATUS IdxFamilyBuilder::MakeKey(XBHANDLE data, uint32_t, uint8_t* out) {
  dbf::DataFile* file = dbf::SelectData(data);
  if (file == nullptr) return Status();
  const XBSTATUS s = StoredKey(*file, out);
  if (s != 0) return s;
  if (ix_.descending) {
    for (int i = 0; i < ix_.keyLength; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  }
  return 0;
}

XBSTATUS IdxFamilyBuilder::Append(const uint8_t* sortKey, uint32_t record) {
  if (!ix_.descending) return writer_.Add(sortKey, record);
  uint8_t key[idx::kMaxKeyLength];
  for (int i = 0; i < ix_.keyLength; ++i) key[i] = static_cast<uint8_t>(~sortKey[i]);
  return writer_.Add(key, record);
}

XBSTATUS IdxFamilyBuilder::Finish() {
  return writer_.Finish();
}

}  // namespace kv::xb::bulk
