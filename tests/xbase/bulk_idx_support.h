// Helpers of the IDX and NTX bulk-build tests: the shared data file with
// character, numeric and date fields, the key-by-key reference builds
// through the exported calls, and a build that feeds a family's page writer
// from keys sorted in memory (the pages on their own, without the sort file).
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "tests/support/dbf_builder.h"
#include "xbase/build/bulk_build.h"

namespace kvtest {

// NAME C 10 (few distinct values, varied lengths, so that equal keys and
// trailing blanks abound), AMOUNT N 10 2 (negative, zero, positive), BORN D 8
// (one in 40 blank), CODE C 3.
inline void WriteBulkDataFile(const std::string& path, uint32_t records, uint32_t seed,
                              uint32_t distinctNames = 0) {
  std::mt19937 rng(seed);
  DbfBuilder b;
  b.Version(0x03)
      .Field("NAME", 'C', 10)
      .Field("AMOUNT", 'N', 10, 2)
      .Field("BORN", 'D', 8)
      .Field("CODE", 'C', 3);
  if (distinctNames == 0) distinctNames = records / 3 + 1;
  for (uint32_t r = 0; r < records; ++r) {
    const uint32_t n = rng() % distinctNames;
    // Distinct numbers give distinct names; their lengths vary.
    std::string name = "N" + std::to_string(n * 7919 % 1000003);
    const size_t length = 1 + n % 10;
    if (name.size() < length) name.append(length - name.size(), static_cast<char>('a' + n % 26));
    char amount[32];
    const int cents = static_cast<int>(rng() % 200001) - 100000;
    std::snprintf(amount, sizeof amount, "%10.2f", rng() % 50 == 0 ? 0.0 : cents / 100.0);
    char born[16] = "        ";
    if (rng() % 40 != 0) {
      const unsigned year = 1900 + static_cast<unsigned>(rng() % 200);
      const unsigned month = 1 + static_cast<unsigned>(rng() % 12);
      const unsigned day = 1 + static_cast<unsigned>(rng() % 28);
      std::snprintf(born, sizeof born, "%04u%02u%02u", year, month, day);
    }
    std::string code(3, 'A');
    for (char& c : code) c = static_cast<char>('A' + rng() % 26);
    b.Row({name, amount, born, code});
  }
  b.WriteTo(path);
}

// One key of the tests: expression, type, key length, NTX decimals.
struct BulkKey {
  const char* name;
  const char* expression;
  char type;
  uint16_t length;
  uint16_t decimals;
};

inline const std::vector<BulkKey>& IdxBulkKeys() {
  static const std::vector<BulkKey> keys = {{"character", "NAME", 'C', 10, 0},
                                            {"numeric", "AMOUNT", 'N', 8, 0},
                                            {"date", "BORN", 'D', 8, 0},
                                            {"expression", "CODE+NAME", 'C', 13, 0}};
  return keys;
}

inline const std::vector<BulkKey>& NtxBulkKeys() {
  static const std::vector<BulkKey> keys = {{"character", "NAME", 'C', 10, 0},
                                            {"numeric", "AMOUNT", 'N', 10, 2},
                                            {"date", "BORN", 'D', 8, 0},
                                            {"expression", "CODE+NAME", 'C', 13, 0}};
  return keys;
}

// The reference: every record's key made with XBDIKMAKE and added with
// XBDIKADD, in record order.
inline void BuildIdxByKeys(XBHANDLE data, const std::string& path, uint16_t typeWord,
                           const BulkKey& k) {
  ASSERT_EQ(XBDICREATE(path.c_str(), typeWord, k.expression, k.length), 0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDIOPENX(&h, path.c_str(), 0), 0);
  ASSERT_EQ(XBDIKTYPE(h, static_cast<uint16_t>(k.type)), 0);
  uint32_t count = 0;
  ASSERT_EQ(XBDDSIZE(data, &count), 0);
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_EQ(XBDDRGET(data, r), 0);
    void* key = nullptr;
    ASSERT_EQ(XBDIKMAKE(data, h, &key), 0);
    ASSERT_EQ(XBDIKADD(h, key, r), 0) << "record " << r;
    ASSERT_EQ(XBMFREE(key), 0);
  }
  ASSERT_EQ(XBDICLOSE(h), 0);
}

inline void BuildNtxByKeys(XBHANDLE data, const std::string& path, const BulkKey& k) {
  ASSERT_EQ(
      XBDCCREATE(path.c_str(), static_cast<uint16_t>(k.type), k.expression, k.length, k.decimals),
      0);
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDCOPENX(&h, path.c_str(), 0), 0);
  uint32_t count = 0;
  ASSERT_EQ(XBDDSIZE(data, &count), 0);
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_EQ(XBDDRGET(data, r), 0);
    void* key = nullptr;
    ASSERT_EQ(XBDCKMAKE(data, h, &key), 0);
    ASSERT_EQ(XBDCKADD(h, key, r), 0) << "record " << r;
    ASSERT_EQ(XBMFREE(key), 0);
  }
  ASSERT_EQ(XBDCCLOSE(h), 0);
}

// Sort elements (key, record most significant first) in index order.
inline std::vector<std::string> SortedElements(std::vector<std::string> elements) {
  std::sort(elements.begin(), elements.end());
  return elements;
}

inline std::string Element(const uint8_t* key, size_t length, uint32_t record) {
  std::string e(reinterpret_cast<const char*>(key), length);
  for (int i = 3; i >= 0; --i) e.push_back(static_cast<char>(record >> (8 * i)));
  return e;
}

inline uint32_t ElementRecord(const std::string& e) {
  const size_t n = e.size();
  return uint32_t{static_cast<uint8_t>(e[n - 4])} << 24 |
         uint32_t{static_cast<uint8_t>(e[n - 3])} << 16 |
         uint32_t{static_cast<uint8_t>(e[n - 2])} << 8 | uint32_t{static_cast<uint8_t>(e[n - 1])};
}

// Feeds a family the way the build does, with the keys of every record
// sorted in memory: the family's pages are tested on their own.
inline void FeedInMemory(XBHANDLE data, kv::xb::bulk::FamilyBuilder& family) {
  uint32_t count = 0;
  ASSERT_EQ(XBDDSIZE(data, &count), 0);
  const size_t L = static_cast<size_t>(family.KeyLength());
  std::vector<std::string> elements;
  elements.reserve(count);
  std::vector<uint8_t> key(L);
  for (uint32_t r = 1; r <= count; ++r) {
    ASSERT_EQ(XBDDRGET(data, r), 0);
    ASSERT_EQ(family.MakeKey(data, r, key.data()), 0);
    elements.push_back(Element(key.data(), L, r));
  }
  for (const std::string& e : SortedElements(std::move(elements))) {
    ASSERT_EQ(family.Append(reinterpret_cast<const uint8_t*>(e.data()), ElementRecord(e)), 0);
  }
  if (count > 0) {
    ASSERT_EQ(family.Finish(), 0);
  }
}

}  // namespace kvtest

namespace kvtest {

// One field NAME C 10: distinct keys in record order (the first n keys are
// the same in every file, so that node capacities carry over from one size
// to the next), or one key for every record.
inline void WriteNameDataFile(const std::string& path, uint32_t records, bool allEqual) {
  DbfBuilder b;
  b.Version(0x03).Field("NAME", 'C', 10);
  for (uint32_t r = 1; r <= records; ++r) {
    char name[16];
    std::snprintf(name, sizeof name, "K%09u", static_cast<unsigned>(r * 10u));
    b.Row({allEqual ? std::string("SAME") : std::string(name)});
  }
  b.WriteTo(path);
}

}  // namespace kvtest
