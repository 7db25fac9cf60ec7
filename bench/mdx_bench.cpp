// MDX adds and finds through the exported calls, against NDX of the same
// keys in the same run: N keys added with XBDMKADD (XBDNKADD) in random
// order into a new tag (index), then M random finds of keys that are in it,
// for a 10-byte character key and a numeric key (12-byte decimal form in
// MDX, 8-byte double in NDX), with MDX blocks of 1, 2 and 8 units.
//
//   bench_mdx DIR N M
//
// Prints one line per run
//   RESULT format kind operation n ops seconds reads writes bytes
// format "ndx", "mdx1", "mdx2" or "mdx8"; reads and writes are the file
// layer's calls counted by the platform's counters. Files are left in DIR.
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
#include "platform/kernel/fault.h"

namespace {

struct Measure {
  std::chrono::steady_clock::time_point start;
  void Begin() {
    kvp::fault::Reset();
    start = std::chrono::steady_clock::now();
  }
  void Report(const std::string& format, const char* kind, const char* op, uint32_t n, uint32_t ops,
              const std::string& file) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long long bytes = 0;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
      std::fseek(f, 0, SEEK_END);
      bytes = std::ftell(f);
      std::fclose(f);
    }
    std::printf("RESULT %s %s %s %u %u %.3f %u %u %lld\n", format.c_str(), kind, op, n, ops,
                seconds, kvp::fault::Calls(kvp::fault::Op::Read),
                kvp::fault::Calls(kvp::fault::Op::Write), bytes);
    std::fflush(stdout);
  }
};

// One index under test: an NDX file or one tag of an MDX file.
struct Target {
  bool mdx = false;
  XBHANDLE file = XB_NO_HANDLE;
  XBTAGHANDLE tag = 0;
  XBSTATUS Add(const std::string& key, uint32_t r) const {
    return mdx ? XBDMKADD(tag, key.data(), r) : XBDNKADD(file, key.data(), r);
  }
  XBSTATUS Find(char* key, uint32_t* r) const {
    return mdx ? XBDMKFIND(tag, key, r, 0) : XBDNKFIND(file, key, r, 0);
  }
  XBSTATUS Close() const { return mdx ? XBDMCLOSE(file) : XBDNCLOSE(file); }
};

bool Open(const std::string& path, bool numeric, uint16_t units, Target* t) {
  std::remove(path.c_str());
  const char letter = numeric ? 'N' : 'C';
  if (units == 0) {
    if (XBDNCREATE(path.c_str(), letter, "KEY", 10) != 0) return false;
    return XBDNOPENX(&t->file, path.c_str(), 0) == 0;
  }
  t->mdx = true;
  if (XBDMCREATE(path.c_str(), units) != 0) return false;
  if (XBDMOPENX(&t->file, path.c_str(), 0) != 0) return false;
  if (XBDMTNEW(t->file, "KEY", letter, "KEY", 10) != 0) return false;
  return XBDMTUSE(&t->tag, t->file, "KEY") == 0;
}

bool Run(const std::string& dir, bool numeric, uint16_t units, uint32_t n, uint32_t finds) {
  const char* kind = numeric ? "numeric" : "char10";
  const std::string format = units == 0 ? "ndx" : "mdx" + std::to_string(units);
  // An MDX base name has at most 8 characters.
  const std::string path =
      dir + "/" + (numeric ? "n" : "c") + format + (units == 0 ? ".ndx" : ".mdx");
  Target t;
  if (!Open(path, numeric, units, &t)) {
    std::fprintf(stderr, "bench_mdx: cannot make %s\n", path.c_str());
    return false;
  }
  std::vector<uint32_t> numbers(n);
  std::iota(numbers.begin(), numbers.end(), 1u);
  std::mt19937 rng(4242);
  std::shuffle(numbers.begin(), numbers.end(), rng);
  std::vector<std::string> keys(n);
  for (uint32_t i = 0; i < n; ++i) {
    if (numeric) {
      const double value = static_cast<double>(numbers[i]) * 7.25 - 1e6;
      keys[i].assign(units == 0 ? 8 : 12, '\0');
      if (units == 0) {
        XBDNKNUM(keys[i].data(), value);
      } else {
        XBDMKNUM(keys[i].data(), value);
      }
    } else {
      char text[16];
      std::snprintf(text, sizeof text, "%010u", numbers[i] * 7u);
      keys[i] = text;
    }
  }
  Measure m;
  m.Begin();
  for (uint32_t i = 0; i < n; ++i) {
    if (t.Add(keys[i], numbers[i]) != 0) {
      std::fprintf(stderr, "bench_mdx: add failed at %u (%s)\n", i, format.c_str());
      return false;
    }
  }
  m.Report(format, kind, "add", n, n, path);
  std::vector<uint32_t> picks(finds);
  for (auto& p : picks) p = static_cast<uint32_t>(rng() % n);
  std::string key(16, '\0');
  m.Begin();
  for (uint32_t p : picks) {
    std::memcpy(key.data(), keys[p].data(), keys[p].size());
    key[keys[p].size()] = '\0';
    uint32_t record = 0;
    if (t.Find(key.data(), &record) != 0 || record != numbers[p]) {
      std::fprintf(stderr, "bench_mdx: find missed key %u (%s)\n", numbers[p], format.c_str());
      return false;
    }
  }
  m.Report(format, kind, "find", n, finds, path);
  return t.Close() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: bench_mdx DIR N FINDS\n");
    return 2;
  }
  const std::string dir = argv[1];
  const uint32_t n = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const uint32_t finds = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
  if (n == 0 || XBDINIT(100, 4) != 0) return 1;
  bool ok = true;
  for (bool numeric : {false, true}) {
    for (uint16_t units : {0, 1, 2, 8}) ok = ok && Run(dir, numeric, units, n, finds);
  }
  XBDTERM();
  return ok ? 0 : 1;
}
