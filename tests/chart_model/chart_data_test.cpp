// Values, labels and colours through the language functions, with the
// scatter chart's pairs of series and the capacity limits.
#include <limits>

#include "tests/chart_model/chart_fixture.h"

namespace charttest {
namespace {

class ChartDataTest : public ChartTest {
 protected:
  void SetUp() override {
    ChartTest::SetUp();
    Ok("grCreate", 0, {T("G"), I(1)});
  }
  const kv::chart::DataStore& Data(std::string_view name = "G") { return ModelOf(name).data; }
};

TEST_F(ChartDataTest, AddingToSeriesThreeOfAnEmptyChart) {
  Ok("grAddData", 0, {T("G"), I(3), D(5.0)});
  EXPECT_EQ(Data().SeriesCount(), 3);
  EXPECT_EQ(Data().CategoryCount(), 1);
  EXPECT_EQ(Data().SeriesLength(1), 0u);
  EXPECT_EQ(Data().SeriesLength(2), 0u);
  EXPECT_EQ(Data().Value(3, 1), 5.0);
  EXPECT_EQ(Data().Maximum(), 5.0);
  EXPECT_EQ(Data().Minimum(), 5.0);
}

TEST_F(ChartDataTest, WritingAtPositionFourOfAnEmptySeries) {
  Ok("grAddData", 1, {T("G"), I(1), I(4), D(-2.5)});
  ASSERT_EQ(Data().SeriesLength(1), 4u);
  for (int position = 1; position <= 3; ++position) EXPECT_EQ(Data().Value(1, position), 0.0);
  EXPECT_EQ(Data().Value(1, 4), -2.5);
  EXPECT_EQ(Data().CategoryCount(), 4);
  // Replacing a value in place keeps the length.
  Ok("grAddData", 1, {T("G"), I(1), I(2), D(8.0)});
  EXPECT_EQ(Data().SeriesLength(1), 4u);
  EXPECT_EQ(Data().Value(1, 2), 8.0);
  EXPECT_EQ(Data().Maximum(), 8.0);
  // A value read where none exists is 0.
  EXPECT_EQ(Data().Value(1, 5), 0.0);
  EXPECT_EQ(Data().Value(7, 1), 0.0);
}

TEST_F(ChartDataTest, BadSeriesAndPositionsChangeNothing) {
  Fails("grAddData", 0, {T("G"), I(0), D(1.0)}, 2, 3);
  Fails("grAddData", 0, {T("G"), I(-4), D(1.0)}, 2, 3);
  Fails("grAddData", 1, {T("G"), I(1), I(0), D(1.0)}, 2, 3);
  Fails("grAddData", 1, {T("G"), I(2), I(-1), D(1.0)}, 2, 3);
  EXPECT_EQ(Data().SeriesCount(), 0);
}

TEST_F(ChartDataTest, EnormousNumbersAreACapacityOverflowNotAnAllocation) {
  const int32_t huge = std::numeric_limits<int32_t>::max();
  const CallOutcome outcome = Fails("grAddData", 0, {T("G"), I(huge), D(1.0)}, 2, 4);
  EXPECT_EQ(outcome.frenchText, Win1252("Dépassement de capacité des données du graphe"));
  EXPECT_EQ(outcome.englishText, "Graph data overflow");
  Fails("grAddData", 1, {T("G"), I(1), I(huge), D(1.0)}, 2, 4);
  Fails("grScatterAddDataXY", 0, {T("G"), I(huge), D(1.0), D(2.0)}, 2, 4);
  Fails("grScatterAddDataXY", 1, {T("G"), I(1), I(huge), D(1.0), D(2.0)}, 2, 4);
  Fails("grSerialLabel", 0, {T("G"), I(huge), T("x")}, 2, 4);
  Fails("grSerialColor", 0, {T("G"), I(huge), I(1)}, 2, 4);
  Fails("grCategoryLabel", 0, {T("G"), I(huge), T("x")}, 2, 4);
  EXPECT_EQ(Data().SeriesCount(), 0);
  EXPECT_EQ(Data().SeriesLabelCount(), 0u);
  EXPECT_EQ(Data().SeriesColourCount(), 0u);
}

TEST_F(ChartDataTest, LabelAndColourListsAreLimited) {
  Ok("grSerialLabel", 0, {T("G"), I(1000), T("last")});
  Fails("grSerialLabel", 0, {T("G"), I(1001), T("over")}, 2, 4);
  Ok("grCategoryLabel", 0, {T("G"), I(1000), T("last")});
  Fails("grCategoryLabel", 0, {T("G"), I(1001), T("over")}, 2, 4);
  Ok("grSerialColor", 0, {T("G"), I(10000), I(0x0000FF)});
  Fails("grSerialColor", 0, {T("G"), I(10001), I(0x0000FF)}, 2, 4);
  EXPECT_EQ(Data().SeriesLabel(1000), "last");
  EXPECT_EQ(Data().SeriesLabel(999), "");
  EXPECT_EQ(Data().SeriesLabelCount(), 1000u);
  EXPECT_EQ(Data().CategoryLabelCount(), 1000u);
  EXPECT_EQ(Data().SeriesColourCount(), 10000u);
  EXPECT_EQ(Data().SeriesColour(10000), 0x0000FFu);
  EXPECT_EQ(Data().SeriesColour(14), kv::chart::PaletteColour(14));
  Fails("grSerialLabel", 0, {T("G"), I(0), T("x")}, 2, 3);
}

TEST_F(ChartDataTest, DeletingSeriesOneOfThree) {
  for (int series = 1; series <= 3; ++series) {
    Ok("grAddData", 0, {T("G"), I(series), D(series * 1.5)});
    Ok("grSerialLabel", 0, {T("G"), I(series), T("S" + std::to_string(series))});
  }
  Ok("grSerialColor", 0, {T("G"), I(2), I(0x00AA00)});
  Ok("grDeleteSerial", 1, {T("G"), I(1)});
  EXPECT_EQ(Data().SeriesCount(), 2);
  EXPECT_EQ(Data().SeriesLabel(1), "S2");
  EXPECT_EQ(Data().SeriesColour(1), 0x00AA00u);
  EXPECT_EQ(Data().Value(1, 1), 3.0);
  EXPECT_EQ(Data().SeriesLabel(2), "S3");
  EXPECT_EQ(Data().Value(2, 1), 4.5);
  // Without a colour of its own a series shows the palette colour of its number.
  EXPECT_EQ(Data().SeriesColour(2), kv::chart::PaletteColour(2));
  EXPECT_EQ(Data().Minimum(), 3.0);
  EXPECT_EQ(Data().Maximum(), 4.5);
  Fails("grDeleteSerial", 1, {T("G"), I(3)}, 2, 3);
  Fails("grDeleteSerial", 1, {T("G"), I(0)}, 2, 3);
}

TEST_F(ChartDataTest, DeletingEverySeries) {
  for (int count = 1; count <= 3; ++count) {
    const std::string name = "ALL" + std::to_string(count);
    Ok("grCreate", 0, {T(name), I(1)});
    for (int series = 1; series <= count; ++series) {
      Ok("grAddData", 0, {T(name), I(series), D(series)});
      Ok("grSerialLabel", 0, {T(name), I(series), T("x")});
    }
    Ok("grDeleteSerial", 0, {T(name)});
    EXPECT_EQ(Data(name).SeriesCount(), 0) << count;
    EXPECT_EQ(Data(name).CategoryCount(), 0) << count;
    EXPECT_EQ(Data(name).SeriesLabelCount(), 0u) << count;
  }
}

TEST_F(ChartDataTest, ScatterSeriesArePairs) {
  Ok("grCreate", 0, {T("S"), I(5)});
  Ok("grScatterAddDataXY", 0, {T("S"), I(2), D(1.0), D(10.0)});
  Ok("grScatterAddDataXY", 0, {T("S"), I(2), D(2.0), D(20.0)});
  Ok("grScatterAddDataXY", 1, {T("S"), I(1), I(3), D(-1.0), D(-10.0)});
  const kv::chart::DataStore& data = Data("S");
  EXPECT_EQ(data.SeriesCount(), 4);
  EXPECT_EQ(data.Value(3, 2), 2.0);
  EXPECT_EQ(data.Value(4, 2), 20.0);
  EXPECT_EQ(data.Value(1, 3), -1.0);
  EXPECT_EQ(data.Value(2, 3), -10.0);
  EXPECT_EQ(data.Value(2, 1), 0.0);
  EXPECT_EQ(data.CategoryCount(), 3);
  // Labels and colours of scatter series k sit on series 2k-1.
  Ok("grSerialLabel", 0, {T("S"), I(2), T("second")});
  Ok("grSerialColor", 0, {T("S"), I(2), I(0x123456)});
  EXPECT_EQ(data.SeriesLabel(3), "second");
  EXPECT_EQ(data.SeriesColour(3), 0x123456u);
  EXPECT_EQ(data.SeriesLabel(2), "");
  Fails("grSerialLabel", 0, {T("S"), I(501), T("over")}, 2, 4);
  Fails("grScatterAddDataXY", 0, {T("S"), I(0), D(1.0), D(1.0)}, 2, 3);
  EXPECT_EQ(data.SeriesCount(), 4);
}

TEST_F(ChartDataTest, AColumnChartStoresPairsWhereItIsTold) {
  Ok("grScatterAddDataXY", 0, {T("G"), I(1), D(3.0), D(4.0)});
  Ok("grSerialLabel", 0, {T("G"), I(2), T("plain")});
  EXPECT_EQ(Data().Value(1, 1), 3.0);
  EXPECT_EQ(Data().Value(2, 1), 4.0);
  EXPECT_EQ(Data().SeriesLabel(2), "plain");
}

}  // namespace
}  // namespace charttest
