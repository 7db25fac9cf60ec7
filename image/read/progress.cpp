#include "image/read/progress.h"

#include "image/read/decoder.h"

namespace kvimg {

namespace {

ProgressSink g_sink = nullptr;
void* g_context = nullptr;
int g_lastPercent = -1;
bool g_continue = true;

}  // namespace

unsigned ProgressPercent(uint32_t rowsDone, uint32_t rowsTotal) {
  if (rowsTotal == 0) return 100;
  const uint64_t percent = uint64_t{rowsDone} * 100 / rowsTotal;
  return percent > 100 ? 100 : static_cast<unsigned>(percent);
}

void SetProgressSink(ProgressSink sink, void* context) {
  g_sink = sink;
  g_context = context;
}

void ResetProgress() {
  g_lastPercent = -1;
  g_continue = true;
}

bool ReportProgress(uint32_t rowsDone, uint32_t rowsTotal) {
  const unsigned percent = ProgressPercent(rowsDone, rowsTotal);
  if (static_cast<int>(percent) == g_lastPercent || g_sink == nullptr) return g_continue;
  g_lastPercent = static_cast<int>(percent);
  if (!g_sink(percent, g_context)) g_continue = false;
  return g_continue;
}

}  // namespace kvimg
