#include "chart/model/chart_factory.h"

#include <cmath>

#include "chart/model/axis_chart.h"
#include "chart/model/pie_chart.h"

namespace kv::chart {

ChartType ChartTypeFromNumber(int16_t number) {
  switch (number) {
    case 0:
      return ChartType::kPie;
    case 1:
      return ChartType::kColumn;
    case 3:
      return ChartType::kPie3D;
    case 4:
      return ChartType::kColumn3D;
    case 5:
      return ChartType::kScatter;
    default:
      return ChartType::kCurve;
  }
}

std::unique_ptr<Chart> CreateChart(ChartType type) {
  switch (type) {
    case ChartType::kPie:
      return std::make_unique<PieChart>();
    case ChartType::kColumn:
      return std::make_unique<ColumnChart>();
    case ChartType::kPie3D:
      return std::make_unique<Pie3DChart>();
    case ChartType::kColumn3D:
      return std::make_unique<Column3DChart>();
    case ChartType::kScatter:
      return std::make_unique<ScatterChart>();
    case ChartType::kCurve:
      break;
  }
  return std::make_unique<CurveChart>();
}

void CopyCommonParts(const Chart& from, Chart& to) {
  to.module = from.module;
  to.list = from.list;
  to.name = from.name;
  to.applied = from.applied;
  to.pending = from.pending;
  to.labelDisplay = from.labelDisplay;
  for (int i = 0; i < kFontElements; ++i) {
    to.fonts_[i].font = from.fonts_[i].font.Copy();
    to.fonts_[i].colour = from.fonts_[i].colour;
  }
  to.data = from.data;
  to.frenchMenu_ = from.frenchMenu_;
  to.englishMenu_ = from.englishMenu_;
  to.printRect = from.printRect;
  to.drawingScale = from.drawingScale;
  to.language = from.language;
  to.menuEnabled = from.menuEnabled;
}

std::unique_ptr<Chart> ConvertChart(const Chart& old, ChartType type) {
  std::unique_ptr<Chart> chart = CreateChart(type);
  CopyCommonParts(old, *chart);

  for (size_t category = 1; category <= old.ExplodedSectorCount(); ++category) {
    chart->SetExplodedSector(static_cast<int64_t>(category),
                             old.ExplodedSector(static_cast<int64_t>(category)));
  }
  // The grid setters also set or clear the grid items of the copied menus.
  chart->SetVerticalGrid(old.VerticalGrid());
  chart->SetHorizontalGrid(old.HorizontalGrid());
  chart->SetVerticalAxisTitle(old.VerticalAxisTitle());
  chart->SetHorizontalAxisTitle(old.HorizontalAxisTitle());
  chart->SetVerticalStep(old.VerticalStep());
  chart->SetHorizontalStep(old.HorizontalStep());
  chart->SetColumnSpacing(old.ColumnSpacing());
  chart->SetReliefDepth(old.ReliefDepth());
  chart->SetPointSize(old.PointSize());
  chart->SetLinkPoints(old.LinkPoints());
  // The angle is kept in radians of whole degrees: back to those degrees.
  const long degrees = std::lround(old.StartAngle() / kFullTurn * 360.0);
  chart->SetStartAngle(static_cast<int16_t>(degrees));

  chart->SetMenuCheck(TypeMenuCommand(old.type()), false);
  chart->SetMenuCheck(TypeMenuCommand(type), true);
  chart->SetError(ErrorState::kNone);
  chart->MarkSettingsChanged();
  return chart;
}

}  // namespace kv::chart
