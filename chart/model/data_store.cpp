#include "chart/model/data_store.h"

#include <algorithm>
#include <limits>

namespace kv::chart {

namespace {

constexpr double kNoMaximum = std::numeric_limits<double>::lowest();
constexpr double kNoMinimum = std::numeric_limits<double>::max();

// Checks a number against 1..limit.
StoreResult CheckNumber(int64_t number, int64_t limit) {
  if (number < 1) return StoreResult::kOutOfRange;
  if (number > limit) return StoreResult::kFull;
  return StoreResult::kDone;
}

// Sets entry `number` of a label list, extending it with empty labels.
StoreResult SetLabel(std::vector<std::string>& labels, int64_t number, std::string_view label) {
  const StoreResult checked = CheckNumber(number, DataStore::kMaxLabels);
  if (checked != StoreResult::kDone) return checked;
  const auto index = static_cast<size_t>(number - 1);
  if (labels.size() <= index) labels.resize(index + 1);
  labels[index].assign(label);
  return StoreResult::kDone;
}

std::string_view LabelAt(const std::vector<std::string>& labels, int64_t number) {
  if (number < 1 || static_cast<uint64_t>(number) > labels.size()) return {};
  return labels[static_cast<size_t>(number - 1)];
}

}  // namespace

DataStore::DataStore() : maximum_(kNoMaximum), minimum_(kNoMinimum) {}

StoreResult DataStore::MakeSeries(int64_t series) {
  const StoreResult checked = CheckNumber(series, kMaxSeries);
  if (checked != StoreResult::kDone) return checked;
  if (series_.size() < static_cast<size_t>(series)) {
    series_.resize(static_cast<size_t>(series));
    seriesCount_ = static_cast<uint16_t>(series_.size());
  }
  return StoreResult::kDone;
}

StoreResult DataStore::CheckAppend(int64_t series) const {
  const StoreResult checked = CheckNumber(series, kMaxSeries);
  if (checked != StoreResult::kDone) return checked;
  if (static_cast<int64_t>(SeriesLength(series)) >= kMaxCategories) return StoreResult::kFull;
  return StoreResult::kDone;
}

StoreResult DataStore::CheckSet(int64_t series, int64_t position) const {
  const StoreResult checked = CheckNumber(series, kMaxSeries);
  return checked != StoreResult::kDone ? checked : CheckNumber(position, kMaxCategories);
}

StoreResult DataStore::AppendValue(int64_t series, double value) {
  // Checked before anything is created, so that a failing call changes nothing.
  const StoreResult checked = CheckAppend(series);
  if (checked != StoreResult::kDone) return checked;
  MakeSeries(series);
  std::vector<double>& values = series_[static_cast<size_t>(series - 1)];
  values.push_back(value);
  TakeIntoBounds(value);
  categoryCount_ = std::max<uint16_t>(categoryCount_, static_cast<uint16_t>(values.size()));
  return StoreResult::kDone;
}

StoreResult DataStore::SetValue(int64_t series, int64_t position, double value) {
  const StoreResult checked = CheckSet(series, position);
  if (checked != StoreResult::kDone) return checked;
  MakeSeries(series);
  std::vector<double>& values = series_[static_cast<size_t>(series - 1)];
  const auto index = static_cast<size_t>(position - 1);
  if (index < values.size()) {
    const double old = values[index];
    values[index] = value;
    // The replaced value may have been the only one holding a bound.
    if (old == maximum_) RecomputeMaximum();
    if (old == minimum_) RecomputeMinimum();
  } else {
    values.resize(index, 0.0);
    values.push_back(value);
  }
  TakeIntoBounds(value);
  categoryCount_ = std::max<uint16_t>(categoryCount_, static_cast<uint16_t>(values.size()));
  return StoreResult::kDone;
}

StoreResult DataStore::SetSeriesColour(int64_t series, Rgb colour) {
  const StoreResult checked = CheckNumber(series, kMaxColours);
  if (checked != StoreResult::kDone) return checked;
  const auto index = static_cast<size_t>(series - 1);
  // Series before it keep the colour they show now.
  while (seriesColours_.size() <= index) {
    seriesColours_.push_back(PaletteColour(static_cast<int64_t>(seriesColours_.size()) + 1));
  }
  seriesColours_[index] = colour;
  return StoreResult::kDone;
}

StoreResult DataStore::SetSeriesLabel(int64_t series, std::string_view label) {
  return SetLabel(seriesLabels_, series, label);
}

StoreResult DataStore::SetCategoryLabel(int64_t category, std::string_view label) {
  return SetLabel(categoryLabels_, category, label);
}

StoreResult DataStore::DeleteSeries(int64_t series) {
  if (series < 1 || series > seriesCount_) return StoreResult::kOutOfRange;
  const auto index = static_cast<size_t>(series - 1);
  series_.erase(series_.begin() + static_cast<std::ptrdiff_t>(index));
  if (index < seriesLabels_.size()) {
    seriesLabels_.erase(seriesLabels_.begin() + static_cast<std::ptrdiff_t>(index));
  }
  if (index < seriesColours_.size()) {
    seriesColours_.erase(seriesColours_.begin() + static_cast<std::ptrdiff_t>(index));
  }
  RecomputeCounts();
  RecomputeMaximum();
  RecomputeMinimum();
  return StoreResult::kDone;
}

void DataStore::DeleteAllSeries() {
  series_.clear();
  seriesLabels_.clear();
  seriesColours_.clear();
  RecomputeCounts();
  maximum_ = kNoMaximum;
  minimum_ = kNoMinimum;
}

double DataStore::Value(int64_t series, int64_t category) const {
  if (series < 1 || static_cast<uint64_t>(series) > series_.size()) return 0.0;
  const std::vector<double>& values = series_[static_cast<size_t>(series - 1)];
  if (category < 1 || static_cast<uint64_t>(category) > values.size()) return 0.0;
  return values[static_cast<size_t>(category - 1)];
}

std::string_view DataStore::SeriesLabel(int64_t series) const {
  return LabelAt(seriesLabels_, series);
}

std::string_view DataStore::CategoryLabel(int64_t category) const {
  return LabelAt(categoryLabels_, category);
}

Rgb DataStore::SeriesColour(int64_t series) const {
  if (series >= 1 && static_cast<uint64_t>(series) <= seriesColours_.size()) {
    return seriesColours_[static_cast<size_t>(series - 1)];
  }
  return PaletteColour(series);
}

size_t DataStore::SeriesLength(int64_t series) const {
  if (series < 1 || static_cast<uint64_t>(series) > series_.size()) return 0;
  return series_[static_cast<size_t>(series - 1)].size();
}

void DataStore::TakeIntoBounds(double value) {
  maximum_ = std::max(maximum_, value);
  minimum_ = std::min(minimum_, value);
}

void DataStore::RecomputeMaximum() {
  maximum_ = kNoMaximum;
  for (const std::vector<double>& values : series_) {
    for (double value : values) maximum_ = std::max(maximum_, value);
  }
}

void DataStore::RecomputeMinimum() {
  minimum_ = kNoMinimum;
  for (const std::vector<double>& values : series_) {
    for (double value : values) minimum_ = std::min(minimum_, value);
  }
}

void DataStore::RecomputeCounts() {
  seriesCount_ = static_cast<uint16_t>(series_.size());
  size_t longest = 0;
  for (const std::vector<double>& values : series_) longest = std::max(longest, values.size());
  categoryCount_ = static_cast<uint16_t>(longest);
}

}  // namespace kv::chart
