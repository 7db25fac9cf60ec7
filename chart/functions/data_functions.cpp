// grAjouteDonnée, grNuageAjouteDonnéeXY, grCouleurSérie, grEtiquetteSérie,
// grEtiquetteCatégorie, grSupprimeSérie: the data of a chart.
#include "chart/ext/call_block.h"
#include "chart/functions/function_frame.h"

using kv::ext::ArgDouble;
using kv::ext::ArgInt;
using kv::ext::SyntaxIndex;
using namespace kv::chart;

namespace {

// Syntaxes of the value functions and of grSupprimeSérie.
constexpr int16_t kAppend = 0;
constexpr int16_t kDeleteEverySeries = 0;

// The stored series that carries series `series` of the chart: a scatter
// chart keeps its series k as series 2k-1 (x) and 2k (y).
int64_t StoredSeries(const Chart& chart, int32_t series) {
  return chart.KeepsPairedSeries() ? 2 * static_cast<int64_t>(series) - 1 : series;
}

}  // namespace

int32_t KV_CALL GRAPH_bGrAjouteDonnee(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrAjouteDonnee, [](ChartCall& c) {
    DataStore& data = c.chart->data;
    const int32_t series = ArgInt(c.block, 2);
    if (SyntaxIndex(c.block) == kAppend) {
      c.chart->SetErrorFrom(data.AppendValue(series, ArgDouble(c.block, 3)));
    } else {
      c.chart->SetErrorFrom(data.SetValue(series, ArgInt(c.block, 3), ArgDouble(c.block, 4)));
    }
  });
}

int32_t KV_CALL GRAPH_bGrNuageAjouteDonneeXY(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrNuageAjouteDonneeXY, [](ChartCall& c) {
    DataStore& data = c.chart->data;
    const int64_t ySeries = 2 * static_cast<int64_t>(ArgInt(c.block, 2));
    const int64_t xSeries = ySeries - 1;
    const bool append = SyntaxIndex(c.block) == kAppend;
    const int32_t position = append ? 0 : ArgInt(c.block, 3);
    // Both halves are checked before either is written, so that a point is
    // stored whole or not at all.
    StoreResult result = append ? data.CheckAppend(xSeries) : data.CheckSet(xSeries, position);
    if (result == StoreResult::kDone) {
      result = append ? data.CheckAppend(ySeries) : data.CheckSet(ySeries, position);
    }
    if (result == StoreResult::kDone) {
      if (append) {
        data.AppendValue(xSeries, ArgDouble(c.block, 3));
        data.AppendValue(ySeries, ArgDouble(c.block, 4));
      } else {
        data.SetValue(xSeries, position, ArgDouble(c.block, 4));
        data.SetValue(ySeries, position, ArgDouble(c.block, 5));
      }
    }
    c.chart->SetErrorFrom(result);
  });
}

int32_t KV_CALL GRAPH_bGrCouleurSerie(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrCouleurSerie, [](ChartCall& c) {
    const int64_t series = StoredSeries(*c.chart, ArgInt(c.block, 2));
    const auto colour = static_cast<Rgb>(ArgInt(c.block, 3));
    c.chart->SetErrorFrom(c.chart->data.SetSeriesColour(series, colour));
  });
}

int32_t KV_CALL GRAPH_bGrEtiquetteSerie(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrEtiquetteSerie, [](ChartCall& c) {
    const int64_t series = StoredSeries(*c.chart, ArgInt(c.block, 2));
    c.chart->SetErrorFrom(c.chart->data.SetSeriesLabel(series, ArgTextOrEmpty(c.block, 3)));
  });
}

int32_t KV_CALL GRAPH_bGrEtiquetteCategorie(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrEtiquetteCategorie, [](ChartCall& c) {
    c.chart->SetErrorFrom(
        c.chart->data.SetCategoryLabel(ArgInt(c.block, 2), ArgTextOrEmpty(c.block, 3)));
  });
}

int32_t KV_CALL GRAPH_bGrSupprimeSerie(CallBlock* call) {
  return RunChartFunction(call, GRAPH_bGrSupprimeSerie, [](ChartCall& c) {
    if (SyntaxIndex(c.block) == kDeleteEverySeries) {
      c.chart->data.DeleteAllSeries();
    } else {
      c.chart->SetErrorFrom(c.chart->data.DeleteSeries(ArgInt(c.block, 2)));
    }
  });
}
