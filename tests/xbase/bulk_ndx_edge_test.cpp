// Edge cases of XBDNINDEX: empty data files, equal keys, numeric and date
// keys read back as the same doubles, the page shapes of K, K + 1,
// K * K + 1 and K * (K + 1) + 1 records, the collating order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/xbase/bulk_fixture.h"
#include "tests/xbase/ndx_support.h"

namespace kvtest {
namespace {

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}
uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}
double KeyDouble(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = (bits << 8) | static_cast<uint8_t>(key[static_cast<size_t>(i)]);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

class BulkNdxEdge : public BulkTest {
 protected:
  // A data file of `count` records with a 10-character NAME from `name`.
  XBHANDLE NamesFile(uint32_t count, const std::function<std::string(uint32_t)>& name) {
    const std::string path = File("names.dbf");
    WriteDataFile(path, {{"NAME", 'C', 10}}, count,
                  [&](uint32_t r) { return std::vector<std::string>{name(r)}; });
    return OpenData(path);
  }
  NdxCheckResult Check(const std::string& path, int asciiSort = 1) {
    NdxCheckOptions options;
    options.asciiSort = asciiSort;
    options.compacted = true;
    NdxCheckResult result = CheckNdxFile(path, options);
    EXPECT_EQ(result.error, "") << path;
    return result;
  }
};

TEST_F(BulkNdxEdge, EmptyDataFileGivesAnEmptyIndex) {
  XBHANDLE data = NamesFile(0, [](uint32_t) { return ""; });
  const std::string ndx = File("empty.ndx");
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  const auto bytes = ReadAll(ndx);
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(Le32(bytes, 0), 1u);
  EXPECT_EQ(Le32(bytes, 4), 2u);
  const NdxCheckResult result = Check(ndx);
  EXPECT_TRUE(result.entries.empty());
  XBHANDLE h = XB_NO_HANDLE;
  ASSERT_EQ(XBDNOPENX(&h, ndx.c_str(), 0), 0);
  char key[16];
  uint32_t r = 0;
  EXPECT_EQ(XBDNKTOP(h, key, &r), XB_INDEX_EMPTY);
  EXPECT_EQ(XBDNCLOSE(h), 0);
}

TEST_F(BulkNdxEdge, EqualKeysComeInRecordOrder) {
  // Three keys, each over many records spread across runs and pages.
  XBHANDLE data = NamesFile(3000, [](uint32_t r) { return std::string(1, "BCA"[(r * 7) % 3]); });
  const std::string ndx = File("equal.ndx");
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  const NdxCheckResult result = Check(ndx);
  ASSERT_EQ(result.entries.size(), 3000u);
  for (size_t i = 1; i < result.entries.size(); ++i) {
    const auto& a = result.entries[i - 1];
    const auto& b = result.entries[i];
    ASSERT_TRUE(a.key < b.key || (a.key == b.key && a.record < b.record)) << i;
  }
}

TEST_F(BulkNdxEdge, AllKeysEqual) {
  for (uint32_t count : {1u, 25u, 26u, 626u, 20000u}) {
    XBHANDLE data = NamesFile(count, [](uint32_t) { return "SAME"; });
    const std::string ndx = File("same" + std::to_string(count) + ".ndx");
    ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
    const NdxCheckResult result = Check(ndx);
    ASSERT_EQ(result.entries.size(), count);
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(result.entries[i].record, i + 1);
    XBDDCLOSE(data);
    openData_.clear();
  }
}

TEST_F(BulkNdxEdge, NumericKeysFromFieldAndExpressionReadBackAsTheSameDoubles) {
  std::vector<double> values = {-1e9, -12345.67, -1.5, -0.01, 0.0, 0.01, 2.5, 99.99, 1e9, -0.0};
  const uint32_t count = 5000;
  const std::string path = File("numbers.dbf");
  WriteDataFile(path, {{"AMOUNT", 'N', 14, 2}, {"OTHER", 'N', 6, 0}}, count, [&](uint32_t r) {
    const double v = values[(r * 31) % values.size()] + ((r % 7) == 0 ? 0 : 0.01 * (r % 5));
    return std::vector<std::string>{NumberText(v, 14, 2), NumberText(r % 3, 6, 0)};
  });
  XBHANDLE data = OpenData(path);
  const std::string fromField = File("field.ndx");
  const std::string fromExpression = File("expr.ndx");
  ASSERT_EQ(XBDNINDEX(data, fromField.c_str(), 'N', "AMOUNT", 8), 0);
  ASSERT_EQ(XBDNINDEX(data, fromExpression.c_str(), 'N', "AMOUNT+OTHER", 8), 0);
  for (const std::string& ndx : {fromField, fromExpression}) {
    const NdxCheckResult result = Check(ndx);
    ASSERT_EQ(result.entries.size(), count);
    std::vector<double> expected;
    for (uint32_t r = 1; r <= count; ++r) {
      ASSERT_EQ(XBDDRGET(data, r), 0);
      double amount = 0, other = 0;
      ASSERT_EQ(XBDDFNGET(data, "AMOUNT", &amount), 0);
      ASSERT_EQ(XBDDFNGET(data, "OTHER", &other), 0);
      expected.push_back(ndx == fromField ? amount : amount + other);
    }
    for (const auto& e : result.entries) {
      const double got = KeyDouble(e.key);
      // Exactly the double the record gives, bit for bit.
      const double want = expected[e.record - 1];
      ASSERT_EQ(std::memcmp(&got, &want, 8), 0) << e.record;
    }
    for (size_t i = 1; i < result.entries.size(); ++i) {
      const double a = KeyDouble(result.entries[i - 1].key);
      const double b = KeyDouble(result.entries[i].key);
      ASSERT_TRUE(a < b || (a == b && result.entries[i - 1].record < result.entries[i].record))
          << i;
    }
    EXPECT_LT(KeyDouble(result.entries.front().key), 0);
    EXPECT_GT(KeyDouble(result.entries.back().key), 0);
  }
}

TEST_F(BulkNdxEdge, DateKeysAreDayNumbersWithBlankDatesLast) {
  const std::string path = File("dates.dbf");
  WriteDataFile(path, {{"BORN", 'D', 8}}, 400, [](uint32_t r) {
    if (r % 10 == 0) return std::vector<std::string>{""};
    char text[9];
    std::snprintf(text, sizeof text, "%04u%02u%02u", 1900 + (r * 37) % 200, 1 + r % 12, 1 + r % 28);
    return std::vector<std::string>{text};
  });
  XBHANDLE data = OpenData(path);
  const std::string fromField = File("born.ndx");
  const std::string keyByKey = File("born_kbk.ndx");
  ASSERT_EQ(XBDNINDEX(data, fromField.c_str(), 'D', "BORN", 8), 0);
  ASSERT_EQ(BuildNdxKeyByKey(data, keyByKey, 'D', "BORN", 8), 0);
  const NdxCheckResult bulk = Check(fromField);
  const NdxCheckResult reference = Check(keyByKey);
  std::string why;
  EXPECT_TRUE(SameEntries(bulk.entries, reference.entries, &why)) << why;
  ASSERT_EQ(bulk.entries.size(), 400u);
  EXPECT_EQ(KeyDouble(bulk.entries.back().key), 1.0E100);
  EXPECT_EQ(bulk.entries.back().record, 400u);
}

// K = 25 for a 10-byte key (entries of 20 bytes).
constexpr uint32_t kK = 25;

TEST_F(BulkNdxEdge, KRecordsMakeOneLeafThatIsTheRoot) {
  XBHANDLE data = NamesFile(kK, [](uint32_t r) { return "N" + std::to_string(1000 - r); });
  const std::string ndx = File("k.ndx");
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  const auto bytes = ReadAll(ndx);
  ASSERT_EQ(bytes.size(), 1024u);
  EXPECT_EQ(Le32(bytes, 0), 1u);
  EXPECT_EQ(Le32(bytes, 4), 2u);
  EXPECT_EQ(bytes[512], kK);
  EXPECT_EQ(Le32(bytes, 516), 0u);  // a leaf
  const NdxCheckResult result = Check(ndx);
  EXPECT_EQ(result.depth, 0);  // levels below the root
  EXPECT_EQ(result.entries.size(), kK);
}

TEST_F(BulkNdxEdge, KPlusOneRecordsMakeTwoLeavesUnderARootWithOneKey) {
  XBHANDLE data = NamesFile(kK + 1, [](uint32_t r) { return "N" + std::to_string(1000 - r); });
  const std::string ndx = File("k1.ndx");
  ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0);
  const auto bytes = ReadAll(ndx);
  ASSERT_EQ(bytes.size(), 4u * 512);
  const uint32_t root = Le32(bytes, 0);
  ASSERT_EQ(Le32(bytes, 4), 4u);
  const size_t at = size_t{root} * 512;
  EXPECT_EQ(bytes[at], 1);  // one key
  const uint32_t left = Le32(bytes, at + 4);
  const uint32_t right = Le32(bytes, at + 4 + 20);
  EXPECT_NE(left, 0u);
  EXPECT_NE(right, 0u);
  EXPECT_EQ(bytes[left * 512], kK);
  EXPECT_EQ(bytes[right * 512], 1);
  // The root's key is the first leaf's last key.
  EXPECT_EQ(std::memcmp(&bytes[at + 12], &bytes[left * 512 + 12 + (kK - 1) * 20], 10), 0);
  const NdxCheckResult result = Check(ndx);
  EXPECT_EQ(result.depth, 1);
  EXPECT_EQ(result.entries.size(), kK + 1);
}

TEST_F(BulkNdxEdge, LargerShapesPassTheCheckerAndSearchesFindEveryKey) {
  // K*K+1 fills a root; K*(K+1)+1 would leave a level's last page without
  // a key if a full page were closed before more is known to follow.
  for (uint32_t count :
       {kK * kK, kK * kK + 1, kK * (kK + 1), kK * (kK + 1) + 1, kK * (kK + 1) * (kK + 1) + 1}) {
    XBHANDLE data = NamesFile(count, [](uint32_t r) {
      char text[11];
      std::snprintf(text, sizeof text, "%010u", (r * 2654435761u) % 1000003u);
      return std::string(text);
    });
    const std::string ndx = File("shape" + std::to_string(count) + ".ndx");
    ASSERT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NAME", 10), 0) << count;
    const NdxCheckResult result = Check(ndx);
    ASSERT_EQ(result.entries.size(), count);
    XBHANDLE h = XB_NO_HANDLE;
    ASSERT_EQ(XBDNOPENX(&h, ndx.c_str(), 0), 0);
    for (uint32_t r = 1; r <= count; r += 97) {
      char key[11];
      std::snprintf(key, sizeof key, "%010u", (r * 2654435761u) % 1000003u);
      uint32_t found = r;
      ASSERT_EQ(XBDNKFIND(h, key, &found, XB_FIND_EXACT), 0) << r;
      ASSERT_EQ(found, r);
    }
    // The tree takes key-by-key changes after a bulk build.
    for (uint32_t r = 1; r <= 200; ++r) ASSERT_EQ(XBDNKADD(h, "ZZZ", count + r), 0);
    for (uint32_t r = 1; r <= count; r += 3) {
      char key[11];
      std::snprintf(key, sizeof key, "%010u", (r * 2654435761u) % 1000003u);
      ASSERT_EQ(XBDNKDEL(h, key, r), 0) << r;
    }
    ASSERT_EQ(XBDNCLOSE(h), 0);
    NdxCheckOptions options;
    options.compacted = true;
    EXPECT_EQ(CheckNdxFile(ndx, options).error, "") << count;
    XBDDCLOSE(data);
    openData_.clear();
  }
}

TEST_F(BulkNdxEdge, CollatingOrderWithAsciiSortZero) {
  UseCollatingOrder();
  const std::vector<std::string> names = {"apple", "Zebra", "\xC9lan", "Eve", "Fox", "a",
                                          "Z",     "\x01x", "\x02x",   "10",  "9"};
  const uint32_t count = 3000;
  XBHANDLE data = NamesFile(count, [&](uint32_t r) { return names[(r * 13) % names.size()]; });
  const std::string bulk = File("collated.ndx");
  const std::string reference = File("collated_kbk.ndx");
  ASSERT_EQ(XBDNINDEX(data, bulk.c_str(), 'C', "NAME", 10), 0);
  ASSERT_EQ(BuildNdxKeyByKey(data, reference, 'C', "NAME", 10), 0);
  const NdxCheckResult a = Check(bulk, 0);
  const NdxCheckResult b = Check(reference, 0);
  std::string why;
  EXPECT_TRUE(SameEntries(a.entries, b.entries, &why)) << why;
  // Lower-case a after upper-case Z, É between E and F.
  auto firstOf = [&](const std::string& name) {
    const std::string key = Padded(name, 10);
    for (size_t i = 0; i < a.entries.size(); ++i)
      if (a.entries[i].key == key) return i;
    return a.entries.size();
  };
  EXPECT_LT(firstOf("Zebra"), firstOf("a"));
  EXPECT_LT(firstOf("Eve"), firstOf("\xC9lan"));
  EXPECT_LT(firstOf("\xC9lan"), firstOf("Fox"));
}

TEST_F(BulkNdxEdge, BadArgumentsLeaveNoFile) {
  XBHANDLE data = NamesFile(10, [](uint32_t r) { return std::to_string(r); });
  const std::string ndx = File("bad.ndx");
  EXPECT_EQ(XBDNINDEX(data, ndx.c_str(), 'X', "NAME", 10), XB_E_KEY_TYPE);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(ndx).good());
  EXPECT_EQ(XBDNINDEX(static_cast<XBHANDLE>(data + 7), ndx.c_str(), 'C', "NAME", 10), XB_E_HANDLE);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(ndx).good());
  // An expression the evaluator refuses fails on the first record.
  EXPECT_EQ(XBDNINDEX(data, ndx.c_str(), 'C', "NOSUCH(NAME", 10), XB_E_EXPRESSION);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(ndx).good());
  // A numeric result for a character index.
  EXPECT_EQ(XBDNINDEX(data, ndx.c_str(), 'N', "NAME", 8), XB_E_EXPRESSION);
  XBESCODE(0);
  EXPECT_FALSE(std::ifstream(ndx).good());
}

}  // namespace
}  // namespace kvtest
