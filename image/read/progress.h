// Progress of a read, reported by the decoders after each row.
#pragma once
#include <cstdint>

namespace kvimg {

// rows done x 100 / rows in all, in 32-bit arithmetic (never wrapping, and
// 100 for an empty total rather than a division by zero).
unsigned ProgressPercent(uint32_t rowsDone, uint32_t rowsTotal);

// The wait window (or a test) sees each new percentage and answers whether
// to go on. Without one every call answers "go on".
using ProgressSink = bool (*)(unsigned percent, void* context);
void SetProgressSink(ProgressSink sink, void* context);

// Starts a read: forget the last percentage shown and clear the cancel.
void ResetProgress();

}  // namespace kvimg
