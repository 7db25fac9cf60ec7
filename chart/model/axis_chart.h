// Charts drawn against axes: columns, curves and scatter plots.
#pragma once
#include <string>
#include <vector>

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

  void DrawLegend() override;
  void DrawPlot() override;

 protected:
  explicit AxisChart(ChartType type) : Chart(type) {}

  // The legend's entries: the series (a scatter chart: the pairs).
  virtual int64_t LegendEntries() const { return data.SeriesCount(); }
  virtual int64_t LegendSeries(int64_t entry) const { return entry; }

  // The data test every axis chart starts with; false (error state 2 set)
  // when there is nothing to draw.
  bool DataDrawable();
  // Lays out the title band, the legend (both drawn at once), the axis
  // titles and the value scale over [minimum, maximum]; the plot rectangle,
  // the scale and the y of 0 land in `drawing`. `labelRoomTop` and
  // `labelRoomBottom` keep a label line above or below the plot. False
  // (error state 2 set) when the scale cannot be made.
  bool LayOutAxes(Box rect, double maximum, double minimum, bool labelRoomTop,
                  bool labelRoomBottom);
  // The y of a value on the value scale, kept within the plot.
  int ValueY(double value) const;
  // The graduation labels left of the value axis and the axis titles.
  void DrawScaleLabels();
  // The category labels under the plot, centred on each category's x.
  void DrawCategoryLabels(const std::vector<int>& centres, int width);

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

  void DrawBody() override;

 protected:
  explicit ColumnChart(ChartType type) : AxisChart(type) {}
  // The relief drawn behind and beside each column (0: flat columns).
  virtual int ReliefPixels() const { return 0; }

 private:
  int16_t spacing_ = 10;
};

class Column3DChart : public ColumnChart {
 public:
  Column3DChart() : ColumnChart(ChartType::kColumn3D) {}

  void SetReliefDepth(int32_t depth) override;
  int32_t ReliefDepth() const override { return reliefDepth_; }

 protected:
  int ReliefPixels() const override;

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

  void DrawBody() override;

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

  void DrawBody() override;

 protected:
  int64_t LegendEntries() const override { return data.SeriesCount() / 2; }
  int64_t LegendSeries(int64_t entry) const override { return 2 * entry - 1; }

 private:
  int32_t pointSize_ = 2;
  int32_t linkPoints_ = 1;
  double horizontalStep_ = 0.0;
};

}  // namespace kv::chart
