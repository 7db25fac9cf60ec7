// NDX adds and finds through the exported calls: N keys added with XBDNKADD
// in random or in sorted order into a new index, then M random XBDNKFIND of
// keys that are in it, for a 10-byte character key and a numeric key.
//
//   bench_ndx DIR N M [C|N]...
//
// For every run prints one line
//   RESULT kind order n ops seconds reads writes syscr syscw bytes
// with the page reads and writes the engine asked of the file layer (the
// platform's call counters) and the read and write system calls of the
// whole process (/proc/self/io), so that other tools can be held against
// the same counts. The index files are left in DIR.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "platform/kernel/fault.h"

namespace {

struct IoCounts {
  unsigned long long syscr = 0;
  unsigned long long syscw = 0;
};

IoCounts ProcessIo() {
  IoCounts io;
  std::ifstream in("/proc/self/io");
  std::string name;
  unsigned long long value = 0;
  while (in >> name >> value) {
    if (name == "syscr:") io.syscr = value;
    if (name == "syscw:") io.syscw = value;
  }
  return io;
}

// The character key of number i: ten digits, so byte order is number order.
std::string CharKey(uint32_t i) {
  char text[16];
  std::snprintf(text, sizeof text, "%010u", i * 7u);
  return text;
}

std::string NumKey(uint32_t i) {
  std::string key(8, '\0');
  XBDNKNUM(key.data(), static_cast<double>(i) * 7.25 - 1e6);
  return key;
}

struct Measure {
  std::chrono::steady_clock::time_point start;
  IoCounts io;
  void Begin() {
    kvp::fault::Reset();
    io = ProcessIo();
    start = std::chrono::steady_clock::now();
  }
  void Report(const char* kind, const char* order, uint32_t n, uint32_t ops,
              const std::string& file) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const IoCounts after = ProcessIo();
    long long bytes = 0;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
      std::fseek(f, 0, SEEK_END);
      bytes = std::ftell(f);
      std::fclose(f);
    }
    std::printf("RESULT %s %s %u %u %.3f %u %u %llu %llu %lld\n", kind, order, n, ops, seconds,
                kvp::fault::Calls(kvp::fault::Op::Read), kvp::fault::Calls(kvp::fault::Op::Write),
                after.syscr - io.syscr, after.syscw - io.syscw, bytes);
    std::fflush(stdout);
  }
};

bool Check(XBSTATUS s, const char* what) {
  if (s == 0) return true;
  std::fprintf(stderr, "bench_ndx: %s returned %d\n", what, s);
  return false;
}

bool Run(const std::string& dir, bool numeric, bool sorted, uint32_t n, uint32_t finds) {
  const char* kind = numeric ? "numeric" : "char10";
  const char* order = sorted ? "sorted" : "random";
  const std::string path = dir + "/bench_" + kind + "_" + order + "_" + std::to_string(n) + ".ndx";
  std::remove(path.c_str());
  if (!Check(XBDNCREATE(path.c_str(), numeric ? 'N' : 'C', "KEY", 10), "XBDNCREATE")) return false;
  XBHANDLE h = XB_NO_HANDLE;
  if (!Check(XBDNOPENX(&h, path.c_str(), 0), "XBDNOPENX")) return false;

  std::vector<uint32_t> numbers(n);
  std::iota(numbers.begin(), numbers.end(), 1u);
  std::mt19937 rng(4242);
  if (!sorted) std::shuffle(numbers.begin(), numbers.end(), rng);
  std::vector<std::string> keys(n);
  for (uint32_t i = 0; i < n; ++i) keys[i] = numeric ? NumKey(numbers[i]) : CharKey(numbers[i]);

  Measure m;
  m.Begin();
  for (uint32_t i = 0; i < n; ++i) {
    if (XBDNKADD(h, keys[i].c_str(), numbers[i]) != 0) {
      std::fprintf(stderr, "bench_ndx: XBDNKADD failed at %u\n", i);
      return false;
    }
  }
  m.Report(kind, (std::string("add-") + order).c_str(), n, n, path);

  if (finds > 0) {
    std::vector<uint32_t> picks(finds);
    for (auto& p : picks) p = static_cast<uint32_t>(rng() % n);
    std::string key(numeric ? 8 : 11, '\0');
    m.Begin();
    for (uint32_t p : picks) {
      const std::string& want = keys[p];
      std::memcpy(key.data(), want.data(), want.size());
      uint32_t record = 0;
      if (XBDNKFIND(h, key.data(), &record, 0) != 0 || record != numbers[p]) {
        std::fprintf(stderr, "bench_ndx: XBDNKFIND did not find key %u\n", numbers[p]);
        return false;
      }
    }
    m.Report(kind, (std::string("find-after-") + order).c_str(), n, finds, path);
  }
  return Check(XBDNCLOSE(h), "XBDNCLOSE");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_ndx DIR N FINDS [C|N]...\n");
    return 2;
  }
  const std::string dir = argv[1];
  const uint32_t n = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const uint32_t finds = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  std::vector<bool> kinds;
  for (int i = 4; i < argc; ++i) kinds.push_back(argv[i][0] == 'N');
  if (kinds.empty()) kinds = {false, true};
  if (n == 0 || !Check(XBDINIT(100, 4), "XBDINIT")) return 1;
  bool ok = true;
  for (bool numeric : kinds) {
    // Finds run on the index built in random order: its pages are as full as
    // random inserts leave them; the sorted build leaves half-full pages.
    ok = ok && Run(dir, numeric, false, n, finds);
    ok = ok && Run(dir, numeric, true, n, 0);
  }
  XBDTERM();
  return ok ? 0 : 1;
}
