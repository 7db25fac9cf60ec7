// Charts drawn against axes: columns, curves and scatter plots.
#pragma once
#include <string>

#include "chart/model/chart.h"

namespace kv::chart {

class AxisChart : public Chart {
 public:
  void SetHorizontalGrid(int32_t on) override;
  int32_t HorizontalGrid() const override { return horizontalGrid_; }
  void SetVerticalAxisTitle(std::string_view title) override { verticalAxisTitle_.assign(title); }
  std::string_view VerticalAxisTitle() const override { return verticalAxisTitle_; }
  // Keeps the step's absolute value.
  void SetVerticalStep(double step) override;
  double VerticalStep() const override { return verticalStep_; }

 protected:
  explicit AxisChart(ChartType type) : Chart(type) {}

 private:
  int32_t horizontalGrid_ = 0;
  std::string verticalAxisTitle_;
  double verticalStep_ = 0.0;
};

class ColumnChart : public AxisChart {
 public:
  ColumnChart() : ColumnChart(ChartType::kColumn) {}

  // Keeps the low 16 bits, as a signed number.
  void SetColumnSpacing(int32_t spacing) override { spacing_ = static_cast<int16_t>(spacing); }
  int32_t ColumnSpacing() const override { return spacing_; }

 protected:
  explicit ColumnChart(ChartType type) : AxisChart(type) {}

 private:
  int16_t spacing_ = 10;
};

class Column3DChart : public ColumnChart {
 public:
  Column3DChart() : ColumnChart(ChartType::kColumn3D) {}

  void SetReliefDepth(int32_t depth) override;
  int32_t ReliefDepth() const override { return reliefDepth_; }

 private:
  int32_t reliefDepth_ = 10;
};

class CurveChart : public AxisChart {
 public:
  CurveChart() : CurveChart(ChartType::kCurve) {}

  void SetVerticalGrid(int32_t on) override;
  int32_t VerticalGrid() const override { return verticalGrid_; }
  void SetHorizontalAxisTitle(std::string_view title) override {
    horizontalAxisTitle_.assign(title);
  }
  std::string_view HorizontalAxisTitle() const override { return horizontalAxisTitle_; }

 protected:
  explicit CurveChart(ChartType type) : AxisChart(type) {}

 private:
  int32_t verticalGrid_ = 0;
  std::string horizontalAxisTitle_;
};

class ScatterChart : public CurveChart {
 public:
  static constexpr int32_t kSmallestPoint = 1;
  static constexpr int32_t kLargestPoint = 20;

  ScatterChart() : CurveChart(ChartType::kScatter) {}

  // Keeps the size within kSmallestPoint..kLargestPoint.
  void SetPointSize(int32_t size) override;
  int32_t PointSize() const override { return pointSize_; }
  void SetHorizontalStep(double step) override { horizontalStep_ = step; }
  double HorizontalStep() const override { return horizontalStep_; }
  void SetLinkPoints(int32_t on) override { linkPoints_ = on; }
  int32_t LinkPoints() const override { return linkPoints_; }
  bool KeepsPairedSeries() const override { return true; }

 private:
  int32_t pointSize_ = 2;
  int32_t linkPoints_ = 1;
  double horizontalStep_ = 0.0;
};

}  // namespace kv::chart
