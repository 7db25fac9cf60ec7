// The NTX family of the bulk build. NTX keys are texts compared bytewise, so
// the stored key is its own sort form.
#include "xbase/build/ntx_build.h"

#include "xbase/build/idx_build_fields.h"
#include "xbase/frame/engine.h"
#include "xbase/index/ntx/ntx_key_forms.h"
#include "xbase/index/ntx/ntx_keys.h"

namespace kv::xb::bulk {

NtxFamilyBuilder::NtxFamilyBuilder(ntx::NtxIndex& ix, std::optional<FieldSlice> field)
    : ix_(ix), field_(field), writer_(ix) {}

bool NtxFamilyBuilder::KeyFromField(const uint8_t* record, uint8_t* out) const {
  const FieldSlice& f = *field_;
  const uint8_t* bytes = record + f.offset;
  switch (f.type) {
    case 'C':
      ntx::FitEntryKey(ix_, bytes, f.length, out);
      return true;
    case 'N':
    case 'F': {
      double value = 0;
      if (!ReadFieldNumber(bytes, f.length, &value)) return false;
      char text[ntx::kMaxKeyLength + 1];
      const size_t n = ntx::NumericKeyText(value, ix_.keyLength, ix_.decimals, text);
      ntx::FitEntryKey(ix_, reinterpret_cast<const uint8_t*>(text), n, out);
      return true;
    }
    case 'D': {
      // A date field holds the key text itself (yyyymmdd, or blanks).
      FieldDate date;
      if (!ReadFieldDate(bytes, f.length, &date)) return false;
      ntx::FitEntryKey(ix_, bytes, f.length, out);
      return true;
    }
    default:
      return false;
  }
}

XBSTATUS NtxFamilyBuilder::StoredKey(dbf::DataFile& data, uint8_t* out) {
  if (field_ && KeyFromField(data.recordBytes(), out)) return 0;
  return ntx::RecordKey(data, ix_, out);
}

XBSTATUS NtxFamilyBuilder::MakeKey(XBHANDLE data, uint32_t, uint8_t* out) {
  dbf::DataFile* file = dbf::SelectData(data);
  if (file == nullptr) return Status();
  return StoredKey(*file, out);
}

XBSTATUS NtxFamilyBuilder::Append(const uint8_t* sortKey, uint32_t record) {
  return writer_.Add(sortKey, record);
}

XBSTATUS NtxFamilyBuilder::Finish() {
  return writer_.Finish();
}

}  // namespace kv::xb::bulk
