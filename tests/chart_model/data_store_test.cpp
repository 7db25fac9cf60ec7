// The data store on its own: numbering, filling, deletion with the labels
// and colours that go with a series, the bounds, and the limits that keep
// one call from growing lists without end.
#include "chart/model/data_store.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using kv::chart::DataStore;
using kv::chart::PaletteColour;
using kv::chart::StoreResult;

constexpr double kNoMaximum = std::numeric_limits<double>::lowest();
constexpr double kNoMinimum = std::numeric_limits<double>::max();

TEST(Palette, ThirteenColoursByNumberModThirteen) {
  EXPECT_EQ(PaletteColour(0), 0x000080u);
  EXPECT_EQ(PaletteColour(1), 0x00FF00u);
  EXPECT_EQ(PaletteColour(9), 0xFF0000u);
  EXPECT_EQ(PaletteColour(12), 0x800000u);
  EXPECT_EQ(PaletteColour(13), 0x000080u);
  EXPECT_EQ(PaletteColour(14), 0x00FF00u);
}

TEST(DataStore, StartsEmptyWithOpenBounds) {
  DataStore store;
  EXPECT_EQ(store.SeriesCount(), 0);
  EXPECT_EQ(store.CategoryCount(), 0);
  EXPECT_EQ(store.Maximum(), kNoMaximum);
  EXPECT_EQ(store.Minimum(), kNoMinimum);
  EXPECT_EQ(store.Value(1, 1), 0.0);
  EXPECT_EQ(store.SeriesLabel(1), "");
  EXPECT_EQ(store.CategoryLabel(0), "");
  EXPECT_EQ(store.SeriesColour(3), PaletteColour(3));
}

TEST(DataStore, AppendingToALaterSeriesCreatesTheOnesBefore) {
  DataStore store;
  EXPECT_EQ(store.AppendValue(3, 5.0), StoreResult::kDone);
  EXPECT_EQ(store.SeriesCount(), 3);
  EXPECT_EQ(store.CategoryCount(), 1);
  EXPECT_EQ(store.SeriesLength(1), 0u);
  EXPECT_EQ(store.SeriesLength(2), 0u);
  EXPECT_EQ(store.Value(3, 1), 5.0);
  EXPECT_EQ(store.Maximum(), 5.0);
  EXPECT_EQ(store.Minimum(), 5.0);
}

TEST(DataStore, WritingAtAPositionFillsTheGapWithZeros) {
  DataStore store;
  EXPECT_EQ(store.SetValue(2, 4, 7.5), StoreResult::kDone);
  EXPECT_EQ(store.SeriesCount(), 2);
  EXPECT_EQ(store.CategoryCount(), 4);
  ASSERT_EQ(store.SeriesLength(2), 4u);
  for (int position = 1; position <= 3; ++position) EXPECT_EQ(store.Value(2, position), 0.0);
  EXPECT_EQ(store.Value(2, 4), 7.5);
  // The bounds follow the values written, not the filling.
  EXPECT_EQ(store.Maximum(), 7.5);
  EXPECT_EQ(store.Minimum(), 7.5);
}

TEST(DataStore, ReplacingABoundRecomputesIt) {
  DataStore store;
  store.AppendValue(1, 10.0);
  store.AppendValue(1, -3.0);
  store.AppendValue(2, 4.0);
  EXPECT_EQ(store.SetValue(1, 1, 2.0), StoreResult::kDone);  // the maximum goes
  EXPECT_EQ(store.Maximum(), 4.0);
  EXPECT_EQ(store.SetValue(1, 2, 1.0), StoreResult::kDone);  // the minimum goes
  EXPECT_EQ(store.Minimum(), 1.0);
  EXPECT_EQ(store.SetValue(2, 1, 50.0), StoreResult::kDone);  // a new maximum
  EXPECT_EQ(store.Maximum(), 50.0);
  EXPECT_EQ(store.CategoryCount(), 2);
}

TEST(DataStore, ColourListIsFilledWithPaletteColours) {
  DataStore store;
  EXPECT_EQ(store.SetSeriesColour(4, 0x123456), StoreResult::kDone);
  EXPECT_EQ(store.SeriesColourCount(), 4u);
  for (int series = 1; series <= 3; ++series) {
    EXPECT_EQ(store.SeriesColour(series), PaletteColour(series));
  }
  EXPECT_EQ(store.SeriesColour(4), 0x123456u);
  EXPECT_EQ(store.SeriesColour(5), PaletteColour(5));
}

TEST(DataStore, DeletingASeriesMovesTheLaterOnesDown) {
  DataStore store;
  for (int series = 1; series <= 3; ++series) {
    store.AppendValue(series, series * 10.0);
    store.SetSeriesLabel(series, "S" + std::to_string(series));
    store.SetSeriesColour(series, 0x100 * series);
  }
  store.AppendValue(1, 99.0);  // series 1 is the longest and holds the maximum
  EXPECT_EQ(store.CategoryCount(), 2);
  EXPECT_EQ(store.DeleteSeries(1), StoreResult::kDone);
  EXPECT_EQ(store.SeriesCount(), 2);
  EXPECT_EQ(store.CategoryCount(), 1);
  EXPECT_EQ(store.SeriesLabel(1), "S2");
  EXPECT_EQ(store.SeriesColour(1), 0x200u);
  EXPECT_EQ(store.Value(1, 1), 20.0);
  EXPECT_EQ(store.SeriesLabel(2), "S3");
  EXPECT_EQ(store.Maximum(), 30.0);
  EXPECT_EQ(store.Minimum(), 20.0);
  EXPECT_EQ(store.SeriesLabelCount(), 2u);
}

TEST(DataStore, DeletingWhereLabelsAndColoursAreShorterThanTheSeries) {
  DataStore store;
  store.AppendValue(3, 1.0);
  store.SetSeriesLabel(1, "only");
  EXPECT_EQ(store.DeleteSeries(3), StoreResult::kDone);
  EXPECT_EQ(store.SeriesLabel(1), "only");
  EXPECT_EQ(store.SeriesCount(), 2);
  EXPECT_EQ(store.CategoryCount(), 0);
  EXPECT_EQ(store.Maximum(), kNoMaximum);
  EXPECT_EQ(store.Minimum(), kNoMinimum);
}

TEST(DataStore, DeletingOutOfRangeChangesNothing) {
  DataStore store;
  store.AppendValue(2, 1.0);
  EXPECT_EQ(store.DeleteSeries(0), StoreResult::kOutOfRange);
  EXPECT_EQ(store.DeleteSeries(3), StoreResult::kOutOfRange);
  EXPECT_EQ(store.DeleteSeries(-1), StoreResult::kOutOfRange);
  EXPECT_EQ(store.SeriesCount(), 2);
}

TEST(DataStore, DeletingEverySeriesKeepsCategoryLabels) {
  for (int count = 1; count <= 3; ++count) {
    DataStore store;
    for (int series = 1; series <= count; ++series) {
      store.AppendValue(series, series);
      store.SetSeriesLabel(series, "x");
      store.SetSeriesColour(series, 1);
    }
    store.SetCategoryLabel(1, "Jan");
    store.DeleteAllSeries();
    EXPECT_EQ(store.SeriesCount(), 0) << count;
    EXPECT_EQ(store.CategoryCount(), 0) << count;
    EXPECT_EQ(store.SeriesLabelCount(), 0u) << count;
    EXPECT_EQ(store.SeriesColourCount(), 0u) << count;
    EXPECT_EQ(store.CategoryLabel(1), "Jan") << count;
    EXPECT_EQ(store.Maximum(), kNoMaximum) << count;
  }
}

TEST(DataStore, LabelAndColourCapacities) {
  DataStore store;
  EXPECT_EQ(store.SetSeriesLabel(1000, "last"), StoreResult::kDone);
  EXPECT_EQ(store.SetSeriesLabel(1001, "over"), StoreResult::kFull);
  EXPECT_EQ(store.SeriesLabelCount(), 1000u);
  EXPECT_EQ(store.SetCategoryLabel(1000, "last"), StoreResult::kDone);
  EXPECT_EQ(store.SetCategoryLabel(1001, "over"), StoreResult::kFull);
  EXPECT_EQ(store.CategoryLabelCount(), 1000u);
  EXPECT_EQ(store.SetSeriesColour(10000, 7), StoreResult::kDone);
  EXPECT_EQ(store.SetSeriesColour(10001, 7), StoreResult::kFull);
  EXPECT_EQ(store.SeriesColourCount(), 10000u);
  EXPECT_EQ(store.SetSeriesLabel(0, "x"), StoreResult::kOutOfRange);
  EXPECT_EQ(store.SetSeriesColour(-5, 7), StoreResult::kOutOfRange);
}

TEST(DataStore, HugeNumbersFailWithoutGrowingAnything) {
  DataStore store;
  const int64_t huge = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(store.AppendValue(huge, 1.0), StoreResult::kFull);
  EXPECT_EQ(store.SetValue(1, huge, 1.0), StoreResult::kFull);
  EXPECT_EQ(store.SetValue(huge, 1, 1.0), StoreResult::kFull);
  EXPECT_EQ(store.SetValue(1, 0, 1.0), StoreResult::kOutOfRange);
  EXPECT_EQ(store.AppendValue(std::numeric_limits<int32_t>::min(), 1.0), StoreResult::kOutOfRange);
  EXPECT_EQ(store.SeriesCount(), 0);
  // The largest numbers the 16-bit counts hold still work.
  EXPECT_EQ(store.AppendValue(DataStore::kMaxSeries, 1.0), StoreResult::kDone);
  EXPECT_EQ(store.SeriesCount(), DataStore::kMaxSeries);
  EXPECT_EQ(store.SetValue(1, DataStore::kMaxCategories, 2.0), StoreResult::kDone);
  EXPECT_EQ(store.CategoryCount(), DataStore::kMaxCategories);
  EXPECT_EQ(store.AppendValue(1, 3.0), StoreResult::kFull);
  EXPECT_EQ(store.SeriesLength(1), static_cast<size_t>(DataStore::kMaxCategories));
}

}  // namespace
