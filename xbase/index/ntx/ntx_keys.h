// Keys of the NTX family as the engine builds them, for the callers that
// build many keys in a row (the bulk build) without an engine block per key.
#pragma once
#include <cstddef>
#include <cstdint>

#include "kv/xbase.h"
#include "xbase/dbf/data_file.h"
#include "xbase/index/ntx/ntx_index.h"

namespace kv::xb::ntx {

// The key of the data file's current record through the index's expression,
// as XBDCKMAKE makes it and XBDCKADD stores it: `out` receives L bytes.
XBSTATUS RecordKey(dbf::DataFile& data, const NtxIndex& ix, uint8_t* out);

// Turns a key text of `size` bytes into the L bytes XBDCKADD stores for it:
// it ends at its first NUL and is padded with blanks.
void FitEntryKey(const NtxIndex& ix, const uint8_t* key, size_t size, uint8_t* out);

}  // namespace kv::xb::ntx
