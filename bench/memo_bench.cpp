// Writing and then reading memos through the exported calls, for
// bench/run-memo.sh: a new data file with one memo field and its memo file
// (plain .DBT, block-size .DBT or .FPT), N records appended each with a new
// memo, the files closed, then every record read with its memo.
//
//   bench_memo plain|block|fpt DIR N SEED
//
// Prints "write SECONDS read SECONDS check SUM"; the texts (200 to 5,000
// bytes, slices of one pseudo-random pool) and SUM (lengths plus the middle
// byte of every text) are those of bench/memo_bench.py.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv/xbase.h"

namespace {

constexpr size_t kPoolSize = size_t{1} << 20;

uint64_t Step(uint64_t x) {
  return x * 6364136223846793005ULL + 1442695040888963407ULL;
}

std::string Pool() {
  std::string out(kPoolSize, ' ');
  uint64_t x = 0x9E3779B97F4A7C15ULL;
  for (size_t i = 0; i < kPoolSize; ++i) {
    x = Step(x);
    const uint64_t r = (x >> 33) % 32;
    out[i] = r >= 26 ? ' ' : static_cast<char>('a' + r);
  }
  return out;
}

std::vector<std::string> Texts(size_t n, uint64_t seed, const std::string& pool) {
  std::vector<std::string> texts;
  texts.reserve(n);
  uint64_t x = seed;
  for (size_t i = 0; i < n; ++i) {
    x = Step(x);
    const size_t length = 200 + (x >> 33) % 4801;
    const size_t start = (x >> 11) % (kPoolSize - 5000);
    texts.push_back(pool.substr(start, length));
  }
  return texts;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

[[noreturn]] void Die(const char* what, int status) {
  std::fprintf(stderr, "bench_memo: %s failed with %d\n", what, status);
  std::exit(1);
}

void Check(const char* what, XBSTATUS s) {
  if (s < 0) Die(what, s);
}

struct Layout {
  bool fpt;
  uint16_t dataVariant;
  uint16_t memoVariant;
};

XBSTATUS OpenMemo(const Layout& l, XBHANDLE* h, const std::string& path) {
  return l.fpt ? XBDWOPENX(h, path.c_str(), 0) : XBDTOPENX(h, path.c_str(), l.memoVariant);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: bench_memo plain|block|fpt DIR N SEED\n");
    return 2;
  }
  const std::string kind = argv[1];
  Layout layout{};
  if (kind == "plain") {
    layout = {false, 1, 1};
  } else if (kind == "block") {
    layout = {false, 2, 2};
  } else if (kind == "fpt") {
    layout = {true, 4, 0};
  } else {
    std::fprintf(stderr, "bench_memo: unknown layout %s\n", argv[1]);
    return 2;
  }
  const std::string dir = argv[2];
  const size_t n = std::strtoul(argv[3], nullptr, 10);
  const uint64_t seed = std::strtoull(argv[4], nullptr, 10);
  const std::vector<std::string> texts = Texts(n, seed, Pool());
  const std::string data = dir + "/ours-" + kind + ".dbf";
  const std::string memo = dir + "/ours-" + kind + (layout.fpt ? ".fpt" : ".dbt");
  Check("XBDINIT", XBDINIT(100, 0));

  // Writing: FoxPro's usual 64-byte blocks, 512-byte blocks in the dBASE
  // layouts.
  auto start = std::chrono::steady_clock::now();
  XBFIELDDEF note{};
  std::snprintf(note.name, sizeof note.name, "NOTE");
  note.type = 'M';
  note.length = 10;
  Check("XBDDCREATE", XBDDCREATE(data.c_str(), 1, &note, layout.dataVariant));
  Check("create memo", layout.fpt ? XBDWCREATE(memo.c_str(), 64)
                                  : XBDTCREATEX(memo.c_str(), 1, layout.memoVariant));
  XBHANDLE dh = XB_NO_HANDLE, mh = XB_NO_HANDLE;
  Check("XBDDOPENX", XBDDOPENX(&dh, data.c_str(), layout.dataVariant));
  Check("open memo", OpenMemo(layout, &mh, memo));
  for (const std::string& text : texts) {
    uint32_t block = 0;
    Check("memo write", layout.fpt ? XBDWRPUT(mh, &block, text.c_str(), 0)
                                   : XBDTRPUT(mh, &block, text.c_str(), 0));
    Check("XBDDFPUT", XBDDFPUT(dh, 0, &block));
    uint32_t no = 0;
    Check("XBDDRPUT", XBDDRPUT(dh, &no, XB_PUT_APPEND));
  }
  Check("close memo", layout.fpt ? XBDWCLOSE(mh) : XBDTCLOSE(mh));
  Check("XBDDCLOSE", XBDDCLOSE(dh));
  const double write = Seconds(start);

  // Reading.
  start = std::chrono::steady_clock::now();
  Check("XBDDOPENX", XBDDOPENX(&dh, data.c_str(), layout.dataVariant | XB_OPEN_READONLY));
  Check("open memo", OpenMemo(layout, &mh, memo));
  uint32_t count = 0;
  Check("XBDDSIZE", XBDDSIZE(dh, &count));
  uint64_t check = 0;
  for (uint32_t r = 1; r <= count; ++r) {
    Check("XBDDRGET", XBDDRGET(dh, r));
    int32_t block = 0;
    Check("XBDDFGET", XBDDFGET(dh, 0, &block));
    char* text = nullptr;
    Check("memo read", layout.fpt ? XBDWRGET(mh, static_cast<uint32_t>(block), &text)
                                  : XBDTRGET(mh, static_cast<uint32_t>(block), &text, 0));
    const size_t length = std::strlen(text);
    check += length + static_cast<uint8_t>(length > 0 ? text[length / 2] : 0);
    XBMFREE(text);
  }
  Check("close memo", layout.fpt ? XBDWCLOSE(mh) : XBDTCLOSE(mh));
  Check("XBDDCLOSE", XBDDCLOSE(dh));
  const double read = Seconds(start);
  XBDTERM();
  if (count != n) {
    std::fprintf(stderr, "bench_memo: %u records read, %zu written\n", count, n);
    return 1;
  }
  std::printf("write %.3f read %.3f check %llu\n", write, read,
              static_cast<unsigned long long>(check));
  return 0;
}
