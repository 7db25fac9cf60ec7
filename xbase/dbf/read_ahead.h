// The read-ahead buffer: runs of consecutive records for sequential passes
// over a data file (the index builds read the whole file through it).
#pragma once
#include "xbase/dbf/data_file.h"

namespace kv::xb::dbf {

// Sizes the buffer for the file's record length: 8 records when they take
// 512 to 16384 bytes, else as many whole records as fit in 512 bytes (short
// records) or 16384 bytes (long ones), at least one.
XBSTATUS PrepareReadAhead(DataFile& file);

// Points `*record` at record r, reading a new run from r on when the buffer
// does not hold it (fewer records near the end of the file).
XBSTATUS ReadAheadRecord(DataFile& file, uint32_t r, const uint8_t** record);

void ReleaseReadAhead(DataFile& file);

}  // namespace kv::xb::dbf
