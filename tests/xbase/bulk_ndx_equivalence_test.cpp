// Bulk against key by key: over one 200,000-record data file, XBDNINDEX and
// XBDNKADD give the same (key, record) sequence for a character field, a
// numeric field, a date field and an expression, and both files pass the
// invariant checker. Then the sizes 1, K, K + 1, K * K + 1, and one
// 1,000,000-record build.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

std::vector<std::string> PeopleRow(uint32_t r) {
  const uint32_t mix = r * 2654435761u;
  char name[11];
  std::snprintf(name, sizeof name, "P%07u", mix % 150001u);  // many duplicates
  char born[9];
  if (r % 97 == 0) {
    born[0] = '\0';
  } else {
    std::snprintf(born, sizeof born, "%04u%02u%02u", 1900 + mix % 123, 1 + (mix >> 8) % 12,
                  1 + (mix >> 12) % 28);
  }
  const double amount = static_cast<double>(static_cast<int32_t>(mix % 2000001u) - 1000000) / 100.0;
  static const char* const kCities[] = {"Bern", "Lyon", "Oslo", "Rome", "Kiel", "Graz"};
  return {name, NumberText(amount, 12, 2), born, kCities[(mix >> 20) % 6]};
}

const std::vector<BulkField> kPeople = {
    {"NAME", 'C', 10}, {"AMOUNT", 'N', 12, 2}, {"BORN", 'D', 8}, {"CITY", 'C', 6}};

class BulkNdxEquivalence : public BulkTest {
 protected:
  void Compare(XBHANDLE data, uint16_t letter, const char* expression, uint16_t length) {
    const std::string bulk = File("bulk.ndx");
    const std::string reference = File("kbk.ndx");
    ASSERT_EQ(XBDNINDEX(data, bulk.c_str(), letter, expression, length), 0) << expression;
    ASSERT_EQ(BuildNdxKeyByKey(data, reference, letter, expression, length), 0) << expression;
    NdxCheckOptions options;
    options.compacted = true;
    const NdxCheckResult a = CheckNdxFile(bulk, options);
    ASSERT_EQ(a.error, "") << expression;
    const NdxCheckResult b = CheckNdxFile(reference, NdxCheckOptions{});
    ASSERT_EQ(b.error, "") << expression;
    std::string why;
    EXPECT_TRUE(SameEntries(a.entries, b.entries, &why)) << expression << ": " << why;
    uint32_t count = 0;
    XBDDSIZE(data, &count);
    EXPECT_EQ(a.entries.size(), count);
    std::remove(bulk.c_str());
    std::remove(reference.c_str());
  }
};

TEST_F(BulkNdxEquivalence, TwoHundredThousandRecordsEveryKeyKind) {
  const uint32_t count = kSanitized ? 50000 : 200000;
  const std::string path = File("people.dbf");
  WriteDataFile(path, kPeople, count, PeopleRow);
  XBHANDLE data = OpenData(path);
  Compare(data, 'C', "NAME", 10);
  Compare(data, 'N', "AMOUNT", 8);
  Compare(data, 'D', "BORN", 8);
  Compare(data, 'C', "CITY+NAME", 16);
}

TEST_F(BulkNdxEquivalence, SizesAroundThePageCapacity) {
  // A 100-byte key gives K = 4, so K * K + 1 and beyond stay small.
  const std::string path = File("sizes.dbf");
  for (uint16_t length : {uint16_t{10}, uint16_t{100}}) {
    const uint32_t K = 504 / (((length + 3u) & ~3u) + 8u);
    for (uint32_t count : {1u, K, K + 1, K * K + 1, K * K * K + 1}) {
      WriteDataFile(path, kPeople, count, PeopleRow);
      XBHANDLE data = OpenData(path);
      Compare(data, 'C', length == 10 ? "NAME" : "CITY+NAME+NAME+NAME", length);
      Compare(data, 'N', "AMOUNT", 8);
      ASSERT_EQ(XBDDCLOSE(data), 0);
      openData_.clear();
    }
  }
}

TEST_F(BulkNdxEquivalence, OneMillionRecords) {
  // Under the sanitizers the build runs over a quarter of the records.
  const uint32_t count = kSanitized ? 250000 : 1000000;
  const std::string path = File("million.dbf");
  WriteDataFile(path, {{"NAME", 'C', 10}}, count, [](uint32_t r) {
    char name[11];
    std::snprintf(name, sizeof name, "%010u", (r * 2654435761u) % 4000037u);
    return std::vector<std::string>{name};
  });
  XBHANDLE data = OpenData(path);
  const std::string ndx = File("million.ndx");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  std::printf(
      "bulk build of %u records: %lld ms\n", count,
      static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
  NdxCheckOptions options;
  options.compacted = true;
  const NdxCheckResult result = CheckNdxFile(ndx, options);
  ASSERT_EQ(result.error, "");
  ASSERT_EQ(result.entries.size(), count);
  // Every record once.
  std::vector<bool> seen(count + 1, false);
  for (const auto& e : result.entries) {
    ASSERT_FALSE(seen[e.record]) << e.record;
    seen[e.record] = true;
  }
}

}  // namespace
}  // namespace kvtest
