// Compares what the engine reads from an open data file with what the
// independent tools read from the same file.
#pragma once
#include <cstdint>

#include "kv/xbase.h"
#include "tests/xbase_oracle/expectation.h"

namespace kvtest {

// Field definitions (XBDDFINFO), record count, record information, field
// numbers and names by lookup, and the date of the last update when the
// writer was told one. `variant` is the variant the file must report.
void CompareStructure(XBHANDLE handle, const Expectation& exp, int variant);

// Records first..last (from 1): XBDDRGETX with the unpacked record, the
// record state and number, and every field through XBDDFGETS (the stored
// bytes, as dbfread cuts them) and XBDDFGET (the value, as each tool reads
// it). Stops after a handful of records with mismatches.
void CompareRecords(XBHANDLE handle, const Expectation& exp, uint32_t first, uint32_t last);

}  // namespace kvtest
