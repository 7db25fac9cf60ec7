// Bulk index builds against key-by-key builds over the same data file,
// through the exported calls.
//
//   bench_bulk make FILE N              writes the data file (KEY C(10), AMOUNT N(12,2))
//   bench_bulk keys FILE C|N OUT        writes the keys one per line (for sort)
//   bench_bulk build FILE DIR FORMAT C|N bulk|keys [LIMIT]
//   bench_bulk same FORMAT C|N A B      checks that two indexes hold the same entries
//   bench_bulk count FORMAT C|N FILE    checks an index (of any writer) and counts its entries
//
// FORMAT is ndx, idx (standard), cidx (compact IDX), ntx or mdx (one tag in a
// new MDX file). "bulk" is one call of XBDNINDEX / XBDIINDEX / XBDCINDEX /
// XBDMTINDEX; "keys" creates the same index and adds the key of every record
// (or of the first LIMIT records) with XBDDRGET + XB?KMAKE + XB?KADD. A build
// prints one line
//   RESULT format key mode records seconds bytes syscr syscw
// (syscr and syscw: the read and write system calls of the build, from
// /proc/self/io)
// and leaves the index in DIR as bench_FORMAT_KEY_MODE.EXT (mdxKEYMODE.mdx).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/index_check/idx_invariants.h"
#include "host/index_check/mdx_invariants.h"
#include "host/index_check/ndx_invariants.h"
#include "host/index_check/ntx_invariants.h"
#include "kv/xbase.h"
#include "xbase/frame/endian.h"

namespace {

constexpr int kKeyWidth = 10;
constexpr int kAmountWidth = 12;
constexpr uint16_t kRecordLength = 1 + kKeyWidth + kAmountWidth;
constexpr uint16_t kHeaderLength = 32 + 2 * 32 + 1;
constexpr const char* kTag = "KEYTAG";

// xorshift64*: the same keys on every machine.
struct Random {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  }
};

int Make(const char* path, uint32_t records) {
  std::vector<uint8_t> h(kHeaderLength, 0);
  h[0] = 0x03;
  h[1] = 125;
  h[2] = 1;
  h[3] = 1;
  kv::xb::PutLE32(&h[4], records);
  kv::xb::PutLE16(&h[8], kHeaderLength);
  kv::xb::PutLE16(&h[10], kRecordLength);
  const struct {
    const char* name;
    char type;
    uint8_t length, decimals;
  } fields[] = {{"KEY", 'C', kKeyWidth, 0}, {"AMOUNT", 'N', kAmountWidth, 2}};
  for (int i = 0; i < 2; ++i) {
    uint8_t* d = &h[32 + i * 32];
    std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
    d[11] = static_cast<uint8_t>(fields[i].type);
    d[16] = fields[i].length;
    d[17] = fields[i].decimals;
  }
  h[kHeaderLength - 1] = 0x0D;
  std::FILE* out = std::fopen(path, "wb");
  if (out == nullptr) return 1;
  bool ok = std::fwrite(h.data(), 1, h.size(), out) == h.size();
  Random random;
  std::vector<char> batch;
  for (uint32_t r = 1; ok && r <= records; ++r) {
    char record[kRecordLength + 1];
    record[0] = ' ';
    // Ten capitals: 26^10 keys, so nearly every key is different.
    uint64_t bits = random.Next();
    for (int i = 0; i < kKeyWidth; ++i, bits /= 26)
      record[1 + i] = static_cast<char>('A' + bits % 26);
    const double amount = static_cast<double>(random.Next() % 1000000000) / 100.0 - 5000000.0;
    std::snprintf(record + 1 + kKeyWidth, kAmountWidth + 1, "%12.2f", amount);
    batch.insert(batch.end(), record, record + kRecordLength);
    if (batch.size() >= (1u << 20) || r == records) {
      ok = std::fwrite(batch.data(), 1, batch.size(), out) == batch.size();
      batch.clear();
    }
  }
  ok = ok && std::fputc(0x1A, out) != EOF;
  ok = std::fclose(out) == 0 && ok;
  return ok ? 0 : 1;
}

// The keys as `sort` sees them: the field's text, one a line.
int Keys(const char* path, bool numeric, const char* outPath) {
  std::FILE* in = std::fopen(path, "rb");
  std::FILE* out = std::fopen(outPath, "wb");
  if (in == nullptr || out == nullptr) return 1;
  uint8_t h[32];
  if (std::fread(h, 1, 32, in) != 32) return 1;
  const uint32_t records = kv::xb::GetLE32(&h[4]);
  std::fseek(in, kv::xb::GetLE16(&h[8]), SEEK_SET);
  char record[kRecordLength];
  for (uint32_t r = 0; r < records; ++r) {
    if (std::fread(record, 1, kRecordLength, in) != kRecordLength) return 1;
    if (numeric)
      std::fwrite(record + 1 + kKeyWidth, 1, kAmountWidth, out);
    else
      std::fwrite(record + 1, 1, kKeyWidth, out);
    std::fputc('\n', out);
  }
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}

struct Shape {
  char letter;
  uint16_t length;
  uint16_t decimals;
};

Shape ShapeOf(const std::string& format, bool numeric) {
  if (!numeric) return {'C', kKeyWidth, 0};
  if (format == "mdx") return {'N', 12, 0};
  if (format == "ntx") return {'N', kAmountWidth, 2};
  return {'N', 8, 0};
}

bool Ok(XBSTATUS s, const char* what) {
  if (s >= 0) return true;
  std::fprintf(stderr, "bench_bulk: %s returned %d\n", what, s);
  return false;
}

bool Bulk(const std::string& format, XBHANDLE data, const std::string& path, bool numeric) {
  const Shape k = ShapeOf(format, numeric);
  const char* expression = numeric ? "AMOUNT" : "KEY";
  if (format == "ndx")
    return Ok(XBDNINDEX(data, path.c_str(), k.letter, expression, k.length), "XBDNINDEX");
  if (format == "idx" || format == "cidx") {
    const uint16_t word = static_cast<uint16_t>(k.letter | (format == "cidx" ? XB_IDX_COMPACT : 0));
    return Ok(XBDIINDEX(data, path.c_str(), word, expression, k.length), "XBDIINDEX");
  }
  if (format == "ntx")
    return Ok(XBDCINDEX(data, path.c_str(), k.letter, expression, k.length, k.decimals),
              "XBDCINDEX");
  XBHANDLE mdx = XB_NO_HANDLE;
  if (!Ok(XBDMCREATE(path.c_str(), 2), "XBDMCREATE") ||
      !Ok(XBDMOPENX(&mdx, path.c_str(), 0), "XBDMOPENX"))
    return false;
  const bool ok = Ok(XBDMTINDEX(data, mdx, kTag, k.letter, expression, k.length), "XBDMTINDEX");
  return Ok(XBDMCLOSE(mdx), "XBDMCLOSE") && ok;
}

bool AddEveryKey(XBHANDLE data, uint32_t limit, const std::function<XBSTATUS(void**)>& make,
                 const std::function<XBSTATUS(const void*, uint32_t)>& add) {
  for (uint32_t r = 1; r <= limit; ++r) {
    void* key = nullptr;
    if (XBDDRGET(data, r) < 0 || make(&key) < 0 || add(key, r) < 0) {
      std::fprintf(stderr, "bench_bulk: key of record %u: status %d\n", r, XBECODE());
      return false;
    }
    XBMFREE(key);
  }
  return true;
}

bool KeyByKey(const std::string& format, XBHANDLE data, const std::string& path, bool numeric,
              uint32_t limit) {
  const Shape k = ShapeOf(format, numeric);
  const char* expression = numeric ? "AMOUNT" : "KEY";
  XBHANDLE h = XB_NO_HANDLE;
  bool ok = false;
  if (format == "ndx") {
    if (!Ok(XBDNCREATE(path.c_str(), k.letter, expression, k.length), "XBDNCREATE") ||
        !Ok(XBDNOPENX(&h, path.c_str(), 0), "XBDNOPENX"))
      return false;
    ok = AddEveryKey(
        data, limit, [&](void** key) { return XBDNKMAKE(data, h, key); },
        [&](const void* key, uint32_t r) { return XBDNKADD(h, key, r); });
    return Ok(XBDNCLOSE(h), "XBDNCLOSE") && ok;
  }
  if (format == "idx" || format == "cidx") {
    const uint16_t word = static_cast<uint16_t>(k.letter | (format == "cidx" ? XB_IDX_COMPACT : 0));
    if (!Ok(XBDICREATE(path.c_str(), word, expression, k.length), "XBDICREATE") ||
        !Ok(XBDIOPENX(&h, path.c_str(), 0), "XBDIOPENX") ||
        !Ok(XBDIKTYPE(h, k.letter), "XBDIKTYPE"))
      return false;
    ok = AddEveryKey(
        data, limit, [&](void** key) { return XBDIKMAKE(data, h, key); },
        [&](const void* key, uint32_t r) { return XBDIKADD(h, key, r); });
    return Ok(XBDICLOSE(h), "XBDICLOSE") && ok;
  }
  if (format == "ntx") {
    if (!Ok(XBDCCREATE(path.c_str(), k.letter, expression, k.length, k.decimals), "XBDCCREATE") ||
        !Ok(XBDCOPENX(&h, path.c_str(), 0), "XBDCOPENX"))
      return false;
    ok = AddEveryKey(
        data, limit, [&](void** key) { return XBDCKMAKE(data, h, key); },
        [&](const void* key, uint32_t r) { return XBDCKADD(h, key, r); });
    return Ok(XBDCCLOSE(h), "XBDCCLOSE") && ok;
  }
  XBTAGHANDLE tag = 0;
  if (!Ok(XBDMCREATE(path.c_str(), 2), "XBDMCREATE") ||
      !Ok(XBDMOPENX(&h, path.c_str(), 0), "XBDMOPENX") ||
      !Ok(XBDMTNEW(h, kTag, k.letter, expression, k.length), "XBDMTNEW") ||
      !Ok(XBDMTUSE(&tag, h, kTag), "XBDMTUSE"))
    return false;
  ok = AddEveryKey(
      data, limit, [&](void** key) { return XBDMKMAKE(data, tag, key); },
      [&](const void* key, uint32_t r) { return XBDMKADD(tag, key, r); });
  XBDMTCLOSE(tag);
  return Ok(XBDMCLOSE(h), "XBDMCLOSE") && ok;
}

std::string Extension(const std::string& format) {
  return format == "cidx" ? "idx" : format;
}

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

long long FileBytes(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  std::fseek(f, 0, SEEK_END);
  const long long bytes = std::ftell(f);
  std::fclose(f);
  return bytes;
}

int Build(const char* file, const std::string& dir, const std::string& format, bool numeric,
          bool bulk, uint32_t limit) {
  if (format != "ndx" && format != "idx" && format != "cidx" && format != "ntx" && format != "mdx")
    return 2;
  // An MDX file keeps its base name in 8 characters.
  const std::string path =
      format == "mdx" ? dir + "/mdx" + (numeric ? "N" : "C") + (bulk ? "bulk" : "keys") + ".mdx"
                      : dir + "/bench_" + format + "_" + (numeric ? "N" : "C") + "_" +
                            (bulk ? "bulk" : "keys") + "." + Extension(format);
  std::remove(path.c_str());
  XBHANDLE data = XB_NO_HANDLE;
  if (!Ok(XBDDOPENX(&data, file, XB_OPEN_READONLY | XB_OPEN_SHARED | 1), "XBDDOPENX")) return 1;
  uint32_t records = 0;
  XBDDSIZE(data, &records);
  if (limit == 0 || limit > records) limit = records;
  const IoCounts before = ProcessIo();
  const auto start = std::chrono::steady_clock::now();
  const bool ok =
      bulk ? Bulk(format, data, path, numeric) : KeyByKey(format, data, path, numeric, limit);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const IoCounts after = ProcessIo();
  XBDDCLOSE(data);
  if (!ok) return 1;
  std::printf("RESULT %s %s %s %u %.3f %lld %llu %llu\n", format.c_str(), numeric ? "N" : "C",
              bulk ? "bulk" : "keys", bulk ? records : limit, seconds, FileBytes(path),
              after.syscr - before.syscr, after.syscw - before.syscw);
  return 0;
}

// The (key, record) sequence of an index as its checker reads it; the
// checker's complaint, if any, in `error`.
template <typename Entry>
std::vector<std::pair<std::string, uint32_t>> Pairs(const std::vector<Entry>& entries) {
  std::vector<std::pair<std::string, uint32_t>> out;
  out.reserve(entries.size());
  for (const Entry& e : entries) out.emplace_back(e.key, e.record);
  return out;
}

std::vector<std::pair<std::string, uint32_t>> Entries(const std::string& format, bool numeric,
                                                      const char* path, std::string& error,
                                                      bool lenient = false) {
  if (format == "ndx") {
    auto r = kvcheck::CheckNdxFile(path);
    error = r.error;
    return Pairs(r.entries);
  }
  if (format == "idx" || format == "cidx") {
    auto r = kvcheck::CheckIdxFile(path, {numeric ? '\0' : ' '});
    error = r.error;
    return Pairs(r.entries);
  }
  if (format == "ntx") {
    auto r = kvcheck::CheckNtxFile(path);
    error = r.error;
    return Pairs(r.entries);
  }
  kvcheck::MdxCheckOptions options;
  if (lenient) options = {false, false};  // other writers leave thinner nodes
  auto r = kvcheck::CheckMdxFile(path, options);
  error = r.error;
  if (error.empty() && r.tags.size() != 1) error = "not one tag";
  return error.empty() ? Pairs(r.tags[0].entries) : std::vector<std::pair<std::string, uint32_t>>{};
}

int Same(const std::string& format, bool numeric, const char* a, const char* b) {
  std::string errorA, errorB;
  const auto x = Entries(format, numeric, a, errorA);
  const auto y = Entries(format, numeric, b, errorB);
  if (!errorA.empty() || !errorB.empty()) {
    std::fprintf(stderr, "bench_bulk: checker: %s | %s\n", errorA.c_str(), errorB.c_str());
    return 1;
  }
  if (x != y) {
    std::fprintf(stderr, "bench_bulk: %s and %s differ (%zu and %zu entries)\n", a, b, x.size(),
                 y.size());
    return 1;
  }
  std::printf("SAME %s %s %zu\n", format.c_str(), numeric ? "N" : "C", x.size());
  return 0;
}

int Count(const std::string& format, bool numeric, const char* path) {
  std::string error;
  const auto entries = Entries(format, numeric, path, error, true);
  if (!error.empty()) {
    std::fprintf(stderr, "bench_bulk: checker: %s: %s\n", path, error.c_str());
    return 1;
  }
  std::printf("COUNT %s %s %zu\n", format.c_str(), numeric ? "N" : "C", entries.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make" && argc == 4)
    return Make(argv[2], static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
  if (command == "keys" && argc == 5) return Keys(argv[2], argv[3][0] == 'N', argv[4]);
  if (command == "count" && argc == 5) return Count(argv[2], argv[3][0] == 'N', argv[4]);
  if (command == "same" && argc == 6) return Same(argv[2], argv[3][0] == 'N', argv[4], argv[5]);
  if (command == "build" && (argc == 7 || argc == 8)) {
    if (!Ok(XBDINIT(100, 4), "XBDINIT")) return 1;
    const uint32_t limit =
        argc == 8 ? static_cast<uint32_t>(std::strtoul(argv[7], nullptr, 10)) : 0;
    const int status = Build(argv[2], argv[3], argv[4], argv[5][0] == 'N',
                             std::strcmp(argv[6], "bulk") == 0, limit);
    XBDTERM();
    return status;
  }
  std::fprintf(stderr,
               "usage: bench_bulk make FILE N | keys FILE C|N OUT |\n"
               "       build FILE DIR ndx|idx|cidx|ntx|mdx C|N bulk|keys [LIMIT] |\n"
               "       same FORMAT C|N INDEX_A INDEX_B | count FORMAT C|N INDEX\n");
  return 2;
}
