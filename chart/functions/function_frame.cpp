#include "chart/functions/function_frame.h"

#include "chart/command/chart_strings.h"
#include "chart/ext/call_block.h"
#include "chart/ext/error_report.h"
#include "chart/model/chart_name.h"

namespace kv::chart {

std::string_view ArgTextOrEmpty(const CallBlock& block, int k) {
  const char* text = kv::ext::ArgText(block, k);
  return text == nullptr ? std::string_view() : std::string_view(text);
}

int32_t ReportChartError(CallBlock& block, uint16_t kind, uint32_t message) {
  return kv::ext::ReportError(block, kind, message, ChartStrings());
}

bool OpenChartCall(CallBlock& block, KvLanguageFunction function, std::optional<ChartCall>& call) {
  if (!DeclaresSyntax(function, block)) return false;
  auto* instance = static_cast<InstanceContext*>(kv::ext::InstanceOf(block));
  char* name = kv::ext::ArgText(block, 1);
  if (instance == nullptr || instance->charts == nullptr || name == nullptr) {
    ReportChartError(block, kErrorKind2, kMessageChartNotCreated);
    return false;
  }
  UpperCaseInPlace(name);
  const std::optional<size_t> index = FindChart(*instance->charts, name);
  if (!index) {
    ReportChartError(block, kErrorKind2, kMessageChartNotCreated);
    return false;
  }
  call.emplace(ChartCall{block, *instance, *index, instance->charts->charts[*index].get()});
  return true;
}

int32_t CloseChartCall(ChartCall& call) {
  // A chart the call removed answers 1 whatever happened to it.
  if (call.chart == nullptr) return 1;
  const ErrorState state = call.chart->TakeErrorState();
  if (call.fontMissing) return ReportChartError(call.block, kErrorKind2, kMessageFontNotCreated);
  switch (state) {
    case ErrorState::kNone:
      return 1;
    case ErrorState::kNoDestination:
      return ReportChartError(call.block, kErrorKind1, kMessageNoDestination);
    case ErrorState::kIncorrectData:
      return ReportChartError(call.block, kErrorKind1, kMessageIncorrectData);
    case ErrorState::kIncorrectParameter:
      return ReportChartError(call.block, kErrorKind2, kMessageIncorrectParameter);
    case ErrorState::kDataOverflow:
      return ReportChartError(call.block, kErrorKind2, kMessageDataOverflow);
  }
  return 1;
}

int32_t ReportOutOfMemory(CallBlock& block, std::optional<ChartCall>& call) {
  // A state the operation set before memory ran out must not fail the next call.
  if (call && call->chart != nullptr) call->chart->SetError(ErrorState::kNone);
  return ReportChartError(block, kErrorKind2, kMessageDataOverflow);
}

}  // namespace kv::chart
