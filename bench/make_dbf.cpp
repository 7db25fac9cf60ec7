// Writes a dBASE III data file of N records with ten fields of mixed types
// for the sequential-read benchmark. The values come from a fixed-seed
// generator, so every run writes the same bytes.
//
//   bench_make_dbf FILE [RECORDS]   (RECORDS defaults to 1,000,000)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "xbase/frame/endian.h"

namespace {

struct FieldSpec {
  const char* name;
  char type;
  uint8_t length;
  uint8_t decimals;
};

// C, N with decimals, N integer, D, L, F, C, N, D, C.
constexpr FieldSpec kFields[] = {
    {"NAME", 'C', 20, 0},   {"AMOUNT", 'N', 12, 2}, {"QTY", 'N', 8, 0},   {"BORN", 'D', 8, 0},
    {"ACTIVE", 'L', 1, 0},  {"RATIO", 'F', 15, 4},  {"CITY", 'C', 30, 0}, {"CODE", 'N', 10, 0},
    {"SHIPPED", 'D', 8, 0}, {"NOTE", 'C', 12, 0},
};
constexpr int kFieldCount = sizeof kFields / sizeof kFields[0];
constexpr int kDescriptorSize = 32;
constexpr uint16_t kHeaderLength = 32 + kDescriptorSize * kFieldCount + 1;

constexpr const char* kWords[] = {"amber", "birch",  "cedar", "delta",   "ember",   "fjord",
                                  "grove", "harbor", "iris",  "juniper", "kestrel", "linden"};
constexpr const char* kCities[] = {"Aachen",  "Bergen",    "Coimbra", "Dundee",
                                   "Esbjerg", "Flensburg", "Genoa",   "Haarlem"};

// xorshift64*: small, fast and the same on every machine.
struct Random {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
};

uint16_t RecordLength() {
  uint16_t length = 1;  // the deletion flag
  for (const FieldSpec& f : kFields) length = static_cast<uint16_t>(length + f.length);
  return length;
}

std::vector<uint8_t> Header(uint32_t records) {
  std::vector<uint8_t> h(kHeaderLength, 0);
  h[0] = 0x03;  // dBASE III without memo
  h[1] = 125;   // last update 2025-01-01 (year - 1900)
  h[2] = 1;
  h[3] = 1;
  kv::xb::PutLE32(&h[4], records);
  kv::xb::PutLE16(&h[8], kHeaderLength);
  kv::xb::PutLE16(&h[10], RecordLength());
  for (int i = 0; i < kFieldCount; ++i) {
    uint8_t* d = &h[32 + i * kDescriptorSize];
    std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));  // NUL-padded to 11
    d[11] = static_cast<uint8_t>(kFields[i].type);
    d[16] = kFields[i].length;
    d[17] = kFields[i].decimals;
  }
  h[kHeaderLength - 1] = 0x0D;
  return h;
}

// Writes `text` left-aligned and space-padded into the field.
void PutText(char* field, size_t width, const std::string& text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text.data(), text.size() < width ? text.size() : width);
}

// Writes a number right-aligned as dBASE does; `text` always fits here.
void PutNumber(char* field, size_t width, const char* text) {
  const size_t n = std::strlen(text);
  std::memset(field, ' ', width);
  std::memcpy(field + (width - n), text, n);
}

void PutDate(char* field, Random& random) {
  char text[9];
  const unsigned year = 1900 + random.Below(200);
  const unsigned month = 1 + random.Below(12);
  const unsigned day = 1 + random.Below(28);
  std::snprintf(text, sizeof text, "%04u%02u%02u", year, month, day);
  std::memcpy(field, text, 8);
}

void FillRecord(char* record, uint32_t number, Random& random) {
  char text[32];
  char* at = record;
  *at++ = ' ';  // not deleted
  // NAME
  PutText(at, 20, std::string(kWords[random.Below(12)]) + " " + kWords[random.Below(12)]);
  at += 20;
  // AMOUNT N(12,2)
  const double amount = (static_cast<double>(random.Below(200000000)) - 50000000.0) / 100.0;
  std::snprintf(text, sizeof text, "%.2f", amount);
  PutNumber(at, 12, text);
  at += 12;
  // QTY N(8,0)
  std::snprintf(text, sizeof text, "%u", random.Below(10000000));
  PutNumber(at, 8, text);
  at += 8;
  // BORN D
  PutDate(at, random);
  at += 8;
  // ACTIVE L
  *at++ = random.Below(2) != 0 ? 'T' : 'F';
  // RATIO F(15,4)
  std::snprintf(text, sizeof text, "%.4f", static_cast<double>(random.Below(1000000000)) / 9973.0);
  PutNumber(at, 15, text);
  at += 15;
  // CITY
  PutText(at, 30,
          std::string(kCities[random.Below(8)]) + " district " + std::to_string(random.Below(100)));
  at += 30;
  // CODE N(10,0): the record number, so a reader's sum can be checked
  std::snprintf(text, sizeof text, "%u", number);
  PutNumber(at, 10, text);
  at += 10;
  // SHIPPED D: every 16th is empty
  if (random.Below(16) == 0) {
    std::memset(at, ' ', 8);
  } else {
    PutDate(at, random);
  }
  at += 8;
  // NOTE
  std::snprintf(text, sizeof text, "n%08x", static_cast<unsigned>(random.Next()));
  PutText(at, 12, text);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s FILE [RECORDS]\n", argv[0]);
    return 2;
  }
  const uint32_t records =
      argc == 3 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 1000000u;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const std::vector<uint8_t> header = Header(records);
  bool ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();

  // Records are written in batches so that the writer is not the slow part.
  const size_t length = RecordLength();
  constexpr uint32_t kBatch = 4096;
  std::vector<char> batch(length * kBatch);
  Random random;
  for (uint32_t first = 1; ok && first <= records; first += kBatch) {
    const uint32_t count = records - first + 1 < kBatch ? records - first + 1 : kBatch;
    for (uint32_t i = 0; i < count; ++i) FillRecord(&batch[i * length], first + i, random);
    ok = std::fwrite(batch.data(), length, count, out) == count;
  }
  ok = ok && std::fputc(0x1A, out) != EOF;
  ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "%s: write failed\n", argv[1]);
    return 1;
  }
  return 0;
}
