#include "chart/model/pie_chart.h"

#include "chart/model/saturated_abs.h"

namespace kv::chart {

namespace {

constexpr int32_t kMaxExploded = 100;

}  // namespace

void PieChart::SetStartAngle(int16_t degrees) {
  int32_t angle = degrees;
  while (angle < 0) angle += 360;
  angle %= 360;
  startAngle_ = angle / 360.0 * kFullTurn;
}

void PieChart::SetExplodedSector(int64_t category, int32_t percentage) {
  // A category beyond the 16-bit category count can never be drawn.
  if (category < 1 || category > DataStore::kMaxCategories) {
    SetError(ErrorState::kIncorrectParameter);
    return;
  }
  const auto index = static_cast<size_t>(category - 1);
  if (exploded_.size() <= index) exploded_.resize(index + 1, 0);
  const int32_t magnitude = SaturatedAbs(percentage);
  exploded_[index] = static_cast<int16_t>(magnitude < kMaxExploded ? magnitude : kMaxExploded);
  MarkSettingsChanged();
}

int16_t PieChart::ExplodedSector(int64_t category) const {
  if (category < 1 || static_cast<uint64_t>(category) > exploded_.size()) return 0;
  return exploded_[static_cast<size_t>(category - 1)];
}

void Pie3DChart::SetReliefDepth(int32_t depth) {
  reliefDepth_ = SaturatedAbs(depth);
}

}  // namespace kv::chart
