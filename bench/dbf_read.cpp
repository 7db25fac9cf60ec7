// Sequential read benchmark: every record and every field of a data file
// through the exported calls, as a host reads a table (XBDDRGET, then
// XBDDFGET for each field). Each value feeds a checksum so that no call can
// be optimised away; the checksum also lets two runs be compared.
//
//   bench_dbf_read FILE
//   bench_dbf_read_ahead [--read-ahead] FILE
// print "records R fields F seconds S checksum C".
//   bench_dbf_read --passes N FILE
// reads the whole file N times through one open and prints "pass K seconds
// S" for each: the first pass pays for touching every page of the file's
// mapping once, the later ones only for the calls themselves.
//
// bench_dbf_read is linked to the shared library and calls nothing but its
// exports. bench_dbf_read_ahead is the same loop linked to the engine's
// objects; its --read-ahead takes each record from the engine's read-ahead
// buffer (runs of consecutive records, as the index builds read) instead of
// XBDDRGET, copies it into the record buffer and converts the fields with
// XBDDFGET as before. The difference between the two modes is what one read
// per record costs.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifndef KV_BENCH_READ_AHEAD
#define KV_BENCH_READ_AHEAD 0
#endif

#include "kv/xbase.h"
#if KV_BENCH_READ_AHEAD
#include "xbase/dbf/data_file.h"
#include "xbase/dbf/read_ahead.h"
#include "xbase/frame/engine.h"
#endif

namespace {

struct Totals {
  uint64_t records = 0;
  uint64_t fields = 0;
  double numbers = 0;  // sum of every 'N' and 'F' value
  uint64_t bytes = 0;  // first and last byte of every text, logical flags, memo blocks
};

bool Check(XBSTATUS status, const char* call) {
  if (status >= 0) return true;
  std::fprintf(stderr, "%s failed with status %d\n", call, static_cast<int>(status));
  return false;
}

// Makes record r current: through the export, or from the read-ahead buffer.
bool LoadRecord(XBHANDLE handle, uint32_t r, bool readAhead) {
  if (!readAhead) return Check(XBDDRGET(handle, r), "XBDDRGET");
#if !KV_BENCH_READ_AHEAD
  return false;
#else
  // The engine's internal calls work on the caller's context, as an export's do.
  kv::xb::Entry entry("BENCH", __LINE__);
  if (entry.refused()) return Check(entry.result(), "Entry");
  kv::xb::dbf::DataFile* file = kv::xb::dbf::SelectData(handle);
  if (file == nullptr) return Check(kv::xb::Status(), "SelectData");
  const uint8_t* record = nullptr;
  if (!Check(kv::xb::dbf::ReadAheadRecord(*file, r, &record), "ReadAheadRecord")) return false;
  std::memcpy(file->recordBytes(), record, file->recordLength);
  file->currentRecord = r;
  return true;
#endif
}

bool ReadAll(XBHANDLE handle, bool readAhead, Totals& totals) {
  uint32_t count = 0;
  if (!Check(XBDDSIZE(handle, &count), "XBDDSIZE")) return false;
  XBRECINFO info{};
  if (!Check(XBDDRINFO(handle, &info), "XBDDRINFO")) return false;
  const uint16_t fieldCount = info.fieldCount;
  std::vector<XBFIELDDEF> defs(fieldCount);
  uint16_t longest = 0;
  if (!Check(XBDDFINFO(handle, &longest, defs.data()), "XBDDFINFO")) return false;

  // A value is at most the longest field's text and its NUL, or a double.
  std::vector<char> value(size_t{longest} + 1 + sizeof(double) + 16, 0);
  for (uint32_t r = 1; r <= count; ++r) {
    if (!LoadRecord(handle, r, readAhead)) return false;
    ++totals.records;
    for (uint16_t i = 0; i < fieldCount; ++i) {
      if (!Check(XBDDFGET(handle, i, value.data()), "XBDDFGET")) return false;
      ++totals.fields;
      switch (defs[i].type) {
        case 'C':
        case 'D': {
          const size_t n = defs[i].type == 'D' ? 8 : defs[i].length;
          totals.bytes += static_cast<uint8_t>(value[0]) + static_cast<uint8_t>(value[n - 1]);
          break;
        }
        case 'N':
        case 'F': {
          double d;
          std::memcpy(&d, value.data(), sizeof d);
          totals.numbers += d;
          break;
        }
        case 'M': {
          int32_t block;
          std::memcpy(&block, value.data(), sizeof block);
          totals.bytes += static_cast<uint32_t>(block);
          break;
        }
        default:
          totals.bytes += static_cast<uint8_t>(value[0]);
          break;
      }
    }
  }
  return true;
}

}  // namespace

// The --passes mode: one open, the whole file read `passes` times.
int ReadPasses(const char* path, int passes) {
  if (!Check(XBDINIT(100, 4), "XBDINIT")) return 1;
  XBHANDLE handle = XB_NO_HANDLE;
  bool ok = Check(XBDDOPENX(&handle, path, 1 | XB_OPEN_READONLY | XB_OPEN_SHARED), "XBDDOPENX");
  for (int pass = 1; ok && pass <= passes; ++pass) {
    Totals totals;
    const auto start = std::chrono::steady_clock::now();
    ok = ReadAll(handle, false, totals);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (ok) std::printf("pass %d seconds %.3f\n", pass, elapsed.count());
  }
  if (handle != XB_NO_HANDLE) ok = Check(XBDDCLOSE(handle), "XBDDCLOSE") && ok;
  XBDTERM();
  return ok ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--passes") == 0) {
    const int passes = std::atoi(argv[2]);
    if (passes < 1 || passes > 100) {
      std::fprintf(stderr, "%s: --passes takes 1 to 100\n", argv[0]);
      return 2;
    }
    return ReadPasses(argv[3], passes);
  }
  const bool readAhead =
      KV_BENCH_READ_AHEAD && argc == 3 && std::strcmp(argv[1], "--read-ahead") == 0;
  if (argc != (readAhead ? 3 : 2)) {
    std::fprintf(stderr, "usage: %s [--passes N] %sFILE\n", argv[0],
                 KV_BENCH_READ_AHEAD ? "[--read-ahead] " : "");
    return 2;
  }
  const char* path = argv[argc - 1];
  if (!Check(XBDINIT(100, 4), "XBDINIT")) return 1;
  const auto start = std::chrono::steady_clock::now();
  XBHANDLE handle = XB_NO_HANDLE;
  bool ok = Check(XBDDOPENX(&handle, path, 1 | XB_OPEN_READONLY | XB_OPEN_SHARED), "XBDDOPENX");
  Totals totals;
  if (ok) {
    ok = ReadAll(handle, readAhead, totals);
    ok = Check(XBDDCLOSE(handle), "XBDDCLOSE") && ok;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  XBDTERM();
  if (!ok) return 1;
  std::printf("records %" PRIu64 " fields %" PRIu64 " seconds %.3f checksum %.2f/%" PRIu64 "\n",
              totals.records, totals.fields, elapsed.count(), totals.numbers, totals.bytes);
  return 0;
}
