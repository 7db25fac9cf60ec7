// Keys of the IDX family as the engine builds them, for the callers that
// build many keys in a row (the bulk build) without an engine block per key.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/dbf/data_file.h"
#include "xbase/index/idx/idx_index.h"

namespace kv::xb::idx {

// The key of the data file's current record through the index's expression,
// as XBDIKMAKE makes it and XBDIKADD stores it: `out` receives L bytes.
XBSTATUS RecordKey(dbf::DataFile& data, const IdxIndex& ix, uint8_t* out);

// Turns a key of `size` bytes into the L bytes XBDIKADD stores for it: texts
// end at their first NUL and are padded with the pad byte, binary keys are
// cut or filled with zeros.
void FitEntryKey(const IdxIndex& ix, const uint8_t* key, size_t size, uint8_t* out);

// The 8-byte numeric and date key forms (big-endian, ordered bytewise).
void PutNumberKey(uint8_t* key, double value);
void PutDayKey(uint8_t* key, bool blank, double day);

}  // namespace kv::xb::idx
