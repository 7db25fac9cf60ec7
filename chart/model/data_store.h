// The values, labels and colours of one chart.
//
// Series and categories are numbered from 1. Counts are 16-bit, so no
// series or position beyond 65535 can exist: a call naming one fails as a
// capacity overflow instead of growing lists to the size of a 32-bit number
// (one call creates at most 65535 empty series or 65535 values).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chart/model/palette.h"

namespace kv::chart {

enum class StoreResult {
  kDone,
  kOutOfRange,  // a number below 1, or a series that does not exist
  kFull,        // beyond the capacity of a list or of the 16-bit counts
};

class DataStore {
 public:
  static constexpr int64_t kMaxLabels = 1000;
  static constexpr int64_t kMaxColours = 10000;
  static constexpr int64_t kMaxSeries = 0xFFFF;
  static constexpr int64_t kMaxCategories = 0xFFFF;

  DataStore();

  // Appends to the series, creating empty series up to its number.
  StoreResult AppendValue(int64_t series, double value);
  // Writes at a position, creating missing series and filling positions
  // before it with 0.0.
  StoreResult SetValue(int64_t series, int64_t position, double value);
  // What AppendValue and SetValue would answer, without changing anything.
  StoreResult CheckAppend(int64_t series) const;
  StoreResult CheckSet(int64_t series, int64_t position) const;

  StoreResult SetSeriesColour(int64_t series, Rgb colour);
  StoreResult SetSeriesLabel(int64_t series, std::string_view label);
  StoreResult SetCategoryLabel(int64_t category, std::string_view label);

  // Removes one series with its label and colour; later series move down.
  StoreResult DeleteSeries(int64_t series);
  // Removes every series with their labels and colours; category labels stay.
  void DeleteAllSeries();

  // 0.0 for a value that does not exist.
  double Value(int64_t series, int64_t category) const;
  // The empty text for a label that does not exist.
  std::string_view SeriesLabel(int64_t series) const;
  std::string_view CategoryLabel(int64_t category) const;
  // The series' own colour, or its palette colour.
  Rgb SeriesColour(int64_t series) const;
  // Number of values the series holds (0 when it does not exist).
  size_t SeriesLength(int64_t series) const;

  uint16_t SeriesCount() const { return seriesCount_; }
  uint16_t CategoryCount() const { return categoryCount_; }
  double Maximum() const { return maximum_; }
  double Minimum() const { return minimum_; }
  size_t SeriesLabelCount() const { return seriesLabels_.size(); }
  size_t SeriesColourCount() const { return seriesColours_.size(); }
  size_t CategoryLabelCount() const { return categoryLabels_.size(); }

 private:
  StoreResult MakeSeries(int64_t series);
  void TakeIntoBounds(double value);
  void RecomputeMaximum();
  void RecomputeMinimum();
  void RecomputeCounts();

  std::vector<std::string> seriesLabels_;
  std::vector<Rgb> seriesColours_;
  std::vector<std::string> categoryLabels_;
  std::vector<std::vector<double>> series_;
  uint16_t seriesCount_ = 0;
  uint16_t categoryCount_ = 0;
  double maximum_;
  double minimum_;
};

}  // namespace kv::chart
