// The sort pieces of the bulk build: the sortable form of doubles (order and
// round trip over awkward values), the element order with and without the
// collating table, and the in-place sort of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/xbase/bulk_fixture.h"
#include "xbase/build/bulk_internal.h"
#include "xbase/frame/endian.h"
#include "xbase/index/frame/key_compare.h"

namespace kvtest {
namespace {

using kv::xb::bulk::ElementOrder;
using kv::xb::bulk::FromSortableDouble;
using kv::xb::bulk::SortElements;
using kv::xb::bulk::ToSortableDouble;

std::vector<double> AwkwardDoubles() {
  const double inf = std::numeric_limits<double>::infinity();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double big = std::numeric_limits<double>::max();
  std::vector<double> v = {
      -inf,  -big,  -1e100, -1.5, -1.0,     -std::numeric_limits<double>::min(), -tiny * 3,
      -tiny, -0.0,  0.0,    tiny, tiny * 3, std::numeric_limits<double>::min(),  1.0,
      1.5,   1e100, big,    inf};
  std::mt19937_64 rng(20261208);
  for (int i = 0; i < 20000; ++i) {
    // Random bit patterns cover every exponent; NaNs are left out (they
    // have no place in an order of numbers).
    const double d = std::bit_cast<double>(rng());
    if (!std::isnan(d)) v.push_back(d);
  }
  return v;
}

TEST(BulkSortableDouble, BytewiseOrderIsNumericOrderAndRoundTrips) {
  std::vector<double> values = AwkwardDoubles();
  for (double d : values) {
    uint8_t bytes[8];
    ToSortableDouble(d, bytes);
    const double back = FromSortableDouble(bytes);
    ASSERT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(d)) << d;
  }
  std::sort(values.begin(), values.end(), [](double a, double b) {
    uint8_t x[8], y[8];
    ToSortableDouble(a, x);
    ToSortableDouble(b, y);
    return std::memcmp(x, y, 8) < 0;
  });
  for (size_t i = 1; i < values.size(); ++i) {
    const double a = values[i - 1];
    const double b = values[i];
    ASSERT_LE(a, b) << i;
    // The key comparison of the NDX family agrees, -0.0 before 0.0 included.
    uint8_t ka[8], kb[8];
    std::memcpy(ka, &a, 8);
    std::memcpy(kb, &b, 8);
    if (std::bit_cast<uint64_t>(a) != std::bit_cast<uint64_t>(b)) {
      ASSERT_LT(kv::xb::index::CompareKeys(ka, kb, kv::xb::index::kCompareDouble, 8), 0)
          << a << " " << b;
    }
  }
  uint8_t minus[8], plus[8];
  ToSortableDouble(-0.0, minus);
  ToSortableDouble(0.0, plus);
  EXPECT_LT(std::memcmp(minus, plus, 8), 0);
}

TEST(BulkSortableDouble, KnownForms) {
  uint8_t b[8];
  ToSortableDouble(0.0, b);
  EXPECT_EQ(b[0], 0x80);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(b[i], 0);
  ToSortableDouble(-0.0, b);
  EXPECT_EQ(b[0], 0x7F);
  for (int i = 1; i < 8; ++i) EXPECT_EQ(b[i], 0xFF);
  ToSortableDouble(1.0, b);  // 3FF0000000000000 with the sign bit set
  EXPECT_EQ(b[0], 0xBF);
  EXPECT_EQ(b[1], 0xF0);
  ToSortableDouble(-1.0, b);  // BFF0000000000000 inverted
  EXPECT_EQ(b[0], 0x40);
  EXPECT_EQ(b[1], 0x0F);
}

std::vector<uint8_t> Elements(const std::vector<std::pair<std::string, uint32_t>>& items,
                              size_t keyLength) {
  std::vector<uint8_t> out;
  for (const auto& [key, record] : items) {
    std::string k = key;
    k.resize(keyLength, ' ');
    out.insert(out.end(), k.begin(), k.end());
    uint8_t r[4];
    kv::xb::PutBE32(r, record);
    out.insert(out.end(), r, r + 4);
  }
  return out;
}

TEST(BulkElementOrder, SortsRunsInPlaceBytewise) {
  std::mt19937 rng(7);
  for (uint32_t count : {0u, 1u, 2u, 3u, 100u, 4642u}) {
    std::vector<std::pair<std::string, uint32_t>> items;
    for (uint32_t i = 0; i < count; ++i) {
      items.push_back({std::string(1, static_cast<char>('A' + rng() % 5)) +
                           std::string(1, static_cast<char>(rng() % 256)),
                       rng() % 100000 + 1});
    }
    std::vector<uint8_t> elements = Elements(items, 10);
    std::vector<uint32_t> scratch(count + 1);
    const ElementOrder order(10, false);
    SortElements(elements.data(), count, order, scratch.data());
    // Same multiset, in bytewise order.
    std::vector<std::string> expected;
    for (uint32_t i = 0; i < count; ++i) {
      const std::vector<uint8_t> one = Elements({items[i]}, 10);
      expected.emplace_back(one.begin(), one.end());
    }
    std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
      return std::memcmp(a.data(), b.data(), a.size()) < 0;
    });
    for (uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(std::memcmp(elements.data() + i * 14, expected[i].data(), 14), 0) << i;
    }
  }
}

class BulkCollatedOrder : public BulkTest {};

TEST_F(BulkCollatedOrder, CollatingTableThenRecordNumber) {
  UseCollatingOrder();
  const ElementOrder order(4, true);
  auto less = [&](const std::string& a, uint32_t ra, const std::string& b, uint32_t rb) {
    const auto x = Elements({{a, ra}}, 4);
    const auto y = Elements({{b, rb}}, 4);
    return order.Less(x.data(), y.data());
  };
  EXPECT_TRUE(less("Z", 9, "a", 1));  // upper case before lower case
  EXPECT_FALSE(less("a", 1, "Z", 9));
  EXPECT_TRUE(less("E", 9, "\xC9", 1));  // E, then É, then F
  EXPECT_TRUE(less("\xC9", 9, "F", 1));
  EXPECT_TRUE(less("9", 9, "A", 1));
  // Bytes the table does not hold compare equal: the record number decides,
  // whatever the bytes, as key-by-key insertion orders them.
  EXPECT_TRUE(less("\x02", 1, "\x01", 2));
  EXPECT_FALSE(less("\x01", 2, "\x02", 1));
  // Bytewise, without the table.
  const ElementOrder bytes(4, false);
  const auto z = Elements({{"Z", 9}}, 4);
  const auto a = Elements({{"a", 1}}, 4);
  EXPECT_TRUE(bytes.Less(z.data(), a.data()));
  const auto e = Elements({{"\xC9", 1}}, 4);
  const auto f = Elements({{"F", 1}}, 4);
  EXPECT_FALSE(bytes.Less(e.data(), f.data()));
}

}  // namespace
}  // namespace kvtest
