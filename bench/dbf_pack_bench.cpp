// Pack benchmark: XBDDPACK of a data file with every tenth record deleted,
// through the exports only, as a host packs a table. The copy is made and
// the records deleted before the clock starts; only the pack is timed.
//
//   bench_dbf_pack SOURCE WORK
// copies SOURCE to WORK, deletes records 10, 20, ..., packs WORK and prints
// "records R kept K seconds S".
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <fstream>

#include "kv/xbase.h"

namespace {

bool Check(XBSTATUS status, const char* call) {
  if (status >= 0) return true;
  std::fprintf(stderr, "%s failed with status %d\n", call, static_cast<int>(status));
  return false;
}

bool Copy(const char* from, const char* to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  return in.good() && out.good();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SOURCE WORK\n", argv[0]);
    return 2;
  }
  if (!Copy(argv[1], argv[2])) {
    std::fprintf(stderr, "cannot copy %s to %s\n", argv[1], argv[2]);
    return 1;
  }
  if (!Check(XBDINIT(100, 4), "XBDINIT")) return 1;
  XBHANDLE handle = XB_NO_HANDLE;
  uint32_t count = 0, kept = 0;
  bool ok = Check(XBDDOPENX(&handle, argv[2], 1), "XBDDOPENX") &&
            Check(XBDDSIZE(handle, &count), "XBDDSIZE");
  for (uint32_t r = 10; ok && r <= count; r += 10) ok = Check(XBDDRDEL(handle, r), "XBDDRDEL");
  const auto start = std::chrono::steady_clock::now();
  ok = ok && Check(XBDDPACK(&handle), "XBDDPACK");
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  ok = ok && Check(XBDDSIZE(handle, &kept), "XBDDSIZE");
  if (handle != XB_NO_HANDLE) XBDDCLOSE(handle);
  XBDTERM();
  if (!ok) return 1;
  std::printf("records %" PRIu32 " kept %" PRIu32 " seconds %.3f\n", count, kept, elapsed.count());
  return kept == count - count / 10 ? 0 : 1;
}
