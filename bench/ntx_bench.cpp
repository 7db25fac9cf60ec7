// NTX adds and finds through the exported calls, held against NDX in the
// same run: N ten-byte character keys added in random order into a new
// index of each kind, then M random finds of keys that are in it, each
// checked to return its record number.
//
//   bench_ntx DIR N M
//
// Prints one line per kind and operation
//   RESULT kind operation n ops seconds bytes
// with the index file's size after the adds. The files are left in DIR.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "kv/xbase.h"

namespace {

enum class Kind { Ndx, Ntx };

const char* Name(Kind k) {
  return k == Kind::Ndx ? "ndx" : "ntx";
}

// Ten digits of 7 × i: byte order is number order.
std::string CharKey(uint32_t i) {
  char text[16];
  std::snprintf(text, sizeof text, "%010u", i * 7u);
  return text;
}

long long FileSize(const std::string& path) {
  long long bytes = -1;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    bytes = std::ftell(f);
    std::fclose(f);
  }
  return bytes;
}

bool Check(XBSTATUS s, const char* what) {
  if (s == 0) return true;
  std::fprintf(stderr, "bench_ntx: %s returned %d\n", what, s);
  return false;
}

bool Run(const std::string& dir, Kind kind, const std::vector<uint32_t>& numbers,
         const std::vector<uint32_t>& picks) {
  const bool ndx = kind == Kind::Ndx;
  const std::string path = dir + "/bench_" + Name(kind) + (ndx ? ".ndx" : ".ntx");
  std::remove(path.c_str());
  XBHANDLE h = XB_NO_HANDLE;
  if (ndx) {
    if (!Check(XBDNCREATE(path.c_str(), 'C', "KEY", 10), "XBDNCREATE")) return false;
    if (!Check(XBDNOPENX(&h, path.c_str(), 0), "XBDNOPENX")) return false;
  } else {
    if (!Check(XBDCCREATE(path.c_str(), 'C', "KEY", 10, 0), "XBDCCREATE")) return false;
    if (!Check(XBDCOPENX(&h, path.c_str(), 0), "XBDCOPENX")) return false;
  }
  const uint32_t n = static_cast<uint32_t>(numbers.size());
  std::vector<std::string> keys(n);
  for (uint32_t i = 0; i < n; ++i) keys[i] = CharKey(numbers[i]);

  auto start = std::chrono::steady_clock::now();
  for (uint32_t i = 0; i < n; ++i) {
    const XBSTATUS s =
        ndx ? XBDNKADD(h, keys[i].c_str(), numbers[i]) : XBDCKADD(h, keys[i].c_str(), numbers[i]);
    if (s != 0) {
      std::fprintf(stderr, "bench_ntx: add failed at %u (%d)\n", i, s);
      return false;
    }
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("RESULT %s add %u %u %.3f %lld\n", Name(kind), n, n, seconds, FileSize(path));
  std::fflush(stdout);

  char key[16];
  start = std::chrono::steady_clock::now();
  for (uint32_t p : picks) {
    std::memcpy(key, keys[p].c_str(), 11);
    uint32_t record = 0;
    const XBSTATUS s = ndx ? XBDNKFIND(h, key, &record, 0) : XBDCKFIND(h, key, &record, 0);
    if (s != 0 || record != numbers[p]) {
      std::fprintf(stderr, "bench_ntx: find did not find key %u\n", numbers[p]);
      return false;
    }
  }
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("RESULT %s find %u %zu %.3f %lld\n", Name(kind), n, picks.size(), seconds,
              FileSize(path));
  std::fflush(stdout);
  return Check(ndx ? XBDNCLOSE(h) : XBDCCLOSE(h), "close");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_ntx DIR N FINDS\n");
    return 2;
  }
  const std::string dir = argv[1];
  const uint32_t n = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const uint32_t finds = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  if (n == 0 || !Check(XBDINIT(100, 4), "XBDINIT")) return 1;
  // The same keys in the same random order, and the same finds, for both.
  std::vector<uint32_t> numbers(n);
  std::iota(numbers.begin(), numbers.end(), 1u);
  std::mt19937 rng(4242);
  std::shuffle(numbers.begin(), numbers.end(), rng);
  std::vector<uint32_t> picks(finds);
  for (auto& p : picks) p = static_cast<uint32_t>(rng() % n);
  bool ok = true;
  for (Kind kind : {Kind::Ndx, Kind::Ntx}) ok = ok && Run(dir, kind, numbers, picks);
  XBDTERM();
  return ok ? 0 : 1;
}
