// Pie charts: one sector per category, turned by a start angle, with
// sectors pulled out of the pie by a percentage of its radius.
#pragma once
#include <vector>

#include "chart/model/chart.h"

namespace kv::chart {

class PieChart : public Chart {
 public:
  PieChart() : PieChart(ChartType::kPie) {}

  // Takes whole degrees, negative ones counted backwards; keeps radians.
  void SetStartAngle(int16_t degrees) override;
  double StartAngle() const override { return startAngle_; }
  // Keeps min(|percentage|, 100) for the category, numbered from 1.
  void SetExplodedSector(int64_t category, int32_t percentage) override;
  int16_t ExplodedSector(int64_t category) const override;
  size_t ExplodedSectorCount() const override { return exploded_.size(); }

  void DrawLegend() override;
  void DrawBody() override;
  void DrawPlot() override;

 protected:
  explicit PieChart(ChartType type) : Chart(type) {}
  // The sectors, moved down by `drop` pixels in colours darkened by
  // `shade` (1: their own colours).
  void DrawSectors(int drop, double shade);

 private:
  double startAngle_ = 0.0;
  std::vector<int16_t> exploded_;
};

class Pie3DChart : public PieChart {
 public:
  Pie3DChart() : PieChart(ChartType::kPie3D) {}

  void SetReliefDepth(int32_t depth) override;
  int32_t ReliefDepth() const override { return reliefDepth_; }

  void DrawPlot() override;

 private:
  int32_t reliefDepth_ = 10;
};

// 2 pi as the angle conversion uses it.
inline constexpr double kFullTurn = 6.28318530718;

}  // namespace kv::chart
