// Appends N records to a new data file and then updates U records chosen at
// random, through the exported calls; prints the time of each phase.
//
//   bench_dbf_write FILE N U          write, then print "append S update S"
//   bench_dbf_write --sum FILE        print "records N amount SUM" of any file
//
// The records are those of bench/dbf_write_tools.py (the other tools write
// the same values): NAME C(20) "NAME<r>", AMOUNT N(12,2) (r mod 100000) / 4,
// QTY N(8) r mod 1000000, DAY D 20yy-mm-dd from r, OK L r odd. Update k
// (from 1) sets AMOUNT of record 1 + (x >> 33) mod N to k / 2, x stepped by
// the 64-bit linear congruential generator below.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kv/xbase.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

uint64_t Next(uint64_t x) {
  return x * 6364136223846793005ULL + 1442695040888963407ULL;
}

int Fail(const char* what, XBSTATUS s) {
  std::fprintf(stderr, "bench_dbf_write: %s: status %d\n", what, s);
  return 1;
}

int Sum(const char* path) {
  XBHANDLE h = XB_NO_HANDLE;
  XBSTATUS s = XBDDOPENX(&h, path, 1 | XB_OPEN_READONLY | XB_OPEN_SHARED);
  if (s < 0) return Fail("open", s);
  uint16_t amount = 0;
  if ((s = XBDDFNAM2NO(h, &amount, "AMOUNT")) != 0) return Fail("AMOUNT", s);
  uint32_t n = 0;
  XBDDSIZE(h, &n);
  double sum = 0;
  uint32_t present = 0;
  for (uint32_t r = 1; r <= n; ++r) {
    if ((s = XBDDRGET(h, r)) < 0) return Fail("read", s);
    if (s == XB_DELETED) continue;
    double v = 0;
    XBDDFGET(h, amount, &v);
    sum += v;
    ++present;
  }
  std::printf("records %u amount %.2f\n", present, sum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (XBDINIT(100, 4) != 0) return 1;
  if (argc == 3 && std::string(argv[1]) == "--sum") return Sum(argv[2]);
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_dbf_write FILE N U | --sum FILE\n");
    return 2;
  }
  const char* path = argv[1];
  const uint32_t n = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const uint32_t updates = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  XBFIELDDEF defs[5] = {{"NAME", 'C', 20, 0},
                        {"AMOUNT", 'N', 12, 2},
                        {"QTY", 'N', 8, 0},
                        {"DAY", 'D', 8, 0},
                        {"OK", 'L', 1, 0}};
  XBSTATUS s = XBDDCREATE(path, 5, defs, 1);
  if (s != 0) return Fail("create", s);
  XBHANDLE h = XB_NO_HANDLE;
  if ((s = XBDDOPENX(&h, path, 1)) != 0) return Fail("open", s);

  auto start = std::chrono::steady_clock::now();
  char name[32], day[16];
  for (uint32_t r = 1; r <= n; ++r) {
    std::snprintf(name, sizeof name, "NAME%u", r);
    std::snprintf(day, sizeof day, "20%02u%02u%02u", r % 20, 1 + r % 12, 1 + r % 28);
    const double amount = (r % 100000) / 4.0;
    const double qty = r % 1000000;
    const uint8_t ok = r % 2 ? 'T' : 'F';
    XBDDFPUT(h, 0, name);
    XBDDFPUT(h, 1, &amount);
    XBDDFPUT(h, 2, &qty);
    XBDDFPUT(h, 3, day);
    XBDDFPUT(h, 4, &ok);
    uint32_t no = 0;
    if ((s = XBDDRPUT(h, &no, XB_PUT_APPEND)) != 0) return Fail("append", s);
  }
  const double appendTime = Seconds(start);

  start = std::chrono::steady_clock::now();
  uint64_t x = 12345;
  for (uint32_t k = 1; k <= updates; ++k) {
    x = Next(x);
    uint32_t r = 1 + static_cast<uint32_t>((x >> 33) % n);
    if ((s = XBDDRGET(h, r)) != 0) return Fail("read", s);
    const double amount = k / 2.0;
    XBDDFPUT(h, 1, &amount);
    if ((s = XBDDRPUT(h, &r, XB_PUT_UPDATE)) != 0) return Fail("update", s);
  }
  const double updateTime = Seconds(start);
  if ((s = XBDDCLOSE(h)) != 0) return Fail("close", s);
  std::printf("append %.3f update %.3f\n", appendTime, updateTime);
  XBDTERM();
  return 0;
}
