// The frame every chart language function runs in: check the syntax, find
// the chart by its name (upper-cased in the host's buffer), apply the
// operation, and turn the chart's error state into the result and, on
// failure, an error report.
#pragma once
#include <cstdint>
#include <new>
#include <optional>
#include <string_view>

#include "chart/command/language_tables.h"
#include "chart/model/chart.h"
#include "chart/model/chart_list.h"
#include "kv/chart.h"

namespace kv::chart {

// One call on a named chart.
struct ChartCall {
  CallBlock& block;
  InstanceContext& instance;
  size_t index;              // the chart's place in the instance's list
  Chart* chart;              // the chart the result is taken from; null once it is gone
  bool fontMissing = false;  // the call named a font the instance does not have
};

// Steps 1 and 2 of the frame: fills `call` and answers true, or false when
// the syntax is not declared (no report) or the chart does not exist
// (reported, message 50).
bool OpenChartCall(CallBlock& block, KvLanguageFunction function, std::optional<ChartCall>& call);

// Step 4: the result of the call, with the report that goes with it.
int32_t CloseChartCall(ChartCall& call);

// A call that ran out of memory: the chart's error state is dropped and the
// failure reported as a data overflow.
int32_t ReportOutOfMemory(CallBlock& block, std::optional<ChartCall>& call);

// Reports a failure with its kind and message from the library's texts.
int32_t ReportChartError(CallBlock& block, uint16_t kind, uint32_t message);

// A text argument; the empty text when the host passed none.
std::string_view ArgTextOrEmpty(const CallBlock& block, int k);

template <class Operation>
int32_t RunChartFunction(CallBlock* block, KvLanguageFunction function, Operation&& operation) {
  if (block == nullptr) return 0;
  std::optional<ChartCall> call;
  // Nothing may escape to the host: an allocation that fails ends the call.
  try {
    if (!OpenChartCall(*block, function, call)) return 0;
    operation(*call);
    return CloseChartCall(*call);
  } catch (const std::bad_alloc&) {
    return ReportOutOfMemory(*block, call);
  }
}

}  // namespace kv::chart
