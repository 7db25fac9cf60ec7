// The number texts, the automatic graduation step, the value scale and the
// placeable header, at their boundaries.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "chart/draw/box.h"
#include "chart/draw/number_text.h"
#include "chart/draw/placeable_header.h"
#include "chart/draw/value_scale.h"

namespace {

using namespace kv::chart;

TEST(NumberText, GraduationsAndColumnValues) {
  EXPECT_EQ(ScaleNumberText(2.5e5), "2.5E+005");
  EXPECT_EQ(ScaleNumberText(100000), "1E+005");
  EXPECT_EQ(ScaleNumberText(99999.5), "99999.5");
  EXPECT_EQ(ScaleNumberText(123456789), "1.2345E+008");  // the fifth decimal is cut, not rounded
  EXPECT_EQ(ScaleNumberText(1.5e300), "1.5E+300");
  EXPECT_EQ(ScaleNumberText(20), "20");
  EXPECT_EQ(ScaleNumberText(0.25), "0.25");
  EXPECT_EQ(ScaleNumberText(-12.5), "-12.5");
  EXPECT_EQ(ScaleNumberText(0.0000001), "0");
  EXPECT_EQ(ScaleNumberText(-250000), "-250000");  // only large positive values take the exponent
  EXPECT_EQ(ScaleNumberText(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(ScaleNumberText(-1e300).size(), 302u);  // the whole number, without overflow
}

TEST(NumberText, PieValuesAndPercentagesAreCutByTheSpread) {
  EXPECT_EQ(PieNumberText(33.333333, 100), "33.3");
  EXPECT_EQ(PieNumberText(33.399, 100), "33.3");   // cut, not rounded
  EXPECT_EQ(PieNumberText(12.3456, 501), "12");    // above 500: no decimals
  EXPECT_EQ(PieNumberText(12.3456, 500), "12.3");  // 500 itself: one
  EXPECT_EQ(PieNumberText(12.3456, 99.99), "12.34");
  EXPECT_EQ(PieNumberText(12.3456, 1), "12.34");
  EXPECT_EQ(PieNumberText(0.123456, 0.5), "0.123");       // 3 - round(log10 0.5) = 3
  EXPECT_EQ(PieNumberText(0.123456, 0.01), "0.12345");    // 3 - (-2) = 5
  EXPECT_EQ(PieNumberText(0.123456, 1e-12), "0.123456");  // as many as there are
  EXPECT_EQ(PieNumberText(7.5, 0), "7.5");                // a spread of 0 counts as 1
  EXPECT_EQ(PieNumberText(7.5, -200), "7.5");
  EXPECT_EQ(PieNumberText(3.0, 1000), "3");
  EXPECT_EQ(PieNumberText(-0.04, 200), "0");
}

TEST(ValueScale, AutomaticStepsOfTheLayoutRules) {
  EXPECT_DOUBLE_EQ(AutomaticStep(7, 200), 1);
  EXPECT_DOUBLE_EQ(AutomaticStep(100, 200), 20);
  EXPECT_DOUBLE_EQ(AutomaticStep(0, 200), 0.1);
  EXPECT_DOUBLE_EQ(AutomaticStep(1, 1000), 0.1);  // divided by 5, then by 2
  EXPECT_DOUBLE_EQ(AutomaticStep(9, 30), 10);     // multiplied by 2, then by 5
  // However short the axis, a step is found and graduations stay few.
  for (double range : {1e-300, 3e-7, 1.0, 42.0, 7e12, 1e300}) {
    for (long axis : {0L, 1L, 50L, 400L, 30000L}) {
      const double step = AutomaticStep(range, axis);
      ASSERT_GT(step, 0) << range << " " << axis;
      EXPECT_LE(std::ceil(range / step), 100) << range << " " << axis;
    }
  }
}

TEST(ValueScale, RangeStepAndGraduationCap) {
  ValueScale scale;
  ASSERT_TRUE(MakeValueScale(7, 2, 0, 200, &scale));
  EXPECT_EQ(scale.bottom, 0);  // 0 is always inside the range
  EXPECT_EQ(scale.top, 7);
  EXPECT_EQ(scale.step, 1);
  EXPECT_EQ(scale.lowest, 0);
  EXPECT_EQ(scale.highest, 7);
  ASSERT_TRUE(MakeValueScale(0, 0, 0, 200, &scale));  // all zero: 0 to 1
  EXPECT_EQ(scale.top, 1);
  ASSERT_TRUE(MakeValueScale(-3, -30, 0, 200, &scale));
  EXPECT_EQ(scale.top, 0);
  EXPECT_EQ(scale.bottom, -30);
  EXPECT_LT(scale.lowest, 0);
  EXPECT_EQ(scale.highest * scale.step, 0);
  // A user step of 1e-300 would make 1e301 graduations: the automatic step
  // is taken instead; a step that gives exactly the cap is kept.
  ASSERT_TRUE(MakeValueScale(100, 0, 1e-300, 200, &scale));
  EXPECT_EQ(scale.step, 20);
  ASSERT_TRUE(MakeValueScale(1000, 0, 1, 200, &scale));
  EXPECT_EQ(scale.step, 1);
  EXPECT_EQ(scale.highest - scale.lowest, kMostGraduations);
  ASSERT_TRUE(MakeValueScale(1001, 0, 1, 200, &scale));
  EXPECT_NE(scale.step, 1);
  ASSERT_TRUE(MakeValueScale(10, 0, -2, 200, &scale));  // a step is taken positive
  EXPECT_EQ(scale.step, 2);
  EXPECT_FALSE(MakeValueScale(1e308, -1e308, 0, 200, &scale));
  EXPECT_FALSE(MakeValueScale(std::numeric_limits<double>::infinity(), 0, 0, 200, &scale));
}

TEST(Coordinates, ClampedToWhatEverySurfaceHolds) {
  EXPECT_EQ(Coord(1e300), 30000);
  EXPECT_EQ(Coord(-1e300), -30000);
  EXPECT_EQ(Coord(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(Coord(std::numeric_limits<double>::infinity()), 30000);
  EXPECT_EQ(Coord(2.5), 3);
  EXPECT_EQ(Coord(-2.5), -3);
}

TEST(PlaceableHeader, KeyBoxUnitsAndChecksum) {
  const auto header = PlaceableHeader(Box{1, 1, 638, 478}, 10);
  const uint8_t expected[22] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 1, 0, 1, 0, 0x7E,
                                0x02, 0xDE, 0x01, 10,   0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 20; ++i) EXPECT_EQ(header[static_cast<size_t>(i)], expected[i]) << i;
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i)
    checksum ^= static_cast<uint16_t>(header[2 * i] | (header[2 * i + 1] << 8));
  EXPECT_EQ(header[20] | (header[21] << 8), checksum);
  EXPECT_EQ(checksum, 0xCDD7 ^ 0x9AC6 ^ 1 ^ 1 ^ 638 ^ 478 ^ 10);
  const auto clamped = PlaceableHeader(Box{-70000, 0, 70000, 5}, 10);
  EXPECT_EQ(clamped[6] | (clamped[7] << 8), 0x8000);
  EXPECT_EQ(clamped[10] | (clamped[11] << 8), 0x7FFF);
}

}  // namespace
